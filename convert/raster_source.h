// A georeferenced raster of any format GDAL reads (GeoTIFF, VRT, JPEG 2000, a picture with
// a world file...) as the tiles of an import: warped to latitude and longitude, made into
// levels each half the resolution of the next, and encoded as JPEG.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "convert/import_jnx.h"
#include "convert/tile_source.h"

namespace convert {

// Whether an import reads path as such a raster: a regular file that is no SQLite database
// nor KMZ/KML, with a raster's extension or in a raster format GDAL recognises.
bool IsRasterFile(const std::string& path);

// The raster's levels are named by the web-map zoom nearest their resolution; the finest is
// the source's own. options.raster says how the tiles are made; options.zooms, where given,
// may name any zoom up to the finest.
// One level a raster import makes, laid out before a tile is warped.
struct RasterLevel {
    int zoom = 0;  // the web-map zoom nearest its resolution, which names it
    int width = 0, height = 0;
    int columns = 0, rows = 0;   // of tiles; those wholly without data are left out
    double degreesPerPixel = 0;  // of longitude
    double metresPerPixel = 0;   // on the ground, at the map's middle latitude
    std::int32_t scale = 0;      // under options.scaleFactor, or as options.scales gives it
    int overview = -1;           // the source's overview it is read from; -1: the raster itself

    std::int64_t Tiles() const { return std::int64_t(columns) * rows; }
};

struct RasterPlan {
    int tileSize = 0;
    std::vector<RasterLevel> levels;  // coarsest first, as the map holds them
    bool volumes = false;             // a level holds more tiles than one file takes
};

// The levels the import of path under options makes, as it makes them; the source is
// only opened, not read.
bool PlanRaster(const std::string& path, const ImportOptions& options, RasterPlan& plan, platform::Error& error);

std::unique_ptr<TileSource> OpenRaster(const std::string& path, const ImportOptions& options, platform::Error& error);

}  // namespace convert
