// Batch split (one file per ticked level of every selected file) and batch delete.
#include <algorithm>

#include "batch/batch_commands.h"
#include "edit/resolve_edit.h"
#include "jnx/reader.h"
#include "operations/split_map.h"
#include "platform/fs.h"

namespace batch {

namespace {

using platform::Error;
using platform::ErrorCode;

Error ValidateSplit(const BatchTable& table, const Selection& rows, int ticked) {
    if (table.empty()) return Error(ErrorCode::RefuseNoFolder);
    for (const std::size_t i : rows) {
        const MapRow& row = table.rows[i];
        if (row.Erroneous()) return Error(ErrorCode::RefuseErroneousChecked);
        if (row.levelCount == 1 && ticked == 1) return Error(ErrorCode::RefuseSingleLevelSplit);
    }
    if (rows.empty()) return Error(ErrorCode::RefuseNoneChecked);
    if (ticked == 0) return Error(ErrorCode::RefuseNothingToSplit);
    return {};
}

// Extracts the ticked levels of one file read in full; stops at its first failing level
// (the level files written so far stay).
void SplitFile(std::size_t row, const std::string& source, const jnx::JnxDocument& doc,
               const edit::EditRequest& request, const std::vector<int>& chosen,
               const operations::LevelFolders& levelDirs, const jnx::WriterSettings& settings, jnx::BusyObserver* busy,
               SplitSummary& summary) {
    const std::vector<int> levels = LevelsOf(chosen, std::min<int>(doc.Header.LevelCount, jnx::device::kMaxLevels));
    const operations::SplitOutcome outcome = operations::SplitMap(doc, source, request, levels, levelDirs, settings, busy);
    for (const std::string& output : outcome.written) {
        ++summary.extracted;
        summary.rows.push_back({row, source, output, RowResult::Extracted, {}});
    }
    if (outcome.Ok()) return;
    ++summary.errors;
    summary.rows.push_back({row, source, outcome.failedOutput, RowResult::Failed,
                            Error(ErrorCode::RowCannotExtract).Level(outcome.failedLevel).Cause(outcome.error)});
}

}  // namespace

SplitSummary BatchSplit(const BatchTable& table, const Selection& selection, const edit::EditRequest& request,
                        const std::vector<int>& levels, const std::array<std::string, jnx::device::kMaxLevels>& levelDirs,
                        const jnx::WriterSettings& settings, BatchObserver* observer, jnx::BusyObserver* busy) {
    SplitSummary summary;
    const int ticked = static_cast<int>(levels.size());
    const Selection rows = Normalised(table, selection);
    summary.checked = static_cast<int>(rows.size());
    summary.refusal = ValidateSplit(table, rows, ticked);
    if (!summary.Refused()) {
        Error invalid;
        if (!edit::ValidateRequest(request, invalid)) summary.refusal = invalid;
    }
    if (summary.Refused()) return summary;

    if (observer) observer->Started(summary.checked);
    jnx::JnxDocument doc;
    int done = 0;
    for (const std::size_t i : rows) {
        const MapRow& row = table.rows[i];
        if (jnx::Cancelled(busy) || (!summary.rows.empty() && IsCancel(summary.rows.back().error))) {
            summary.cancelled = true;
            break;
        }
        const std::string& source = row.path;
        std::int32_t totalTiles = 0;
        Error readError;
        if (!jnx::ReadJnx(doc, source, totalTiles, readError, jnx::ReadDepth::Full, busy)) {
            ++summary.errors;
            summary.rows.push_back(
                {i, source, {}, RowResult::Failed, Error(ErrorCode::RowCannotRead).File(source).Cause(readError)});
        } else {
            doc.FileName = source;
            SplitFile(i, source, doc, request, levels, levelDirs, settings, busy, summary);
        }
        if (observer) observer->FileDone(++done);
    }
    if (!summary.rows.empty() && IsCancel(summary.rows.back().error)) summary.cancelled = true;
    return summary;
}

bool IsCancel(const Error& error) {
    for (const Error* e = &error; e; e = e->cause.get())
        if (e->code == ErrorCode::Cancelled) return true;
    return false;
}

DeleteSummary BatchDelete(BatchTable& table, Selection& selection, jnx::BusyObserver* busy) {
    DeleteSummary summary;
    const Selection rows = Normalised(table, selection);
    if (rows.empty()) {
        summary.refusal = Error(ErrorCode::RefuseNothingToDelete);
        return summary;
    }
    summary.checked = static_cast<int>(rows.size());
    std::vector<bool> selected(table.rows.size(), false);
    for (const std::size_t i : rows) selected[i] = true;
    std::vector<MapRow> kept;
    kept.reserve(table.rows.size());
    Selection stillSelected;
    for (std::size_t i = 0; i < table.rows.size(); ++i) {
        MapRow& row = table.rows[i];
        if (!summary.cancelled && selected[i] && jnx::Cancelled(busy)) summary.cancelled = true;
        if (!selected[i] || summary.cancelled) {
            if (selected[i]) stillSelected.push_back(kept.size());
            kept.push_back(std::move(row));
            continue;
        }
        const std::string& path = row.path;
        // A file that is gone already counts as deleted.
        if (platform::DeleteFile(path) || !platform::FileExists(path)) {
            ++summary.deleted;
            summary.rows.push_back({i, path, {}, RowResult::Deleted, {}});
        } else {
            ++summary.errors;
            summary.rows.push_back({i, path, {}, RowResult::Failed, Error(ErrorCode::RowCannotDelete).File(path)});
            stillSelected.push_back(kept.size());
            kept.push_back(std::move(row));
        }
        if (busy) busy->Progress(std::int64_t(summary.rows.size()), std::int64_t(summary.checked));
    }
    table.rows = std::move(kept);
    selection = std::move(stillSelected);
    return summary;
}

}  // namespace batch
