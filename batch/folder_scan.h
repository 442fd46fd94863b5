// The folder scan that fills a BatchTable: a read of every JNX file of a folder (and of
// its subfolders on request) up to its tile tables, one row per file. The scan never changes a file,
// never follows a folder link back into a folder it has already listed, and never stops
// on a bad file: a file it cannot read becomes an erroneous row.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "jnx/document.h"
#include "jnx/progress.h"
#include "platform/error.h"
#include "settings/settings.h"
#include "batch/batch_table.h"

namespace batch {

// The progress of a scan; the window advances its bar and repaints.
class ScanObserver {
public:
    virtual ~ScanObserver() = default;
    // A folder's own files are about to be listed: fileCount counts all its files (JNX or
    // not), at least 1, and is the bar's new maximum.
    virtual void FolderStarted(const std::string& /*folder*/, int /*fileCount*/) {}
    // One file of that folder was looked at (JNX or not).
    virtual void FileDone() {}
};

struct ScanResult {
    bool ok = true;           // false: the folder itself could not be read (error says why)
    bool cancelled = false;   // stopped on request: the table holds the files read before
    platform::Error error;
    // Subfolders that could not be listed; their files are missing from the table.
    std::vector<std::string> skippedFolders;
};

// The zoom row a stored scale belongs to, with its name and priority flag. A row without
// a name shows the last row's; a scale beyond the table is not prioritised.
MapLevel LevelForScale(const std::vector<settings::ZoomLevelEntry>& zoomTable, std::int32_t scale);

// The row of one file, from a read of its tables into doc: what the device check judges
// is the whole structure, so a map whose tile tables are cut short or point outside the
// file is the erroneous row, as it is for every command that uses it.
MapRow ScanFile(const std::string& path, const std::vector<settings::ZoomLevelEntry>& zoomTable, jnx::JnxDocument& doc,
                jnx::BusyObserver* busy = nullptr);

// Appends one row per *.jnx file of folder (extension matched without regard to case),
// then, when recursive, the rows of each subfolder, depth-first, in name order, each row
// with its subfolder relative to folder.
ScanResult USRefrescarFolder(BatchTable& table, const std::string& folder,
                             const std::vector<settings::ZoomLevelEntry>& zoomTable, bool recursive,
                             ScanObserver* observer = nullptr, jnx::BusyObserver* busy = nullptr);

// The load command's table work: a fresh table for folder, filled by the scan.
ScanResult LoadFolder(BatchTable& table, const std::string& folder,
                      const std::vector<settings::ZoomLevelEntry>& zoomTable, bool recursive,
                      ScanObserver* observer = nullptr, jnx::BusyObserver* busy = nullptr);

}  // namespace batch
