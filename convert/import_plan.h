// The first pass of an import: every tile of the chosen zooms looked at (its size, its
// format, the width and height of its frame header) and the map laid out from them,
// before a byte is written.
#pragma once
#include <cstdint>
#include <vector>

#include "convert/import_jnx.h"
#include "convert/tile_source.h"
#include "jnx/front_part.h"

namespace convert {

// What the copy pass must find again, tile by tile in the source's order.
struct PlannedTile {
    TileKey key;
    std::int32_t size = 0;  // of the whole image, FF D8 included
    std::int32_t head = 0;  // the four bytes after FF D8, as a JNX check value reads them
};

// One file to write: the map itself, or one of its volumes.
struct PlannedFile {
    jnx::FrontPart front;              // tiles placed back to back
    std::vector<std::uint32_t> tiles;  // indices into ImportPlan::tiles, ascending
};

struct ImportPlan {
    std::vector<int> zooms;
    std::vector<std::int32_t> tilesPerZoom;
    std::vector<PlannedTile> tiles;  // level by level, in the source's order
    bool volumes = false;            // the map is too large for one file
    std::vector<PlannedFile> files;
    std::int64_t leftOut = 0;        // coarser tiles over no finest tile, so in no volume
};

// A native scale of factor 1 made for a family with another threshold factor.
std::int32_t FamilyScale(std::int32_t scale, double factor);

// whole, whose tiles are plan.tiles level by level (plan.tilesPerZoom of them each; the
// keys matter only on the web grid), cut into volumes within limits: plan.files, each
// front part with its tiles placed back to back, and plan.leftOut. Import and fit cut
// alike.
bool CutIntoFiles(jnx::FrontPart& whole, const VolumeLimits& limits, TileLayout layout, ImportPlan& plan,
                  platform::Error& error);

// The first pass: the zooms chosen, every tile of them looked at (plan.zooms, tiles and
// tilesPerZoom) and the whole map described in whole, its tiles in plan.tiles' order.
bool SurveyImport(TileSource& source, const std::string& sourcePath, const ImportOptions& options, ImportPlan& plan,
                  jnx::FrontPart& whole, platform::Error& error, const ImportProgress& progress);

// plan.files: whole as one file, its tiles placed back to back, when it fits within limits;
// else cut into volumes as CutIntoFiles cuts them. whole is taken.
bool LayOutFiles(jnx::FrontPart& whole, const VolumeLimits& limits, TileLayout layout, ImportPlan& plan,
                 platform::Error& error);

}  // namespace convert
