// MBTiles read as a tile source. Nothing is assumed of the file beyond the tiles table's
// four columns: it may be a view over deduplicated images, and may lack an index. A view
// is still code the file brings along, so every query is bounded in work by the file's
// size and every zoom in rows.
#include <sqlite3.h>

#include "convert/sqlite_tile_source.h"
#include "convert/web_tiles.h"

namespace convert {

namespace {

using platform::Error;
using platform::ErrorCode;

// Of the metadata only three short texts are kept; a table beyond these is no MBTiles'.
constexpr std::int64_t kMaxMetadataRows = 10000;
constexpr std::int64_t kMaxMetadataBytes = std::int64_t(16) << 20;
constexpr int kMaxKeptText = 4096;

class MbtilesSource : public SqliteTileSource {
public:
    explicit MbtilesSource(std::string path)
        : SqliteTileSource(std::move(path), {"tile_column", "tile_row", "zoom_level", "tile_data", "column", "row"}) {}

    bool Open(Error& error) {
        bool hasTiles = false;
        if (!OpenFile(error) || !db_.HasTable("tiles", hasTiles, error)) return false;
        if (!hasTiles) return Fail(error, "it has no tiles table");
        return FindTableKind(error);
    }

    bool Zooms(std::vector<int>& zooms, Error& error) override {
        Renew();
        Statement query;
        if (!db_.Prepare("SELECT DISTINCT zoom_level FROM tiles ORDER BY zoom_level", query, error)) return false;
        zooms.clear();
        for (bool row = true;;) {
            if (!query.Step(row, error)) return false;
            if (!row) return true;
            const std::int64_t zoom = query.Int(0);
            if (query.Type(0) != SQLITE_INTEGER || zoom < 0 || zoom > kMaxWebZoom)
                return Fail(error, "a tile has zoom level " + query.Text(0) + ", not one from 0 to " +
                                       std::to_string(kMaxWebZoom));
            zooms.push_back(static_cast<int>(zoom));
        }
    }

    bool Texts(SourceTexts& texts, Error& error) override {
        bool hasMetadata = false;
        if (!db_.HasTable("metadata", hasMetadata, error)) return false;
        if (!hasMetadata) return true;
        Renew();
        Statement query;
        if (!db_.Prepare("SELECT substr(name, 1, 64), length(CAST(name AS BLOB)) + length(CAST(value AS BLOB)), "
                         "substr(CAST(value AS BLOB), 1, " + std::to_string(kMaxKeptText) + ") FROM metadata",
                         query, error))
            return false;
        std::int64_t rows = 0, bytes = 0;
        for (bool row = true;;) {
            if (!query.Step(row, error)) return false;
            if (!row) return true;
            bytes += query.Int(1);
            if (++rows > kMaxMetadataRows || bytes > kMaxMetadataBytes)
                return platform::Fail(error, Error(ErrorCode::ConvertSourceLimit).File(path_).Detail(
                                                 "its metadata holds more than " + std::to_string(kMaxMetadataRows) +
                                                 " rows or 16 MiB"));
            const std::string name = query.Text(0);
            if (name == "name") texts.name = query.Text(2);
            if (name == "description") texts.description = query.Text(2);
            if (name == "attribution") texts.attribution = query.Text(2);
        }
    }

    std::string Describe(const TileKey& key) const override {
        return "at zoom " + std::to_string(key.zoom) + ", column " + std::to_string(key.x) + ", row " +
               std::to_string(FlipRow(key.zoom, key.y));
    }

protected:
    std::int64_t StoredZoom(int zoom) const override { return zoom; }
    // MBTiles counts rows from the south.
    std::uint32_t RowFromNorth(int zoom, std::uint32_t stored) const override { return FlipRow(zoom, stored); }
};

}  // namespace

std::unique_ptr<TileSource> OpenMbtiles(const std::string& path, Error& error) {
    auto source = std::make_unique<MbtilesSource>(path);
    if (!source->Open(error)) return nullptr;
    return source;
}

}  // namespace convert
