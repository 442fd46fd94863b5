#include "batch/folder_scan.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <filesystem>
#include <set>
#include <system_error>

#include "check/device_check.h"
#include "jnx/codec.h"
#include "jnx/reader.h"
#include "platform/fs.h"

namespace batch {

namespace fs = std::filesystem;

MapLevel LevelForScale(const std::vector<settings::ZoomLevelEntry>& zoomTable, std::int32_t scale) {
    MapLevel level;
    level.scale = scale;
    const settings::ZoomMatch match = settings::RowForScale(zoomTable, scale);
    if (match.row < 0 || static_cast<std::size_t>(match.row) >= zoomTable.size()) return level;
    level.zoomRow = match.row;
    level.prioritised = match.prioritised.value_or(false);
    const std::string& name = zoomTable[static_cast<std::size_t>(match.row)].Name;
    level.zoomName = name.empty() ? zoomTable.back().Name : name;
    return level;
}

namespace {

MapRow ErroneousRow(const std::string& path, platform::Error why) {
    MapRow row;
    if (why.file.empty()) why.file = path;
    row.readError = std::move(why);
    row.path = path;
    row.fileName = platform::FileNameOf(path);
    return row;
}

// The test is on the name only: MAP.Jnx is taken, x.jnx.bak is not.
bool HasJnxExtension(const std::string& path) {
    const std::string name = platform::FileNameOf(path);
    const auto dot = name.find_last_of('.');
    if (dot == std::string::npos) return false;
    std::string ext = name.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return ext == "JNX";
}

// Identity of a folder however it was reached (through links or not); empty when unknown.
std::string FolderIdentity(const std::string& folder) {
    std::error_code ec;
    const fs::path canonical = fs::canonical(fs::path(folder), ec);
    return ec ? std::string() : canonical.string();
}

struct ScanContext {
    BatchTable& table;
    const std::vector<settings::ZoomLevelEntry>& zoomTable;
    bool recursive;
    ScanObserver* observer;
    jnx::BusyObserver* busy;
    jnx::JnxDocument doc;
    std::set<std::string> visited;
    ScanResult result;
};

// False when the folder itself cannot be listed. subfolder: folder below the scanned one.
bool ScanFolder(ScanContext& context, const std::string& folder, const std::string& subfolder, platform::Error& error) {
    std::vector<platform::FolderEntry> entries;
    if (!platform::ListFolder(folder, entries, error)) return false;

    const auto fileCount = std::count_if(entries.begin(), entries.end(),
                                         [](const platform::FolderEntry& entry) { return !entry.isFolder; });
    if (context.observer) context.observer->FolderStarted(folder, std::max<int>(1, static_cast<int>(fileCount)));

    for (const auto& entry : entries) {
        if (entry.isFolder) continue;
        if (context.result.cancelled || jnx::Cancelled(context.busy)) {
            context.result.cancelled = true;
            return true;
        }
        if (HasJnxExtension(entry.path)) {
            context.table.rows.push_back(ScanFile(entry.path, context.zoomTable, context.doc, context.busy));
            context.table.rows.back().subfolder = subfolder;
        }
        if (context.observer) context.observer->FileDone();
    }

    if (!context.recursive) return true;
    for (const auto& entry : entries) {
        if (!entry.isFolder) continue;
        if (context.result.cancelled) return true;
        const std::string identity = FolderIdentity(entry.path);
        // A folder that cannot be resolved (deeper than PATH_MAX) is reported as not read;
        // a link back into one already listed would list the same files again, or forever.
        if (identity.empty()) {
            context.result.skippedFolders.push_back(entry.path);
            continue;
        }
        if (!context.visited.insert(identity).second) continue;
        platform::Error subError;
        const std::string name = platform::FileNameOf(entry.path);
        if (!ScanFolder(context, entry.path, subfolder.empty() ? name : subfolder + "/" + name, subError))
            context.result.skippedFolders.push_back(entry.path);
    }
    return true;
}

}  // namespace

MapRow ScanFile(const std::string& path, const std::vector<settings::ZoomLevelEntry>& zoomTable, jnx::JnxDocument& doc,
                jnx::BusyObserver* busy) {
    // Only regular files are opened: a pipe or device named *.jnx would block the read.
    std::error_code ec;
    if (!fs::is_regular_file(fs::path(path), ec))
        return ErroneousRow(path, platform::Error(platform::ErrorCode::CannotRead).File(path));

    std::int32_t totalTiles = 0;
    platform::Error error;
    bool ok = false;
    try {
        // The tile tables cost 28 bytes a tile; without them a map cut short would pass.
        ok = jnx::ReadJnx(doc, path, totalTiles, error, jnx::ReadDepth::Tables, busy);
    } catch (const std::exception& e) {
        ok = false;
        error = platform::Error(platform::ErrorCode::CannotRead).File(path).Detail(e.what());
    }
    if (!ok) return ErroneousRow(path, error);

    MapRow row;
    const jnx::JnxHeader& header = doc.Header;
    row.path = path;
    row.fileName = platform::FileNameOf(path);
    row.version = header.Version;
    row.productId = header.ProductId;
    row.groupName = jnx::DecodeText(doc.MapInfo.GroupName, true);
    row.levelCount = header.LevelCount;
    row.withBug = header.LevelCount != doc.MapInfo.InfoLevelCount;
    const std::size_t shown =
        std::min<std::size_t>({static_cast<std::size_t>(std::max(header.LevelCount, 0)), doc.Levels.size(),
                               static_cast<std::size_t>(jnx::device::kMaxLevels)});
    for (std::size_t k = 0; k < shown; ++k) row.levels.push_back(LevelForScale(zoomTable, doc.Levels[k].Scale));
    row.totalTiles = totalTiles;
    if (header.Version == 4) row.drawOrder = header.DrawOrder;
    row.needsRegeneration = doc.NeedsRegeneration;
    row.bounds = header.Bounds;
    row.device = check::CheckStructure(doc, &zoomTable);
    return row;
}

ScanResult USRefrescarFolder(BatchTable& table, const std::string& folder,
                             const std::vector<settings::ZoomLevelEntry>& zoomTable, bool recursive,
                             ScanObserver* observer, jnx::BusyObserver* busy) {
    ScanContext context{table, zoomTable, recursive, observer, busy, {}, {}, {}};
    const std::string identity = FolderIdentity(folder);
    if (!identity.empty()) context.visited.insert(identity);
    platform::Error error;
    if (!ScanFolder(context, folder, std::string(), error)) {
        context.result.ok = false;
        context.result.error = error ? error : platform::Error(platform::ErrorCode::CannotReadFolder).File(folder);
    }
    return context.result;
}

ScanResult LoadFolder(BatchTable& table, const std::string& folder,
                      const std::vector<settings::ZoomLevelEntry>& zoomTable, bool recursive, ScanObserver* observer,
                      jnx::BusyObserver* busy) {
    table = BatchTable{};
    table.folder = folder;
    table.recursive = recursive;
    return USRefrescarFolder(table, folder, zoomTable, recursive, observer, busy);
}

}  // namespace batch
