#include "convert/export_mbtiles.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "convert/export_levels.h"
#include "convert/sqlite_db.h"
#include "convert/tile_image.h"
#include "convert/web_tiles.h"
#include "jnx/codec.h"
#include "jnx/reader.h"
#include "platform/binary_file.h"
#include "platform/fs.h"
#include "platform/gather_read.h"
#include "platform/new_file.h"

namespace convert {

namespace {

using platform::Error;
using platform::ErrorCode;
using platform::Fail;

struct ExportLevel {
    std::size_t index = 0;  // 0-based level of the map
    int zoom = 0;
    std::vector<TileKey> keys;  // one per tile of the level, in table order
};

Error OffGrid(std::size_t level, const std::string& why) {
    return Error(ErrorCode::ConvertOffGrid).Level(std::int64_t(level) + 1).Detail(why);
}

// Every tile of the level must be one web-map tile of one zoom, and no two the same.
bool OnWebGrid(const jnx::JnxDocument& doc, ExportLevel& level, Error& error) {
    const std::size_t first = doc.FirstTileOf(level.index);
    const auto count = std::size_t(doc.Levels[level.index].TileCount);
    for (std::size_t i = first; i < first + count; ++i) {
        const auto key = WebTileAt(doc.Tiles[i].TileBounds);
        if (!key) return Fail(error, OffGrid(level.index, "its tile " + std::to_string(i - first + 1) + " is not a web-map tile"));
        if (i > first && key->zoom != level.zoom)
            return Fail(error, OffGrid(level.index, "its tiles are of zooms " + std::to_string(level.zoom) + " and " +
                                                        std::to_string(key->zoom)));
        level.zoom = key->zoom;
        level.keys.push_back(*key);
    }
    std::vector<TileKey> sorted = level.keys;
    const auto before = [](const TileKey& a, const TileKey& b) { return a.x != b.x ? a.x < b.x : a.y < b.y; };
    std::sort(sorted.begin(), sorted.end(), before);
    if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end())
        return Fail(error, OffGrid(level.index, "two of its tiles cover the same web-map tile"));
    return true;
}

bool ChooseLevels(const jnx::JnxDocument& doc, const std::string& path, const std::vector<int>& wanted,
                  std::vector<ExportLevel>& levels, Error& error) {
    std::vector<std::size_t> indices;
    if (!LevelsToExport(doc, path, wanted, indices, error)) return false;
    for (std::size_t index : indices) {
        ExportLevel level;
        level.index = index;
        if (!OnWebGrid(doc, level, error)) return false;
        for (const auto& other : levels) {
            if (other.zoom == level.zoom)
                return Fail(error, OffGrid(level.index, "level " + std::to_string(other.index + 1) +
                                                            " has the same zoom, " + std::to_string(level.zoom)));
        }
        levels.push_back(std::move(level));
    }
    return true;
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

bool WriteMetadata(Database& db, const jnx::JnxDocument& doc, const std::vector<ExportLevel>& levels, Error& error) {
    std::array<std::int32_t, 4> bounds{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    int minZoom = levels.front().zoom, maxZoom = minZoom;
    for (const auto& level : levels) {
        minZoom = std::min(minZoom, level.zoom);
        maxZoom = std::max(maxZoom, level.zoom);
        const std::size_t first = doc.FirstTileOf(level.index);
        for (std::size_t i = first; i < first + level.keys.size(); ++i) {
            const auto& tile = doc.Tiles[i].TileBounds;
            bounds = {std::max(bounds[0], tile[0]), std::max(bounds[1], tile[1]), std::min(bounds[2], tile[2]),
                      std::min(bounds[3], tile[3])};
        }
    }
    // The group and title go back where an import takes them from.
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"name", jnx::DecodeText(doc.MapInfo.GroupName, true)},
        {"description", jnx::DecodeText(doc.MapInfo.MapTitle, true)},
        {"format", "jpg"},
        {"bounds", Number(Degrees(bounds[3])) + "," + Number(Degrees(bounds[2])) + "," + Number(Degrees(bounds[1])) +
                       "," + Number(Degrees(bounds[0]))},
        {"minzoom", std::to_string(minZoom)},
        {"maxzoom", std::to_string(maxZoom)},
        {"type", "overlay"},
        {"version", "1"},
    };
    Statement insert;
    if (!db.Prepare("INSERT INTO metadata (name, value) VALUES (?, ?)", insert, error)) return false;
    for (const auto& [name, value] : rows) {
        bool row = false;
        insert.BindText(1, name);
        insert.BindText(2, value);
        if (!insert.Step(row, error) || !insert.Reset(error)) return false;
    }
    return true;
}

bool WriteTiles(Database& db, const jnx::JnxDocument& doc, const std::string& jnxPath,
                const std::vector<ExportLevel>& levels, std::int64_t total, Error& error,
                const ImportProgress& progress) {
    platform::BinaryFile map;
    std::int64_t mapLength = 0;
    if (!map.Open(jnxPath, platform::BinaryFile::Mode::Read, error) || !map.Size(mapLength, error)) return false;
    platform::ReadAhead stored(map, mapLength);
    Statement insert;
    if (!db.Prepare("INSERT INTO tiles (zoom_level, tile_column, tile_row, tile_data) VALUES (?, ?, ?, ?)", insert,
                    error))
        return false;
    jnx::Bytes image{0xFF, 0xD8};
    std::int64_t done = 0;
    for (const auto& level : levels) {
        const std::size_t first = doc.FirstTileOf(level.index);
        // A level stored in its tiles' order is read a megabyte at a time; one stored in
        // another order would have each tile cost a megabyte's read, and is read tile by tile.
        const auto offsets = doc.jpgOffset.begin() + std::ptrdiff_t(first);
        const bool inOrder = std::is_sorted(offsets, offsets + std::ptrdiff_t(level.keys.size()));
        for (std::size_t j = 0; j < level.keys.size(); ++j) {
            const jnx::JnxTile& tile = doc.Tiles[first + j];
            const auto size = std::size_t(tile.DataSize);
            image.resize(2 + size);
            const std::uint8_t* bytes = nullptr;
            if (inOrder ? !stored.Get(doc.jpgOffset[first + j], size, bytes, error)
                        : !map.ReadAt(doc.jpgOffset[first + j], image.data() + 2, size, error))
                return false;
            if (inOrder && size > 0) std::memcpy(image.data() + 2, bytes, size);
            if (!EndsImage(image.data(), image.size()))
                image.insert(image.end(), std::begin(kEndOfImage), std::end(kEndOfImage));
            const TileKey& key = level.keys[j];
            bool row = false;
            insert.BindInt(1, key.zoom);
            insert.BindInt(2, key.x);
            insert.BindInt(3, FlipRow(key.zoom, key.y));
            insert.BindBlob(4, image.data(), image.size());
            if (!insert.Step(row, error) || !insert.Reset(error)) return false;
            if (++done % 256 == 0 && !GoesOn(progress, "writing", done, total))
                return Fail(error, Error(ErrorCode::Cancelled));
        }
    }
    return true;
}

bool WriteDatabase(const std::string& path, const std::string& shownAs, const jnx::JnxDocument& doc,
                   const std::string& jnxPath, const std::vector<ExportLevel>& levels, std::int64_t total,
                   Error& error, const ImportProgress& progress) {
    Database db;
    // No journal and no syncs: the file is a temporary until it is published, and the
    // publish step flushes it before the rename. The cache is sized again after the pages
    // grow: sized in pages of the default size, it would hold 32 MiB of the larger ones,
    // and each of its pages is fresh memory to fault in.
    if (!db.Open(path, shownAs, Database::Mode::Create, error) ||
        !db.Execute("PRAGMA page_size = 65536; PRAGMA cache_size = -4096; PRAGMA journal_mode = OFF;"
                    "PRAGMA synchronous = OFF; PRAGMA locking_mode = EXCLUSIVE;"
                    "BEGIN;"
                    "CREATE TABLE metadata (name TEXT, value TEXT);"
                    "CREATE TABLE tiles (zoom_level INTEGER, tile_column INTEGER, tile_row INTEGER, tile_data BLOB);"
                    // Made first: made afterwards, it would read every image once more.
                    "CREATE UNIQUE INDEX tile_index ON tiles (zoom_level, tile_column, tile_row);"
                    "CREATE UNIQUE INDEX name ON metadata (name);",
                    error) ||
        !WriteMetadata(db, doc, levels, error) || !WriteTiles(db, doc, jnxPath, levels, total, error, progress) ||
        !db.Execute("COMMIT;", error))
        return false;
    return db.Close(&error);
}

bool HoldsTiles(const std::string& path, const std::string& shownAs, std::int64_t total, Error& error) {
    Database db;
    Statement count;
    bool row = false;
    if (!db.Open(path, shownAs, Database::Mode::Read, error) ||
        !db.Prepare("SELECT count(*) FROM tiles", count, error) || !count.Step(row, error))
        return false;
    if (row && count.Int(0) == total) return true;
    return Fail(error, Error(ErrorCode::ConvertCannotWrite).File(shownAs).Detail("it does not read back as written"));
}

}  // namespace

bool ExportMbtiles(const std::string& jnxPath, const std::string& outPath, const std::vector<int>& wanted,
                   ExportResult& result, Error& error, const ImportProgress& progress) {
    if (platform::SameFile(jnxPath, outPath)) return Fail(error, Error(ErrorCode::OutputIsSource).File(outPath));
    jnx::JnxDocument doc;
    std::int32_t tiles = 0;
    if (!jnx::ReadJnx(doc, jnxPath, tiles, error, jnx::ReadDepth::Tables)) return false;
    std::vector<ExportLevel> levels;
    if (!ChooseLevels(doc, jnxPath, wanted, levels, error)) return false;
    std::int64_t total = 0;
    for (const auto& level : levels) total += std::int64_t(level.keys.size());

    platform::NewFile out(outPath);
    if (!out.Create(error) ||
        !WriteDatabase(out.TemporaryPath(), outPath, doc, jnxPath, levels, total, error, progress))
        return false;
    const auto verify = [&](platform::BinaryFile&, Error& e) { return HoldsTiles(out.TemporaryPath(), outPath, total, e); };
    if (!GoesOn(progress, "writing", total, total)) return Fail(error, Error(ErrorCode::Cancelled).File(outPath));
    if (!out.Publish(error, verify)) return false;
    result.tiles = total;
    result.zooms.clear();
    for (const auto& level : levels) result.zooms.push_back(level.zoom);
    return true;
}

}  // namespace convert
