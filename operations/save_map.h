// Save a map with a request's values: patched in place when its version stays and its
// layout allows it, else written anew as NAME_new.jnx beside it, or over it when the
// request replaces the source. The one road the editor, the batch window and the command line
// take.
#pragma once
#include <string>
#include <vector>

#include "edit/edit_request.h"
#include "edit/resolve_edit.h"
#include "jnx/document.h"
#include "jnx/progress.h"
#include "jnx/writer_settings.h"
#include "platform/error.h"
#include "platform/file_lock.h"

namespace operations {

struct SaveOutcome {
    edit::Road road = edit::Road::Patch;
    std::string output;     // the file written: the source when patched or replaced
    platform::Error error;  // why nothing was written
    // When the request fits the scales: the levels (numbered from 1) whose resolution could
    // not be measured, which keep their scales.
    std::vector<int> levelsNotFitted;

    bool Ok() const { return !error; }
};

// The request as a save of doc would write it: with the scales fitted to the levels'
// imagery when it asks for that, measured from doc and, for tiles whose pixel size only
// their JPEG header holds, from source. notFitted: the levels (from 1) left as they were.
edit::EditRequest FitScalesOf(const jnx::JnxDocument& doc, const std::string& source, const edit::EditRequest& request,
                              std::vector<int>* notFitted = nullptr);

// doc: the map as read in full from source. held: the caller's lock on source since before
// that read, if it took one; without it the writers lock the map themselves and refuse it
// once it no longer holds what doc was read from.
SaveOutcome SaveMap(const jnx::JnxDocument& doc, const std::string& source, const edit::EditRequest& request,
                    const jnx::WriterSettings& settings, jnx::BusyObserver* observer = nullptr,
                    const platform::FileLock* held = nullptr);

}  // namespace operations
