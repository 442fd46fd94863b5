// An import's tiles joined into larger ones: how many a side, which go together, and the
// joining itself, through the JPEG coefficients, from the images the copy pass spooled.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "convert/import_plan.h"
#include "convert/tile_groups.h"
#include "platform/binary_file.h"

namespace convert {

// The map of joined tiles: each group of the source's tiles one tile of it.
struct JoinedMap {
    int factor = 1;                 // 1: nothing is joined, and the rest stays empty
    std::vector<TileGroup> groups;  // level by level; pieces index the source's plan.tiles
    ImportPlan plan;                // a tile per group; on the web grid, keyed by the group's cell
    jnx::FrontPart whole;           // the source's map, its tiles the groups'
    std::int64_t reencoded = 0;
};

// The factor join asks for, or the one Auto chooses, and plan's tiles grouped by it.
// Fails, saying why, where the tiles cannot be grouped (JpegCannotJoin); Auto then copies
// them as they are.
bool PlanJoin(const ImportPlan& plan, const jnx::FrontPart& whole, TileJoin join, const VolumeLimits& limits,
              const TileSource& source, JoinedMap& joined, platform::Error& error);

// Whether an error is the joiner's refusal of the tiles, as against a failure to read or
// write them.
bool JoinRefused(const platform::Error& error);

// A tile's image, FF D8 first, in the order the map holds them.
using PutTile =
    std::function<bool(std::size_t tile, const std::uint8_t* data, std::size_t size, platform::Error& error)>;

// Every group joined on every core from the images in spool (source tile i's at at[i],
// plan.tiles[i].size bytes) and put in the groups' order; joined.plan's sizes and heads and
// the groups' entries become those of the joined images. A group that cannot be joined
// losslessly is encoded again at options.reencodeQuality, else refused, naming its tiles.
bool JoinSpooled(const platform::BinaryFile& spool, const std::vector<std::int64_t>& at, const ImportPlan& plan,
                 const TileSource& source, const std::string& sourcePath, const ImportOptions& options,
                 JoinedMap& joined, const PutTile& put, const ImportProgress& progress, platform::Error& error);

}  // namespace convert
