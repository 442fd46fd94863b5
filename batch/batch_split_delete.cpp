// Batch split (one file per ticked level of every checked file) and batch delete.
#include <algorithm>
#include <exception>

#include "compose/extract.h"
#include "jnx/reader.h"
#include "batch/batch_commands.h"

namespace batch {

namespace {

Refusal ValidateSplit(const BatchTable& table, int ticked, int& checked) {
    checked = 0;
    if (table.empty()) return Refusal::NoRows;
    for (const auto& row : table.rows) {
        if (!row.Checked()) continue;
        if (row.Erroneous()) return Refusal::ErroneousChecked;
        if (row[kNumLevels] == "1" && ticked == 1) return Refusal::SingleLevelSplit;
        ++checked;
    }
    if (checked == 0) return Refusal::NoneChecked;
    if (ticked == 0) return Refusal::NothingToSplit;
    return Refusal::None;
}

}  // namespace

SplitSummary BatchSplit(const BatchTable& table, const jnx::EditorValues& window, const PanelValues& panel,
                        const std::array<std::string, 5>& levelDirs, const jnx::WriterSettings& settings,
                        BatchObserver* observer, jnx::BusyObserver* busy) {
    SplitSummary summary;
    int ticked = 0;
    for (int k = 0; k < kShownLevels; ++k) ticked += window.LevelPriority(k) ? 1 : 0;
    summary.refusal = ValidateSplit(table, ticked, summary.checked);
    if (summary.Refused()) return summary;

    if (observer) observer->Started(summary.checked);
    jnx::JnxDocument doc;
    int done = 0;
    for (std::size_t i = 0; i < table.rows.size(); ++i) {
        const BatchRow& row = table.rows[i];
        if (!row.Checked()) continue;
        const VersionChoice version = ChooseVersion(panel, row);
        const std::string& source = row.FullFileName();

        std::int32_t totalTiles = 0;
        std::string error;
        bool read = false;
        try {
            read = jnx::ReadJnx(doc, source, totalTiles, error, true, busy);
        } catch (const std::exception& e) {
            error = e.what();
        }
        if (!read) {
            ++summary.errors;
            summary.rows.push_back({i, source, {}, RowResult::Failed, "Cannot read " + source + ": " + error});
        } else {
            doc.FileName = source;
            // Each extraction rewrites parts of the document for its one level, so every
            // level starts again from the document as read.
            const jnx::JnxDocument asRead = doc;
            const int levels = std::min<int>(asRead.Header.LevelCount, kShownLevels);
            for (int k = 1; k <= levels; ++k) {
                if (!window.LevelPriority(k - 1)) continue;
                doc = asRead;
                const std::string output = compose::LevelFilePath(source, k, levelDirs);
                bool ok = false;
                error.clear();
                try {
                    ok = compose::ExtractLevel(doc, window, source, output, k, version.changeVersion,
                                               version.targetVersion, settings, error, busy);
                } catch (const std::exception& e) {
                    error = e.what();
                }
                if (ok) {
                    ++summary.extracted;
                    summary.rows.push_back({i, source, output, RowResult::Extracted, {}});
                } else {
                    // The file's remaining levels are not tried; its level files written so far stay.
                    ++summary.errors;
                    summary.rows.push_back({i, source, output, RowResult::Failed,
                                            "Cannot extract level " + std::to_string(k) + ": " + error});
                    break;
                }
            }
        }
        if (observer) observer->FileDone(++done);
    }
    return summary;
}

DeleteSummary BatchDelete(BatchTable& table, FileOps* files) {
    DeleteSummary summary;
    if (table.CheckedCount() == 0) {
        summary.refusal = Refusal::NothingToDelete;
        return summary;
    }
    FileOps defaultFiles;
    FileOps& ops = files ? *files : defaultFiles;
    std::vector<BatchRow> kept;
    kept.reserve(table.rows.size());
    for (std::size_t i = 0; i < table.rows.size(); ++i) {
        BatchRow& row = table.rows[i];
        if (!row.Checked()) {
            kept.push_back(std::move(row));
            continue;
        }
        const std::string& path = row.FullFileName();
        // A file that is gone already counts as deleted.
        if (ops.Delete(path) || !ops.Exists(path)) {
            ++summary.deleted;
            summary.rows.push_back({i, path, {}, RowResult::Deleted, {}});
        } else {
            ++summary.errors;
            summary.rows.push_back({i, path, {}, RowResult::Failed, "Cannot delete " + path});
            kept.push_back(std::move(row));
        }
    }
    table.rows = std::move(kept);
    return summary;
}

}  // namespace batch
