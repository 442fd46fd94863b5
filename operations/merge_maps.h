// Merge maps of one area into one map of at most five levels, under a new name in the
// merge folder. The one road the batch window and the command line take.
#pragma once
#include <string>
#include <vector>

#include "compose/merge_plan.h"
#include "edit/edit_request.h"
#include "jnx/progress.h"
#include "platform/error.h"

namespace operations {

struct MergeOutcome {
    enum class Result { Written, Refused, Failed };
    Result result = Result::Failed;
    std::string output;     // the merged map, when written
    platform::Error error;  // Refused: a Refuse... code, nothing touched; Failed: why

    bool Ok() const { return result == Result::Written; }
};

// sources: as the batch rows or the command line describe the maps; those without content
// are read here first. order: the levels as given (what earlier merges wrote), or coarse
// to fine. progress hears of each source read and, once, of the writing.
MergeOutcome MergeMaps(std::vector<compose::MergeSource> sources, const edit::EditRequest& request,
                       const compose::MergeFolderRule& folder, compose::LevelOrder order = compose::LevelOrder::AsGiven,
                       bool tableLoaded = true, jnx::BusyObserver* busy = nullptr,
                       compose::MergeProgress* progress = nullptr);

}  // namespace operations
