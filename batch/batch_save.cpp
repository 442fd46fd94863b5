// Batch save: every checked row is read in full just before it is written, then patched
// in place or regenerated.
#include <algorithm>
#include <cctype>
#include <exception>

#include "jnx/modif.h"
#include "edit/user_input.h"
#include "jnx/reader.h"
#include "jnx/regenerate.h"
#include "platform/fs.h"
#include "batch/batch_commands.h"
#include "batch/folder_scan.h"

namespace batch {

namespace {

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The draw order the file gets: the panel's number, 25 on a conversion to version 4 when
// the box is empty, else the file's own.
void ApplyDrawOrder(jnx::JnxDocument& doc, const PanelValues& panel, const VersionChoice& version) {
    const std::string text = jnx::Trim(panel.drawOrderText);
    if (text.empty()) {
        if (version.changeVersion && version.targetVersion == 4) doc.Header.DrawOrder = jnx::kDefaultDrawOrder;
        return;
    }
    if (const auto value = jnx::ParseInt32(text)) doc.Header.DrawOrder = *value;
}

class Saver {
public:
    Saver(const jnx::EditorValues& window, const PanelValues& panel, const jnx::WriterSettings& settings,
          jnx::BusyObserver* busy, FileOps& files)
        : window_(window), panel_(panel), settings_(settings), busy_(busy), files_(files) {}

    RowOutcome Save(const BatchRow& row) {
        RowOutcome outcome;
        outcome.path = row.FullFileName();
        const VersionChoice version = ChooseVersion(panel_, row);
        if (SaveRegenerates(panel_, row)) {
            Regenerate(row, version, outcome);
        } else {
            Patch(row, version, outcome);
        }
        return outcome;
    }

private:
    // A full read of the file as it is now; it must still be the file the row describes.
    bool Read(const BatchRow& row, const VersionChoice& version, RowOutcome& outcome) {
        std::int32_t totalTiles = 0;
        std::string error;
        bool ok = false;
        try {
            ok = jnx::ReadJnx(doc_, row.FullFileName(), totalTiles, error, true, busy_);
        } catch (const std::exception& e) {
            error = e.what();
        }
        if (!ok) {
            outcome.error = "Cannot read " + row.FullFileName() + ": " + error;
            return false;
        }
        if (std::to_string(doc_.Header.Version) != row[kJNXVersion]) {
            outcome.error = row.FullFileName() + " has changed since the folder was loaded";
            return false;
        }
        doc_.FileName = row.FullFileName();
        ApplyDrawOrder(doc_, panel_, version);
        return true;
    }

    void Regenerate(const BatchRow& row, const VersionChoice& version, RowOutcome& outcome) {
        const std::string& source = row.FullFileName();
        const std::string folder = platform::ParentFolder(source);
        // The edited Filename plays no part here: the output is named after the source.
        const std::string output = panel_.replaceSource
                                       ? platform::TemporaryPathIn(folder, platform::FileNameOf(source))
                                       : platform::JoinPath(folder, platform::BaseNameOf(source) + "_new.jnx");
        if (!Read(row, version, outcome)) return;
        std::string error;
        bool ok = false;
        try {
            ok = jnx::RegenerateJnx(doc_, window_, source, output, version.changeVersion, version.targetVersion,
                                    settings_, error, busy_);
        } catch (const std::exception& e) {
            error = e.what();
        }
        if (!ok) {
            outcome.error = "Cannot regenerate " + source + ": " + error;
            if (panel_.replaceSource && files_.Exists(output)) files_.Delete(output);
            return;
        }
        if (panel_.replaceSource) {
            // One rename puts the verified new file in the source's place: at every
            // moment a complete file exists under the source's name.
            if (!files_.Replace(output, source, error)) {
                files_.Delete(output);
                outcome.error = "Cannot replace " + source + ": " + error;
                return;
            }
            outcome.output = source;
        } else {
            outcome.output = output;
        }
        outcome.result = RowResult::Created;
    }

    void Patch(const BatchRow& row, const VersionChoice& version, RowOutcome& outcome) {
        const std::string& source = row.FullFileName();
        const std::string newName = jnx::Trim(row.FileName());
        std::string target;
        if (Upper(platform::FileNameOf(source)) != Upper(newName)) {
            // A bad new name fails the row before the file is touched.
            if (newName.find_first_of("/\\") != std::string::npos) {
                outcome.error = "The new name " + newName + " holds a folder separator";
                return;
            }
            target = platform::JoinPath(platform::ParentFolder(source), newName);
            if (files_.Exists(target) || platform::FolderExists(target)) {
                outcome.error = "A file named " + newName + " exists already";
                return;
            }
        }
        if (!Read(row, version, outcome)) return;
        if (doc_.NeedsRegeneration) {
            outcome.error = source + " has changed since the folder was loaded";
            return;
        }
        std::string error;
        bool ok = false;
        try {
            ok = jnx::ModifJNX(doc_, window_, source, settings_, error, busy_);
        } catch (const std::exception& e) {
            error = e.what();
        }
        if (!ok) outcome.error = "Cannot update " + source + ": " + error;
        outcome.output = source;
        // The rename follows whether or not the update succeeded (a failed update leaves
        // the file as it was); it never replaces another file.
        if (!target.empty()) {
            std::string renameError;
            if (files_.Rename(source, target, renameError)) {
                outcome.output = target;
            } else if (ok) {
                ok = false;
                outcome.error = "Updated, but cannot rename: " + renameError;
            }
        }
        if (ok) outcome.result = RowResult::Updated;
    }

    const jnx::EditorValues& window_;
    const PanelValues& panel_;
    const jnx::WriterSettings& settings_;
    jnx::BusyObserver* busy_;
    FileOps& files_;
    jnx::JnxDocument doc_;
};

}  // namespace

SaveSummary BatchSave(const BatchTable& table, const jnx::EditorValues& window, const PanelValues& panel,
                      const jnx::WriterSettings& settings, BatchObserver* observer, jnx::BusyObserver* busy,
                      FileOps* files) {
    SaveSummary summary;
    summary.refusal = ValidateSave(table, panel);
    if (summary.Refused()) return summary;
    summary.checked = static_cast<int>(table.CheckedCount());

    FileOps defaultFiles;
    Saver saver(window, panel, settings, busy, files ? *files : defaultFiles);
    if (observer) observer->Started(summary.checked);
    int done = 0;
    for (std::size_t i = 0; i < table.rows.size(); ++i) {
        const BatchRow& row = table.rows[i];
        if (!row.Checked()) continue;
        RowOutcome outcome = saver.Save(row);
        outcome.row = i;
        switch (outcome.result) {
        case RowResult::Updated:
            ++summary.updated;
            break;
        case RowResult::Created:
            ++summary.created;
            break;
        default:
            ++summary.errors;
            break;
        }
        summary.rows.push_back(std::move(outcome));
        if (observer) observer->FileDone(++done);
    }
    return summary;
}

SaveSummary SaveFilesAsBatch(const std::vector<std::string>& paths, const std::string& renameTo,
                             const jnx::EditorValues& window, const PanelValues& panel,
                             const jnx::WriterSettings& settings, BatchObserver* observer, jnx::BusyObserver* busy) {
    if (!renameTo.empty() && paths.size() != 1) {
        SaveSummary refused;
        refused.refusal = Refusal::InvalidFilename;
        return refused;
    }
    BatchTable table;
    jnx::JnxDocument doc;
    for (const auto& path : paths) {
        BatchRow row = ScanFile(path, {}, doc, busy);
        row.SetChecked(true);
        if (!renameTo.empty()) row[kFilename] = renameTo;
        table.rows.push_back(std::move(row));
    }
    return BatchSave(table, window, panel, settings, observer, busy);
}

}  // namespace batch
