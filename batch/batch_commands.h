// Batch save, delete and split over the selected rows of a BatchTable. Each command first
// runs a validation pass over every selected row and refuses, touching no file, when one
// is wrong; then it works row by row in table order. A failing row is counted and
// reported; the run goes on with the next one.
#pragma once
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "edit/edit_request.h"
#include "platform/error.h"
#include "jnx/progress.h"
#include "jnx/writer_settings.h"
#include "batch/batch_table.h"

namespace batch {

// Told once per processed file; the window advances its bar and lets events run. The
// table a command walks must not change meanwhile: the window disables its commands.
class BatchObserver {
public:
    virtual ~BatchObserver() = default;
    virtual void Started(int /*total*/) {}  // bar maximum; value 0
    virtual void FileDone(int /*done*/) {}  // files finished so far
};

enum class RowResult { Updated, Created, Extracted, Deleted, Failed };

struct RowOutcome {
    std::size_t row = 0;    // index in the table the command was given
    std::string path;       // the file the row addressed
    std::string output;     // the file written (after renames); empty when nothing was written
    RowResult result = RowResult::Failed;
    platform::Error error;  // why it failed
};

// A command's outcome: a refusal (a Refuse... code, nothing touched), or what happened
// to each row, in table order.
struct BatchSummary {
    platform::Error refusal;
    int checked = 0;
    int updated = 0;    // save: patched in place
    int created = 0;    // save: written anew
    int extracted = 0;  // split: level files written
    int deleted = 0;
    int errors = 0;
    // Stopped on request: rows lists what was done before; the rest was not touched.
    bool cancelled = false;
    std::vector<RowOutcome> rows;

    bool Refused() const { return static_cast<bool>(refusal); }
};
using SaveSummary = BatchSummary;
using SplitSummary = BatchSummary;
using DeleteSummary = BatchSummary;

// The selected rows in table order, each once; indices beyond the table are passed over.
Selection Normalised(const BatchTable& table, const Selection& selection);

// The save validation pass alone (no file touched).
platform::Error ValidateSave(const BatchTable& table, const Selection& selection, const edit::EditRequest& request);

// Batch save of every selected row with the request. Each file is patched in place or
// written anew as edit::ResolveEdit decides: to <base>_new.jnx beside the source, or,
// with the request's replaceSource, over the source itself. A file at <base>_new.jnx is replaced
// only with settings.overwrite; a file written by the run is not saved again when it is a row.
// Patched files are renamed to their row's fileName (same folder) when it differs other
// than by letter case. The caller reloads the folder afterwards.
SaveSummary BatchSave(const BatchTable& table, const Selection& selection, const edit::EditRequest& request,
                      const jnx::WriterSettings& settings, BatchObserver* observer = nullptr,
                      jnx::BusyObserver* busy = nullptr);

// The batch save run headless over files given by path (the command line): each file
// becomes a selected row of its own quick read, with fileName = renameTo when one is given
// (a single file only; an empty renameTo keeps the name), then BatchSave runs over them
// with the same validation pass and row errors as the window.
SaveSummary SaveFilesAsBatch(const std::vector<std::string>& paths, const std::string& renameTo,
                             const edit::EditRequest& request, const jnx::WriterSettings& settings,
                             BatchObserver* observer = nullptr, jnx::BusyObserver* busy = nullptr);

// The files that a save (NAME_new.jnx) of the selected rows would write over, and every
// file (NAME_LevelK.jnx) a split of them would write, in table order. The windows ask
// before they run with settings.overwrite; without it each file in the way fails its row
// and stays as it is.
std::vector<std::string> SaveOutputsInTheWay(const BatchTable& table, const Selection& selection,
                                             const edit::EditRequest& request);
std::vector<std::string> SplitOutputsOf(const BatchTable& table, const Selection& selection,
                                        const std::vector<int>& levels,
                                        const std::array<std::string, jnx::device::kMaxLevels>& levelDirs);

// The levels of chosen (1-based) that a map of `count` levels has.
std::vector<int> LevelsOf(const std::vector<int>& chosen, int count);

// Deletes the files of the selected rows and removes their rows; rows whose file could not
// be deleted, or that a cancel left, stay, and selection is left naming them where they
// now are. Run it after the user confirmed. Refuses when no row is selected.
DeleteSummary BatchDelete(BatchTable& table, Selection& selection, jnx::BusyObserver* busy = nullptr);

// Whether error, or a step it failed on, is a cancel.
bool IsCancel(const platform::Error& error);

// Batch split: the given levels (1-based, ascending) of every selected file that has them,
// each written as a map of its own into LevelFilePath. Levels beyond the fifth are passed
// over. The caller resets the panel and reloads.
SplitSummary BatchSplit(const BatchTable& table, const Selection& selection, const edit::EditRequest& request,
                        const std::vector<int>& levels,
                        const std::array<std::string, jnx::device::kMaxLevels>& levelDirs,
                        const jnx::WriterSettings& settings, BatchObserver* observer = nullptr,
                        jnx::BusyObserver* busy = nullptr);

}  // namespace batch
