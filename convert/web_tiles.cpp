#include "convert/web_tiles.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "settings/scale_model.h"

namespace convert {

namespace {

constexpr double kUnitsPerDegree = 2147483648.0 / 180.0;
// Edges of tiles that this program wrote come back exact; a little slack takes in other
// producers' rounding, far below the 256 units of the finest tile accepted.
constexpr std::int64_t kEdgeSlack = 4;

double Longitude(std::uint32_t x, int zoom) { return std::ldexp(double(x), -zoom) * 360.0 - 180.0; }

double Latitude(std::uint32_t y, int zoom) {
    const double n = M_PI * (1.0 - 2.0 * std::ldexp(double(y), -zoom));
    return std::atan(std::sinh(n)) * 180.0 / M_PI;
}

}  // namespace

std::int32_t JnxUnits(double degrees) {
    const double units = std::round(degrees * kUnitsPerDegree);
    if (units >= double(std::numeric_limits<std::int32_t>::max())) return std::numeric_limits<std::int32_t>::max();
    if (units <= double(std::numeric_limits<std::int32_t>::min())) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(units);
}

double Degrees(std::int32_t units) { return double(units) / kUnitsPerDegree; }

JnxBounds BoundsOf(const TileKey& tile) {
    return {JnxUnits(Latitude(tile.y, tile.zoom)), JnxUnits(Longitude(tile.x + 1, tile.zoom)),
            JnxUnits(Latitude(tile.y + 1, tile.zoom)), JnxUnits(Longitude(tile.x, tile.zoom))};
}

std::optional<TileKey> WebTileAt(const JnxBounds& bounds) {
    const std::int64_t width = std::int64_t(bounds[1]) - bounds[3];
    if (width <= 0 || bounds[0] <= bounds[2]) return std::nullopt;
    const int zoom = static_cast<int>(std::lround(std::log2(4294967296.0 / double(width))));
    if (zoom < 0 || zoom > kMaxWebZoom) return std::nullopt;
    const double side = std::ldexp(1.0, zoom);
    const double x = std::round((Degrees(bounds[3]) + 180.0) / 360.0 * side);
    const double north = Degrees(bounds[0]) * M_PI / 180.0;
    const double y = std::round((1.0 - std::asinh(std::tan(north)) / M_PI) / 2.0 * side);
    if (!(x >= 0 && x < side && y >= 0 && y < side)) return std::nullopt;
    const TileKey tile{zoom, static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)};
    const JnxBounds exact = BoundsOf(tile);
    for (std::size_t i = 0; i < exact.size(); ++i) {
        if (std::llabs(std::int64_t(exact[i]) - bounds[i]) > kEdgeSlack) return std::nullopt;
    }
    return tile;
}

std::int32_t ScaleForZoom(int zoom, double centreDegrees) {
    return ScaleForResolution(360.0 / 256.0 / std::ldexp(1.0, zoom), centreDegrees);
}

}  // namespace convert

namespace convert {

double ZoomForResolution(double degreesPerPixel) { return std::log2(360.0 / (256.0 * degreesPerPixel)); }

std::int32_t ScaleForResolution(double degreesPerPixel, double centreDegrees) {
    return settings::NativeScale(settings::GroundMetresPerPixel(degreesPerPixel, centreDegrees));
}

}  // namespace convert
