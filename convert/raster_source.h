// A georeferenced raster of any format GDAL reads (GeoTIFF, VRT, JPEG 2000, a picture with
// a world file...) as the tiles of an import: warped to latitude and longitude, made into
// levels each half the resolution of the next, and encoded as JPEG.
#pragma once
#include <memory>
#include <string>

#include "convert/import_jnx.h"
#include "convert/tile_source.h"

namespace convert {

// Whether an import reads path as such a raster: a regular file that is no SQLite database
// nor KMZ/KML, with a raster's extension or in a raster format GDAL recognises.
bool IsRasterFile(const std::string& path);

// The raster's levels are named by the web-map zoom nearest their resolution; the finest is
// the source's own. options.raster says how the tiles are made; options.zooms, where given,
// may name any zoom up to the finest.
std::unique_ptr<TileSource> OpenRaster(const std::string& path, const ImportOptions& options, platform::Error& error);

}  // namespace convert
