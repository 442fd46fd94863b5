// MBTiles read as a tile source. Nothing is assumed of the file beyond the tiles table's
// four columns: it may be a view over deduplicated images, and may lack an index. A view
// is still code the file brings along, so every query is bounded in work by the file's
// size and every zoom in rows.
#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>

#include "convert/sqlite_db.h"
#include "convert/tile_source.h"
#include "platform/binary_file.h"
#include "platform/fs.h"

namespace convert {

namespace {

using platform::Error;
using platform::ErrorCode;

constexpr const char* kOrder = " ORDER BY tile_column, tile_row";
// A query over real rows takes a few dozen steps a row, and a row takes at least a few
// bytes of the file; a query beyond this many steps makes rows the file does not hold.
constexpr std::int64_t kBaseWork = 20000000;
constexpr std::int64_t kWorkPerByte = 16;
// Of the metadata only three short texts are kept; a table beyond these is no MBTiles'.
constexpr std::int64_t kMaxMetadataRows = 10000;
constexpr std::int64_t kMaxMetadataBytes = std::int64_t(16) << 20;
constexpr int kMaxKeptText = 4096;

class MbtilesSource : public TileSource {
public:
    explicit MbtilesSource(std::string path) : path_(std::move(path)) {}

    bool Open(Error& error) {
        // Looked at first without waiting: a pipe under an MBTiles name would hold SQLite's
        // open for ever.
        platform::BinaryFile probe;
        std::int64_t size = 0;
        if (!probe.Open(path_, platform::BinaryFile::Mode::Read, error) || !probe.Size(size, error)) return false;
        probe.Close();
        // Read as unchanging, the file is read without its write-ahead log: changes still
        // only in the log would be missing from the map unnoticed.
        struct stat log {};
        if (::stat((path_ + "-wal").c_str(), &log) == 0 && S_ISREG(log.st_mode) && log.st_size > 0)
            return Fail(error, "its latest changes lie only in " + platform::FileNameOf(path_) +
                                   "-wal; let SQLite fold them in (a checkpoint) and import again");
        work_ = kBaseWork + kWorkPerByte * size;
        bool hasTiles = false;
        db_.LimitWork(work_);
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

    void WatchStop(std::function<bool()> stopAsked) override { db_.WatchStop(std::move(stopAsked)); }

    bool Zooms(std::vector<int>& zooms, Error& error) override {
        db_.LimitWork(work_);
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
        db_.LimitWork(work_);
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

    bool Survey(int zoom, const SurveyVisitor& visit, Error& error) override {
        // A tile's first bytes are read alone where the tiles table has rowids. A view over
        // deduplicated images has none, and looking each tile up again would scan the view
        // once a tile: its images come whole with the one ordered pass instead.
        db_.LimitWork(work_);
        Statement query;
        Error noRowid;
        const std::string where = " FROM tiles WHERE zoom_level = ?" + std::string(kOrder);
        const bool byRowid = isTable_ && db_.Prepare("SELECT tile_column, tile_row, length(tile_data), rowid" + where,
                                                     query, noRowid);
        if (!byRowid && !db_.Prepare("SELECT tile_column, tile_row, tile_data" + where, query, error)) return false;
        BlobReader blobs(db_, "tiles", "tile_data");
        query.BindInt(1, zoom);
        Bytes first;
        for (std::int64_t rows = 1;; ++rows) {
            bool row = false;
            if (!query.Step(row, error)) return false;
            if (!row) return true;
            TileKey key;
            if (!KeyOf(query, zoom, rows, key, error)) return false;
            // The type first: reading the value as a blob may convert it.
            const bool null = query.Type(2) == SQLITE_NULL;
            const std::uint8_t* held = byRowid || null ? nullptr : query.Blob(2);
            const std::int64_t size = null ? 0 : byRowid ? query.Int(2) : std::int64_t(query.Size(2));
            const ReadImageBytes read = [&](std::int64_t offset, std::size_t n, Bytes& out, Error& e) {
                if (byRowid) return blobs.Read(query.Int(3), offset, n, out, e);
                const auto from = std::clamp<std::int64_t>(offset, 0, size);
                out.assign(held + from, held + std::min<std::int64_t>(size, from + std::int64_t(n)));
                return true;
            };
            first.clear();
            if (size > 0 && !read(0, kHeadRead, first, error)) return false;
            if (!visit(key, size, first, read, error)) return false;
        }
    }

    bool Copy(int zoom, const CopyVisitor& visit, Error& error) override {
        db_.LimitWork(work_);
        Statement query;
        if (!db_.Prepare(std::string("SELECT tile_column, tile_row, tile_data FROM tiles WHERE zoom_level = ?") +
                             kOrder,
                         query, error))
            return false;
        query.BindInt(1, zoom);
        for (std::int64_t rows = 1;; ++rows) {
            bool row = false;
            if (!query.Step(row, error)) return false;
            if (!row) return true;
            TileKey key;
            if (!KeyOf(query, zoom, rows, key, error)) return false;
            const std::uint8_t* data = query.Blob(2);
            if (!visit(key, data, data ? query.Size(2) : 0, error)) return false;
        }
    }

private:
    bool Fail(Error& error, const std::string& why) const {
        return platform::Fail(error, Error(ErrorCode::ConvertBadSource).File(path_).Detail(why));
    }

    bool KeyOf(const Statement& query, int zoom, std::int64_t rows, TileKey& key, Error& error) const {
        if (rows > kMaxTilesPerZoom)
            return platform::Fail(error, Error(ErrorCode::ConvertSourceLimit).File(path_).Detail(
                                             "zoom " + std::to_string(zoom) + " holds more than " +
                                             std::to_string(kMaxTilesPerZoom) + " tiles, more than a device's maps hold"));
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
    std::int64_t work_ = 0;
};

}  // namespace

std::unique_ptr<TileSource> OpenMbtiles(const std::string& path, Error& error) {
    auto source = std::make_unique<MbtilesSource>(path);
    if (!source->Open(error)) return nullptr;
    return source;
}

}  // namespace convert
