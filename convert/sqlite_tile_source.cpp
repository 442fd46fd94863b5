#include "convert/sqlite_tile_source.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>

#include "platform/binary_file.h"
#include "platform/fs.h"

namespace convert {

namespace {

using platform::Error;
using platform::ErrorCode;

// A query over real rows takes a few dozen steps a row, and a row takes at least a few
// bytes of the file; a query beyond this many steps makes rows the file does not hold.
constexpr std::int64_t kBaseWork = 20000000;
constexpr std::int64_t kWorkPerByte = 16;

}  // namespace

bool SqliteTileSource::OpenFile(Error& error) {
    platform::BinaryFile probe;
    std::int64_t size = 0;
    if (!probe.Open(path_, platform::BinaryFile::Mode::Read, error) || !probe.Size(size, error)) return false;
    probe.Close();
    struct stat log {};
    if (::stat((path_ + "-wal").c_str(), &log) == 0 && S_ISREG(log.st_mode) && log.st_size > 0)
        return Fail(error, "its latest changes lie only in " + platform::FileNameOf(path_) +
                               "-wal; let SQLite fold them in (a checkpoint) and import again");
    work_ = kBaseWork + kWorkPerByte * size;
    db_.LimitWork(work_);
    return db_.Open(path_, path_, Database::Mode::Read, error);
}

bool SqliteTileSource::FindTableKind(Error& error) {
    Statement type;
    bool row = false;
    if (!db_.Prepare("SELECT type FROM sqlite_master WHERE name = 'tiles'", type, error) || !type.Step(row, error))
        return false;
    isTable_ = row && type.Text(0) == "table";
    return true;
}

bool SqliteTileSource::Fail(Error& error, const std::string& why) const {
    return platform::Fail(error, Error(ErrorCode::ConvertBadSource).File(path_).Detail(why));
}

std::string SqliteTileSource::Where() const {
    return std::string(" FROM tiles WHERE ") + columns_.zoom + " = ? ORDER BY " + columns_.x + ", " + columns_.y;
}

bool SqliteTileSource::Survey(int zoom, const SurveyVisitor& visit, Error& error) {
    // A tile's first bytes are read alone where the tiles table has rowids. A view over
    // deduplicated images has none, and looking each tile up again would scan the view
    // once a tile: its images come whole with the one ordered pass instead.
    Renew();
    Statement query;
    Error noRowid;
    const std::string columns = std::string(columns_.x) + ", " + columns_.y + ", ";
    // length() counts a text's characters, not its bytes, and the bytes are what is read;
    // a blob's length comes from the row's header without reading the blob.
    const std::string image = columns_.image;
    const std::string bytes = "CASE WHEN typeof(" + image + ") = 'blob' THEN length(" + image +
                              ") ELSE length(CAST(" + image + " AS BLOB)) END";
    const bool byRowid = isTable_ && db_.Prepare("SELECT " + columns + bytes + ", rowid" + Where(), query, noRowid);
    if (!byRowid && !db_.Prepare("SELECT " + columns + columns_.image + Where(), query, error)) return false;
    BlobReader blobs(db_, "tiles", columns_.image);
    query.BindInt(1, StoredZoom(zoom));
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

bool SqliteTileSource::Copy(int zoom, const CopyVisitor& visit, Error& error) {
    Renew();
    Statement query;
    if (!db_.Prepare(std::string("SELECT ") + columns_.x + ", " + columns_.y + ", " + columns_.image + Where(), query,
                     error))
        return false;
    query.BindInt(1, StoredZoom(zoom));
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

bool SqliteTileSource::KeyOf(const Statement& query, int zoom, std::int64_t rows, TileKey& key, Error& error) const {
    if (rows > kMaxTilesPerZoom)
        return platform::Fail(error, Error(ErrorCode::ConvertSourceLimit)
                                         .File(path_)
                                         .Detail("zoom " + std::to_string(zoom) + " holds more than " +
                                                 std::to_string(kMaxTilesPerZoom) +
                                                 " tiles, more than a device's maps hold"));
    const std::int64_t side = std::int64_t(1) << zoom;
    const std::int64_t x = query.Int(0), y = query.Int(1);
    if (query.Type(0) != SQLITE_INTEGER || query.Type(1) != SQLITE_INTEGER || x < 0 || x >= side || y < 0 ||
        y >= side)
        return Fail(error, "a tile of zoom " + std::to_string(zoom) + " lies at " + columns_.xWord + " " +
                               query.Text(0) + ", " + columns_.yWord + " " + query.Text(1) + ", outside the zoom's grid");
    key = {zoom, static_cast<std::uint32_t>(x), RowFromNorth(zoom, static_cast<std::uint32_t>(y))};
    return true;
}

}  // namespace convert
