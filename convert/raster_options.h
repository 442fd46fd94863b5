// How a georeferenced raster becomes tiles: how many levels, how large its tiles, how its
// pixels are resampled and how the tiles are encoded.
#pragma once
#include <optional>
#include <string>

namespace convert {

enum class Resampling { Nearest, Bilinear, Cubic, CubicSpline, Lanczos, Average, Mode };

struct RasterOptions {
    // Levels from the source's own resolution down, each half the resolution of the next.
    int levels = 5;
    // 256, 512 or 1024 pixels a side; 0: the least that keeps each level within the tiles a
    // file holds.
    int tileSize = 0;
    int quality = 85;
    bool fullChroma = false;  // 4:4:4 instead of 4:2:0
    Resampling finest = Resampling::Cubic;
    Resampling coarser = Resampling::Average;
    // The coarser levels at the resolutions of the source's own overviews, read from them,
    // instead of each half the next. Without it, overviews still serve the coarser levels
    // they hold at least the resolution of, as reading them is faster than the full raster.
    bool overviews = false;
};

// "cubic", "average", ...: the names GDAL's tools use.
std::optional<Resampling> ResamplingNamed(const std::string& name);

}  // namespace convert
