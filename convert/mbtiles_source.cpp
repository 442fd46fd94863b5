// MBTiles read as a tile source. Nothing is assumed of the file beyond the tiles table's
// four columns: it may be a view over deduplicated images, and may lack an index.
#include <sqlite3.h>

#include "convert/sqlite_db.h"
#include "convert/tile_source.h"

namespace convert {

namespace {

using platform::Error;
using platform::ErrorCode;

constexpr const char* kOrder = " ORDER BY tile_column, tile_row";

class MbtilesSource : public TileSource {
public:
    explicit MbtilesSource(std::string path) : path_(std::move(path)) {}

    bool Open(Error& error) {
        bool hasTiles = false;
        if (!db_.Open(path_, path_, Database::Mode::Read, error) || !db_.HasTable("tiles", hasTiles, error))
            return false;
        if (!hasTiles) return Fail(error, "it has no tiles table");
        Statement type;
        bool row = false;
        if (!db_.Prepare("SELECT type FROM sqlite_master WHERE name = 'tiles'", type, error) || !type.Step(row, error))
            return false;
        isTable_ = row && type.Text(0) == "table";
        return true;
    }

    bool Zooms(std::vector<int>& zooms, Error& error) override {
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
        Statement query;
        if (!db_.Prepare("SELECT name, value FROM metadata", query, error)) return false;
        for (bool row = true;;) {
            if (!query.Step(row, error)) return false;
            if (!row) return true;
            const std::string name = query.Text(0);
            if (name == "name") texts.name = query.Text(1);
            if (name == "description") texts.description = query.Text(1);
            if (name == "attribution") texts.attribution = query.Text(1);
        }
    }

    std::string Describe(const TileKey& key) const override {
        return "at zoom " + std::to_string(key.zoom) + ", column " + std::to_string(key.x) + ", row " +
               std::to_string(FlipRow(key.zoom, key.y));
    }

    bool Survey(int zoom, const SurveyVisitor& visit, Error& error) override {
        // A tile's first bytes are read alone where the tiles table has rowids; a view over
        // deduplicated images is read through substr, which loads every image whole.
        Statement query, part;
        Error noRowid;
        const std::string columns = "SELECT tile_column, tile_row, length(tile_data), ";
        const std::string where = " FROM tiles WHERE zoom_level = ?" + std::string(kOrder);
        const bool byRowid = isTable_ && db_.Prepare(columns + "rowid" + where, query, noRowid);
        if (!byRowid && (!db_.Prepare(columns + "NULL" + where, query, error) ||
                         !db_.Prepare("SELECT substr(tile_data, ?, ?) FROM tiles "
                                      "WHERE zoom_level = ? AND tile_column = ? AND tile_row = ?",
                                      part, error)))
            return false;
        BlobReader blobs(db_, "tiles", "tile_data");
        query.BindInt(1, zoom);
        Bytes first;
        for (bool row = true;;) {
            if (!query.Step(row, error)) return false;
            if (!row) return true;
            TileKey key;
            if (!KeyOf(query, zoom, key, error)) return false;
            const std::int64_t size = query.Type(2) == SQLITE_NULL ? 0 : query.Int(2);
            const ReadImageBytes read = [&](std::int64_t offset, std::size_t n, Bytes& out, Error& e) {
                if (byRowid) return blobs.Read(query.Int(3), offset, n, out, e);
                part.BindInt(1, offset + 1);
                part.BindInt(2, std::int64_t(n));
                part.BindInt(3, zoom);
                part.BindInt(4, query.Int(0));
                part.BindInt(5, query.Int(1));
                bool found = false;
                if (!part.Reset(e) || !part.Step(found, e)) return false;
                const std::uint8_t* bytes = found ? part.Blob(0) : nullptr;
                out.assign(bytes, bytes + (bytes ? part.Size(0) : 0));
                return part.Reset(e);
            };
            first.clear();
            if (size > 0 && !read(0, kHeadRead, first, error)) return false;
            if (!visit(key, size, first, read, error)) return false;
        }
    }

    bool Copy(int zoom, const CopyVisitor& visit, Error& error) override {
        Statement query;
        if (!db_.Prepare(std::string("SELECT tile_column, tile_row, tile_data FROM tiles WHERE zoom_level = ?") +
                             kOrder,
                         query, error))
            return false;
        query.BindInt(1, zoom);
        for (bool row = true;;) {
            if (!query.Step(row, error)) return false;
            if (!row) return true;
            TileKey key;
            if (!KeyOf(query, zoom, key, error)) return false;
            const std::uint8_t* data = query.Blob(2);
            if (!visit(key, data, data ? query.Size(2) : 0, error)) return false;
        }
    }

private:
    bool Fail(Error& error, const std::string& why) const {
        return platform::Fail(error, Error(ErrorCode::ConvertBadSource).File(path_).Detail(why));
    }

    bool KeyOf(const Statement& query, int zoom, TileKey& key, Error& error) const {
        const std::int64_t side = std::int64_t(1) << zoom;
        const std::int64_t column = query.Int(0), row = query.Int(1);
        if (query.Type(0) != SQLITE_INTEGER || query.Type(1) != SQLITE_INTEGER || column < 0 || column >= side ||
            row < 0 || row >= side)
            return Fail(error, "a tile of zoom " + std::to_string(zoom) + " lies at column " + query.Text(0) +
                                   ", row " + query.Text(1) + ", outside the zoom's grid");
        key = {zoom, static_cast<std::uint32_t>(column), FlipRow(zoom, static_cast<std::uint32_t>(row))};
        return true;
    }

    std::string path_;
    Database db_;
    bool isTable_ = false;
};

}  // namespace

std::unique_ptr<TileSource> OpenMbtiles(const std::string& path, Error& error) {
    auto source = std::make_unique<MbtilesSource>(path);
    if (!source->Open(error)) return nullptr;
    return source;
}

}  // namespace convert
