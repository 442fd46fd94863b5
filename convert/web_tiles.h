// The web-map tile grid (square Web-Mercator tiles, 2^z a side at zoom z, counted from the
// north-west corner) and how its tiles lie in JNX coordinates. Import and export meet
// here, so that a tile written by one is recognised by the other whatever the rounding.
#pragma once
#include <array>
#include <cstdint>
#include <optional>

namespace convert {

// Finer zooms put tile edges less than 256 JNX units apart, where rounding could make two
// tiles' edges meet only approximately.
inline constexpr int kMaxWebZoom = 24;

struct TileKey {
    int zoom = 0;
    std::uint32_t x = 0;
    std::uint32_t y = 0;  // from the north, as web-map folders count rows

    friend bool operator==(const TileKey&, const TileKey&) = default;
};

// Row numbers counted from the south, as MBTiles stores them, and back.
inline std::uint32_t FlipRow(int zoom, std::uint32_t row) { return (std::uint32_t(1) << zoom) - 1 - row; }

// Degrees to JNX units (2^31 to 180 degrees), rounded; 180 degrees east, one unit beyond
// what the field holds, is kept at the field's end.
std::int32_t JnxUnits(double degrees);
double Degrees(std::int32_t units);

// North, east, south, west: the order of a JNX tile's bounds.
using JnxBounds = std::array<std::int32_t, 4>;
JnxBounds BoundsOf(const TileKey& tile);

// The web-map tile whose edges lie within a few units of these bounds, if there is one.
std::optional<TileKey> WebTileAt(const JnxBounds& bounds);

// A level's native scale (settings/scale_model.h, factor 1) for tiles of zoom z on a map
// centred at latitude centreDegrees: a zoom-z tile first shows at about its own pixel size.
std::int32_t ScaleForZoom(int zoom, double centreDegrees);
// The same for tiles of any resolution: the zoom whose 256-pixel tiles show so many
// degrees of longitude per pixel.
double ZoomForResolution(double degreesPerPixel);
std::int32_t ScaleForResolution(double degreesPerPixel, double centreDegrees);

}  // namespace convert
