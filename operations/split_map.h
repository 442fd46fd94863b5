// Split a map: each chosen level written as a map of its own, NAME_LevelK.jnx, where the
// split settings put it. The one road the editor, the batch window and the command line
// take, so that all three write and refuse alike.
#pragma once
#include <array>
#include <string>
#include <vector>

#include "edit/edit_request.h"
#include "jnx/device_limits.h"
#include "jnx/document.h"
#include "jnx/progress.h"
#include "jnx/writer_settings.h"
#include "platform/error.h"

namespace operations {

using LevelFolders = std::array<std::string, jnx::device::kMaxLevels>;

struct SplitOutcome {
    std::vector<std::string> written;  // the level files on disk, in level order
    int failedLevel = 0;               // the level that failed (1-based), 0 when none did
    std::string failedOutput;          // the file it was to be
    platform::Error error;             // why; the files written before it stay

    bool Ok() const { return !error; }
};

// Where each level's file goes, in the order of levels (1-based): the list a window shows
// before the split. Makes no folder; the split makes the ones it writes into.
std::vector<std::string> SplitOutputs(const std::string& source, const std::vector<int>& levels,
                                      const LevelFolders& levelFolders);

// doc: the map as read in full from source; levels (1-based) says which to write. Stops
// at the first level that fails. A file already at an output's name is replaced only with
// settings.overwrite.
SplitOutcome SplitMap(const jnx::JnxDocument& doc, const std::string& source, const edit::EditRequest& request,
                      const std::vector<int>& levels, const LevelFolders& levelFolders,
                      const jnx::WriterSettings& settings, jnx::BusyObserver* observer = nullptr);

}  // namespace operations
