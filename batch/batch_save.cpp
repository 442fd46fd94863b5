// Batch save: every selected row is read in full just before it is written, then patched
// in place or written anew, as the one edit resolution decides.
#include <algorithm>
#include <cctype>

#include "batch/batch_commands.h"
#include "batch/folder_scan.h"
#include "edit/resolve_edit.h"
#include "jnx/reader.h"
#include "operations/save_map.h"
#include "platform/file_lock.h"
#include "platform/fs.h"
#include "platform/text.h"

namespace batch {

namespace {

using platform::Error;
using platform::ErrorCode;

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The rename a patched row asks for: "" when the name stays; a bad name, or a folder that
// cannot take the rename, fails the row before the file is touched.
bool RenameTarget(const MapRow& row, std::string& target, Error& error) {
    const std::string& source = row.path;
    const std::string newName = platform::Trim(row.fileName);
    target.clear();
    if (Upper(platform::FileNameOf(source)) == Upper(newName)) return true;
    if (newName.find_first_of("/\\") != std::string::npos)
        return platform::Fail(error, Error(ErrorCode::RowNameHasSeparator).Other(newName));
    target = platform::JoinPath(platform::ParentFolder(source), newName);
    // A dangling link counts: the rename would fail on it only after the update.
    if (platform::NameTaken(target)) return platform::Fail(error, Error(ErrorCode::RowNameTaken).Other(newName));
    // A rename the folder cannot take would leave the file updated under its old name.
    return platform::CanWriteInto(platform::ParentFolder(source), error);
}

bool WrittenByThisRun(const std::string& path, const std::vector<std::string>& written) {
    return std::any_of(written.begin(), written.end(),
                       [&](const std::string& output) { return platform::SameFile(path, output); });
}

class Saver {
public:
    Saver(const edit::EditRequest& request, const jnx::WriterSettings& settings, jnx::BusyObserver* busy)
        : request_(request), settings_(settings), busy_(busy) {}

    RowOutcome Save(const MapRow& row) {
        RowOutcome outcome;
        outcome.path = row.path;
        std::string renameTo;
        edit::ResolvedEdit resolved;
        // Locked from the read to the write, so that another writer's edit that comes in
        // between is waited for and read, not written over.
        platform::FileLock lock;
        if (!lock.Acquire(outcome.path, platform::kWriterPatience, outcome.error,
                          [this] { return jnx::Cancelled(busy_); })) {
            outcome.error = Error(ErrorCode::RowCannotRead).File(outcome.path).Cause(outcome.error);
            return outcome;
        }
        if (!Read(row, outcome)) return outcome;
        if (!edit::ResolveEdit(request_, doc_, row.path, settings_, edit::Purpose::Save, resolved, outcome.error)) {
            outcome.error = Error(ErrorCode::RowCannotUpdate).File(outcome.path).Cause(outcome.error);
            return outcome;
        }
        // A file the scan found fit for patching must still be: else it changed since
        // the folder was loaded, and the user decided on what the row showed.
        if (!row.needsRegeneration && !resolved.changeVersion && doc_.NeedsRegeneration) {
            outcome.error = Error(ErrorCode::RowChanged).File(outcome.path);
            return outcome;
        }
        if (resolved.road == edit::Road::Rewrite) {
            Rewrite(lock, outcome);
        } else if (RenameTarget(row, renameTo, outcome.error)) {
            Patch(renameTo, lock, outcome);
        }
        return outcome;
    }

private:
    // A full read of the file as it is now; it must still be the file the row describes.
    bool Read(const MapRow& row, RowOutcome& outcome) {
        std::int32_t totalTiles = 0;
        Error error;
        if (!jnx::ReadJnx(doc_, row.path, totalTiles, error, jnx::ReadDepth::Full, busy_)) {
            outcome.error = Error(ErrorCode::RowCannotRead).File(row.path).Cause(error);
            return false;
        }
        if (doc_.Header.Version != row.version) {
            outcome.error = Error(ErrorCode::RowChanged).File(row.path);
            return false;
        }
        doc_.FileName = row.path;
        return true;
    }

    void Rewrite(const platform::FileLock& lock, RowOutcome& outcome) {
        // The edited fileName plays no part here: the output is named after the source.
        const operations::SaveOutcome saved = operations::SaveMap(doc_, outcome.path, request_, settings_, busy_, &lock);
        if (!saved.Ok()) {
            outcome.error = Error(request_.replaceSource ? ErrorCode::RowCannotReplace : ErrorCode::RowCannotRegenerate)
                                .File(outcome.path)
                                .Cause(saved.error);
            return;
        }
        outcome.output = saved.output;
        outcome.result = RowResult::Created;
    }

    void Patch(const std::string& renameTo, const platform::FileLock& lock, RowOutcome& outcome) {
        const operations::SaveOutcome saved = operations::SaveMap(doc_, outcome.path, request_, settings_, busy_, &lock);
        const bool ok = saved.Ok();
        if (!ok) outcome.error = Error(ErrorCode::RowCannotUpdate).File(outcome.path).Cause(saved.error);
        outcome.output = outcome.path;
        // The rename follows whether or not the update succeeded (a failed update leaves
        // the file as it was); it never replaces another file.
        if (!renameTo.empty()) {
            Error renameError;
            if (platform::MoveFileNoReplace(outcome.path, renameTo, renameError)) {
                outcome.output = renameTo;
            } else if (ok) {
                outcome.error = Error(ErrorCode::RowUpdatedNotRenamed).Cause(renameError);
                return;
            }
        }
        if (ok) outcome.result = RowResult::Updated;
    }

    const edit::EditRequest& request_;
    const jnx::WriterSettings& settings_;
    jnx::BusyObserver* busy_;
    jnx::JnxDocument doc_;
};

}  // namespace

SaveSummary BatchSave(const BatchTable& table, const Selection& selection, const edit::EditRequest& request,
                      const jnx::WriterSettings& settings, BatchObserver* observer, jnx::BusyObserver* busy) {
    SaveSummary summary;
    summary.refusal = ValidateSave(table, selection, request);
    if (summary.Refused()) return summary;
    const Selection rows = Normalised(table, selection);
    summary.checked = static_cast<int>(rows.size());

    Saver saver(request, settings, busy);
    if (observer) observer->Started(summary.checked);
    int done = 0;
    std::vector<std::string> written;
    for (const std::size_t i : rows) {
        const MapRow& row = table.rows[i];
        if (jnx::Cancelled(busy)) {
            summary.cancelled = true;
            break;
        }
        // A file this run wrote already holds the request: saving it again would only
        // write NAME_new_new.jnx or patch it a second time.
        if (WrittenByThisRun(row.path, written)) {
            if (observer) observer->FileDone(++done);
            continue;
        }
        RowOutcome outcome = saver.Save(row);
        if (outcome.result == RowResult::Created) written.push_back(outcome.output);
        outcome.row = i;
        if (outcome.result == RowResult::Updated) ++summary.updated;
        else if (outcome.result == RowResult::Created) ++summary.created;
        else ++summary.errors;
        summary.cancelled = IsCancel(outcome.error);
        summary.rows.push_back(std::move(outcome));
        if (observer) observer->FileDone(++done);
        if (summary.cancelled) break;
    }
    return summary;
}

SaveSummary SaveFilesAsBatch(const std::vector<std::string>& paths, const std::string& renameTo,
                             const edit::EditRequest& request, const jnx::WriterSettings& settings,
                             BatchObserver* observer, jnx::BusyObserver* busy) {
    if (!renameTo.empty() && paths.size() != 1) {
        SaveSummary refused;
        refused.refusal = Error(ErrorCode::RefuseInvalidFilename);
        return refused;
    }
    BatchTable table;
    jnx::JnxDocument doc;
    for (const auto& path : paths) {
        MapRow row = ScanFile(path, {}, doc, busy);
        if (!renameTo.empty()) row.fileName = renameTo;
        table.rows.push_back(std::move(row));
    }
    return BatchSave(table, AllRows(table), request, settings, observer, busy);
}

}  // namespace batch
