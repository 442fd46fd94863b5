// The SQLite tile stores of mobile map apps read as a tile source: a tiles table of x, y, z,
// s and image, and an info table of flags that tell how the numbers are meant. Most stores
// count zooms backwards from 17, as the first app of the kind did; a store says otherwise
// in info.tilenumbering, and counts rows from the south where info.inverted_y is 1. A store
// of elliptical-Mercator tiles cannot lie on the web-map grid and is refused, as is any
// flag this reader does not know, rather than guessed at. The file is read as an MBTiles
// file is: only read, and every query bounded in work by the file's size.
#include <sqlite3.h>

#include <algorithm>
#include <cctype>

#include "convert/sqlite_tile_source.h"
#include "platform/binary_file.h"
#include "platform/fs.h"

namespace convert {

namespace {

using platform::Error;
using platform::ErrorCode;

// The zoom that the backwards count starts from.
constexpr int kBigPlanetTop = 17;
// What a file's mere look at its tables may take.
constexpr std::int64_t kBaseWork = 20000000;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

class TileStoreSource : public SqliteTileSource {
public:
    explicit TileStoreSource(std::string path)
        : SqliteTileSource(std::move(path), {"x", "y", "z", "image", "x", "y"}) {}

    bool Open(Error& error) {
        bool hasTiles = false, hasInfo = false;
        if (!OpenFile(error) || !db_.HasTable("tiles", hasTiles, error) || !db_.HasTable("info", hasInfo, error))
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
        return FindTableKind(error);
    }

    bool Zooms(std::vector<int>& zooms, Error& error) override {
        Renew();
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

protected:
    std::int64_t StoredZoom(int zoom) const override { return ZoomOf(zoom); }
    std::uint32_t RowFromNorth(int zoom, std::uint32_t stored) const override { return StoredRow(zoom, stored); }

private:
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

    bool bigPlanet_ = true;  // what a store without the flag means
    bool fromSouth_ = false;
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
