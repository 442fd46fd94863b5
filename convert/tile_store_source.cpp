// The SQLite tile stores of mobile map apps read as a tile source: a tiles table of x, y, z,
// s and image, and an info table of flags that tell how the numbers are meant. Most stores
// count zooms backwards from 17, as the first app of the kind did; a store says otherwise
// in info.tilenumbering, and counts rows from the south where info.inverted_y is 1. A store
// of elliptical-Mercator tiles cannot lie on the web-map grid and is refused, as is any
// flag this reader does not know, rather than guessed at. The file is read as an MBTiles
// file is: only read, and every query bounded in work by the file's size.
#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>

#include "convert/sqlite_db.h"
#include "convert/tile_source.h"
#include "platform/binary_file.h"
#include "platform/fs.h"

namespace convert {

namespace {

using platform::Error;
using platform::ErrorCode;

// The zoom that the backwards count starts from.
constexpr int kBigPlanetTop = 17;
constexpr const char* kOrder = " ORDER BY x, y";
// As for MBTiles: real rows take a few dozen steps each and at least a few bytes of the
// file; beyond this many steps a query makes rows the file does not hold.
constexpr std::int64_t kBaseWork = 20000000;
constexpr std::int64_t kWorkPerByte = 16;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

class TileStoreSource : public TileSource {
public:
    explicit TileStoreSource(std::string path) : path_(std::move(path)) {}

    bool Open(Error& error) {
        // Looked at first without waiting: a pipe under a store's name would hold SQLite's
        // open for ever.
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
        bool hasTiles = false, hasInfo = false;
        if (!db_.Open(path_, path_, Database::Mode::Read, error) || !db_.HasTable("tiles", hasTiles, error) ||
            !db_.HasTable("info", hasInfo, error))
            return false;
        Statement columns;
        Error absent;
        if (!hasTiles || !db_.Prepare("SELECT x, y, z, image FROM tiles LIMIT 0", columns, absent))
            return Fail(error, "it has no tiles table of x, y, z and image");
        if (hasInfo && !ReadInfo(error)) return false;
        // Rows of one place and zoom in more than one layer would each become a tile.
        Statement layers;
        bool row = false;
        if (db_.Prepare("SELECT s FROM tiles LIMIT 0", layers, absent)) {
            if (!db_.Prepare("SELECT count(*) FROM (SELECT DISTINCT s FROM tiles LIMIT 2)", layers, error) ||
                !layers.Step(row, error))
                return false;
            if (row && layers.Int(0) > 1) return Fail(error, "its tiles come in more than one layer (column s)");
        }
        Statement type;
        if (!db_.Prepare("SELECT type FROM sqlite_master WHERE name = 'tiles'", type, error) || !type.Step(row, error))
            return false;
        isTable_ = row && type.Text(0) == "table";
        return true;
    }

    void WatchStop(std::function<bool()> stopAsked) override { db_.WatchStop(std::move(stopAsked)); }

    bool Zooms(std::vector<int>& zooms, Error& error) override {
        db_.LimitWork(work_);
        Statement query;
        if (!db_.Prepare("SELECT DISTINCT z FROM tiles", query, error)) return false;
        zooms.clear();
        for (bool row = true;;) {
            if (!query.Step(row, error)) return false;
            if (!row) break;
            const std::int64_t zoom = ZoomOf(query.Int(0));
            if (query.Type(0) != SQLITE_INTEGER || zoom < 0 || zoom > kMaxWebZoom)
                return Fail(error, "a tile has z " + query.Text(0) + ", not a zoom from 0 to " +
                                       std::to_string(kMaxWebZoom) + Numbering());
            zooms.push_back(int(zoom));
        }
        std::sort(zooms.begin(), zooms.end());
        return true;
    }

    // A store carries no texts of its own; the map is named by its file.
    bool Texts(SourceTexts&, Error&) override { return true; }

    std::string Describe(const TileKey& key) const override {
        return "at x " + std::to_string(key.x) + ", y " + std::to_string(StoredRow(key.zoom, key.y)) + ", z " +
               std::to_string(ZoomOf(key.zoom)) + " (zoom " + std::to_string(key.zoom) + ")";
    }

    bool Survey(int zoom, const SurveyVisitor& visit, Error& error) override {
        // As for MBTiles: a tile's first bytes alone where the table has rowids, the whole
        // image with the one ordered pass where it is a view.
        db_.LimitWork(work_);
        Statement query;
        Error noRowid;
        const std::string where = " FROM tiles WHERE z = ?" + std::string(kOrder);
        const bool byRowid = isTable_ && db_.Prepare("SELECT x, y, length(image), rowid" + where, query, noRowid);
        if (!byRowid && !db_.Prepare("SELECT x, y, image" + where, query, error)) return false;
        BlobReader blobs(db_, "tiles", "image");
        query.BindInt(1, ZoomOf(zoom));
        Bytes first;
        for (std::int64_t rows = 1;; ++rows) {
            bool row = false;
            if (!query.Step(row, error)) return false;
            if (!row) return true;
            TileKey key;
            if (!KeyOf(query, zoom, rows, key, error)) return false;
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
        if (!db_.Prepare(std::string("SELECT x, y, image FROM tiles WHERE z = ?") + kOrder, query, error)) return false;
        query.BindInt(1, ZoomOf(zoom));
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

    // The flags are read one by one, as a store holds those its app wrote and no others.
    // One row is the store's; a flag that is NULL is as good as absent.
    bool ReadInfo(Error& error) {
        const auto flag = [&](const char* column, std::string& value, bool& present) {
            Statement query;
            Error absent;
            bool row = false;
            present = false;
            if (!db_.Prepare(std::string("SELECT substr(CAST(") + column + " AS TEXT), 1, 64), typeof(" + column +
                                 ") FROM info LIMIT 1",
                             query, absent))
                return true;
            if (!query.Step(row, error)) return false;
            present = row && query.Text(1) != "null";
            value = present ? query.Text(0) : "";
            return true;
        };
        std::string numbering, ellipsoid, inverted;
        bool hasNumbering = false, hasEllipsoid = false, hasInverted = false;
        if (!flag("tilenumbering", numbering, hasNumbering) || !flag("ellipsoid", ellipsoid, hasEllipsoid) ||
            !flag("inverted_y", inverted, hasInverted))
            return false;
        if (hasNumbering && Lower(numbering) != "bigplanet") {
            if (!numbering.empty())
                return Fail(error, "its tile numbering \"" + numbering + "\" is none an import knows");
            bigPlanet_ = false;
        }
        if (hasEllipsoid && ellipsoid != "0") {
            if (ellipsoid == "1")
                return Fail(error, "its tiles are in elliptical Mercator, which lies off the web-map grid");
            return Fail(error, "its ellipsoid flag is \"" + ellipsoid + "\", neither 0 nor 1");
        }
        if (hasInverted && inverted != "0") {
            if (inverted != "1") return Fail(error, "its inverted_y flag is \"" + inverted + "\", neither 0 nor 1");
            fromSouth_ = true;
        }
        return true;
    }

    // Zoom and stored z are each other's image either way.
    std::int64_t ZoomOf(std::int64_t z) const { return bigPlanet_ ? kBigPlanetTop - z : z; }
    std::string Numbering() const { return bigPlanet_ ? " (stored as 17 - zoom)" : ""; }
    std::uint32_t StoredRow(int zoom, std::uint32_t y) const { return fromSouth_ ? FlipRow(zoom, y) : y; }

    bool KeyOf(const Statement& query, int zoom, std::int64_t rows, TileKey& key, Error& error) const {
        if (rows > kMaxTilesPerZoom)
            return platform::Fail(
                error, Error(ErrorCode::ConvertSourceLimit)
                           .File(path_)
                           .Detail("zoom " + std::to_string(zoom) + " holds more than " +
                                   std::to_string(kMaxTilesPerZoom) + " tiles, more than a device's maps hold"));
        const std::int64_t side = std::int64_t(1) << zoom;
        const std::int64_t x = query.Int(0), y = query.Int(1);
        if (query.Type(0) != SQLITE_INTEGER || query.Type(1) != SQLITE_INTEGER || x < 0 || x >= side || y < 0 ||
            y >= side)
            return Fail(error, "a tile of zoom " + std::to_string(zoom) + " lies at x " + query.Text(0) + ", y " +
                                   query.Text(1) + ", outside the zoom's grid");
        key = {zoom, static_cast<std::uint32_t>(x), StoredRow(zoom, static_cast<std::uint32_t>(y))};
        return true;
    }

    std::string path_;
    Database db_;
    bool isTable_ = false;
    bool bigPlanet_ = true;  // what a store without the flag means
    bool fromSouth_ = false;
    std::int64_t work_ = 0;
};

}  // namespace

bool IsTileStore(const std::string& path, bool& store, Error& error) {
    std::string extension = platform::ExtensionOf(path);
    std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
    store = extension == "sqlitedb";
    // Looked at without waiting, as the source itself is. A file SQLite cannot open is told
    // so by the reader it is taken for.
    platform::BinaryFile probe;
    std::int64_t size = 0;
    if (!probe.Open(path, platform::BinaryFile::Mode::Read, error) || !probe.Size(size, error)) return false;
    probe.Close();
    Database db;
    Statement query;
    Error ignored;
    db.LimitWork(kBaseWork);
    if (!db.Open(path, path, Database::Mode::Read, ignored)) return true;
    if (db.Prepare("SELECT zoom_level, tile_column, tile_row, tile_data FROM tiles LIMIT 0", query, ignored))
        store = false;
    else if (db.Prepare("SELECT x, y, z, image FROM tiles LIMIT 0", query, ignored))
        store = true;
    return true;
}

std::unique_ptr<TileSource> OpenTileStore(const std::string& path, Error& error) {
    auto source = std::make_unique<TileStoreSource>(path);
    if (!source->Open(error)) return nullptr;
    return source;
}

}  // namespace convert
