// Where imported web-map tiles come from: an MBTiles file, a mobile app's tile store or a
// Z/X/Y folder. A source is gone through twice, once to plan the map from the tiles' sizes
// and frame headers and once to copy their bytes, so that no more than one tile is ever
// held; both passes give a zoom's tiles in the same order.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "convert/tile_image.h"
#include "convert/web_tiles.h"
#include "jnx/device_limits.h"
#include "platform/error.h"

namespace convert {

// What the source says of itself, for the map's texts.
struct SourceTexts {
    std::string name;
    std::string description;
    std::string attribution;
};

class TileSource {
public:
    virtual ~TileSource() = default;

    // The zooms that hold tiles, ascending.
    virtual bool Zooms(std::vector<int>& zooms, platform::Error& error) = 0;
    virtual bool Texts(SourceTexts& texts, platform::Error& error) = 0;
    // A tile as the user finds it in the source, for messages: "zoom 3, column 2, row 5".
    virtual std::string Describe(const TileKey& key) const = 0;

    // size is 0 for a tile without data; head holds its first bytes (up to kHeadRead).
    using SurveyVisitor = std::function<bool(const TileKey& key, std::int64_t size, const Bytes& head,
                                             const ReadImageBytes& more, platform::Error& error)>;
    virtual bool Survey(int zoom, const SurveyVisitor& visit, platform::Error& error) = 0;

    // Where a tile lies on the map; a web-map tile lies at its exact edges.
    virtual JnxBounds Bounds(const TileKey& key) const { return BoundsOf(key); }
    // The scale of the level made of zoom's tiles, on a map centred at centreDegrees, and
    // the zoom the map names it by.
    virtual std::int32_t Scale(int zoom, double centreDegrees) const { return ScaleForZoom(zoom, centreDegrees); }
    virtual int ShownZoom(int zoom) const { return zoom; }
    // Volumes of web-map tiles follow the grid's rows and parents; others go by where tiles lie.
    virtual bool OnWebGrid() const { return true; }

    using CopyVisitor = std::function<bool(const TileKey& key, const std::uint8_t* data, std::size_t size,
                                           platform::Error& error)>;
    virtual bool Copy(int zoom, const CopyVisitor& visit, platform::Error& error) = 0;

    // Asked now and then while the source works long between two tiles; true stops the
    // read with Cancelled.
    virtual void WatchStop(std::function<bool()> /*stopAsked*/) {}
};

// Where the finest zoom has more tiles than the device's maps can hold, the import could
// never be written; a source is not read past that.
inline constexpr std::int64_t kMaxTilesPerZoom =
    std::int64_t(jnx::device::kMaxFiles) * jnx::device::kMaxTilesPerLevel;

// A folder is read as Z/X/Y tiles, a .kmz or .kml file as ground overlays, an SQLite file
// whose tiles table has x, y, z and image (or a .sqlitedb file) as a mobile app's tile
// store, any other file as MBTiles.
bool OpenTileSource(const std::string& path, std::unique_ptr<TileSource>& source, platform::Error& error);

std::unique_ptr<TileSource> OpenMbtiles(const std::string& path, platform::Error& error);
std::unique_ptr<TileSource> OpenTileFolder(const std::string& path, platform::Error& error);
std::unique_ptr<TileSource> OpenGroundOverlays(const std::string& path, platform::Error& error);
std::unique_ptr<TileSource> OpenTileStore(const std::string& path, platform::Error& error);
// Whether an SQLite file is a tile store rather than MBTiles, by its tables.
bool IsTileStore(const std::string& path, bool& store, platform::Error& error);

}  // namespace convert
