// A map too large for one file on the device becomes volumes: the finest level's tiles are
// cut, row by row from the north, into blocks a file can hold, and each block takes along
// the coarser tiles that lie over it. A coarser tile over several blocks goes with each; one
// over no finest tile belongs to no volume.
#pragma once
#include <cstdint>
#include <vector>

#include "convert/web_tiles.h"
#include "jnx/device_limits.h"

namespace convert {

struct VolumeLimits {
    std::int32_t tilesPerLevel = jnx::device::kMaxTilesPerLevel;
    std::int64_t fileLength = jnx::device::kMaxFileLength;
};

struct CutTile {
    TileKey key;
    JnxBounds bounds{};
    std::int64_t bytes = 0;  // what the tile adds to a file: its table entry and its data
};

// How the tiles are laid out, which decides what a row is and what lies over what.
enum class TileLayout {
    // Web-map tiles: a row is one grid row, and a finest tile lies under exactly one tile
    // of each coarser zoom, its parent, so no coarser level of a volume outgrows its finest.
    WebGrid,
    // Tiles anywhere: a row is the finest tiles whose north edges agree within a tenth of a
    // typical tile's height, and a coarser tile lies over every finest tile it overlaps.
    Free,
};

// tiles: level by level, coarsest first, levelSizes[k] tiles each; fixedBytes: what a
// volume holds besides its tiles. Returns each volume's tiles as ascending indices into
// tiles; every tile of the last level lies in exactly one volume, and no level of a volume
// holds more than limits.tilesPerLevel tiles unless one finest tile alone brings them. A
// block is a run of whole rows, unless one row alone is too much for a file: then that row
// is cut into runs of neighbouring tiles, each a volume of its own.
std::vector<std::vector<std::uint32_t>> CutIntoVolumes(const std::vector<CutTile>& tiles,
                                                       const std::vector<std::int32_t>& levelSizes,
                                                       std::int64_t fixedBytes, const VolumeLimits& limits,
                                                       TileLayout layout = TileLayout::WebGrid);

}  // namespace convert
