// A map made of web-map tiles, their JPEG bytes copied as they are, or neighbours joined
// into larger tiles through their coefficients: each zoom becomes a level, coarsest first,
// each tile a JNX tile at its exact bounds. The source is gone through twice, to plan and
// then to copy, and the map appears only once it reads back as planned.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "convert/fill_colour.h"
#include "convert/raster_options.h"
#include "convert/volume_cut.h"
#include "jnx/device_limits.h"
#include "jnx/records.h"
#include "platform/error.h"

namespace convert {

inline constexpr int kDefaultZoomCount = jnx::device::kMaxLevels;

// How many of a tile source's tiles a side each map tile joins: 256-pixel web-map tiles
// become tiles of 256, 512 or 1024 pixels; tiles of another size become that many times
// their side, as the factor is all that can be promised of them. Auto: the least that keeps
// every level within the tiles a file takes; where even 4 x 4 does not, 4 x 4 cut into
// volumes, as a raster's largest tiles are. Web-map tiles are joined on the web grid (those
// whose x / factor and y / factor agree), other tiles on the grid their bounds make.
enum class TileJoin { Auto = 0, None = 1, TwoByTwo = 2, FourByFour = 4 };

// The join that makes 256-pixel tiles size pixels a side: 256, 512 or 1024; 0: Auto.
std::optional<TileJoin> JoinForTileSize(int size);

struct ImportOptions {
    std::vector<int> zooms;  // ascending; empty: the kDefaultZoomCount finest the source holds
    int version = 4;
    std::int32_t productId = 0;
    std::int32_t drawOrder = jnx::kDefaultDrawOrder;
    std::optional<std::string> group;  // nothing: the source's name
    std::optional<std::string> title;  // nothing: the source's description, else its name
    // Level k + 1's scale where given, instead of the one its zoom gives.
    std::array<std::optional<std::int32_t>, jnx::device::kMaxLevels> scales{};
    // The device family's threshold factor the scales a zoom gives are made for.
    double scaleFactor = 1.0;
    // Beyond these the map is written as volumes OUT_Part01.jnx, OUT_Part02.jnx, ...
    VolumeLimits limits;
    // Volumes of an earlier run at those names are replaced, and those beyond the new set
    // removed; without it any of them refuses the import (OutputExists).
    bool overwrite = false;
    // For a tile source. Joining is lossless: a group whose tiles' tables or sampling
    // differ refuses the import (JpegJoinMismatch), unless reencodeQuality (1 to 100)
    // has it decoded and encoded again, lossy.
    TileJoin join = TileJoin::None;
    int reencodeQuality = 0;
    // Laid where the map has no imagery of its own: a joined tile's missing neighbours,
    // a raster's pixels without data.
    FillColour fill;
    // For a raster, which is warped and encoded rather than copied.
    RasterOptions raster;
};

struct WrittenFile {
    std::string path;
    std::vector<int> zooms;
    std::int64_t tiles = 0;
    std::int64_t length = 0;
};

struct ImportResult {
    std::vector<int> zooms;
    int factor = 1;              // the tiles joined factor x factor
    std::int64_t reencoded = 0;  // joined tiles decoded and encoded again, lossy
    platform::Error notJoined;   // why Auto's join was refused, the tiles copied as they are
    std::int64_t tiles = 0;    // of the source, each counted once however many volumes hold it
    std::int64_t leftOut = 0;  // coarser tiles outside every volume
    bool volumes = false;
    std::vector<WrittenFile> files;
};

// Now and then during a long run: which pass ("reading", "writing"), how many tiles it has
// gone through, and of how many (0 while not yet known). Answering false stops the run: it
// fails with ErrorCode::Cancelled and leaves no file behind. It is asked once more, with
// done == total, just before anything is published, so a stop asked for late still holds.
using ImportProgress = std::function<bool(const char* pass, std::int64_t done, std::int64_t total)>;

inline bool GoesOn(const ImportProgress& progress, const char* pass, std::int64_t done, std::int64_t total) {
    return !progress || progress(pass, done, total);
}

// What an import would make of a tile source, from its first pass alone: the join chosen
// and each level's tiles before and after it.
struct ImportPreview {
    int factor = 1;
    int tileWidth = 0, tileHeight = 0;  // of a whole joined group, as the first tile gives them
    std::vector<int> zooms;
    std::vector<std::int64_t> sourceTiles, tiles;  // per level, coarsest first
    std::vector<std::int32_t> scales;              // per level, as the map will hold them
    std::vector<double> metresPerPixel;            // per level, on the ground; 0: unknown
    std::size_t files = 1;                         // more: volumes
};

// The name of volume number (from 1) of a map written as volumes.
std::string VolumePath(const std::string& outPath, std::size_t number);
// The volumes beside outPath that a run has left there, whatever their number, by name.
std::vector<std::string> ExistingVolumes(const std::string& outPath);

// outPath is the user's name for the map and may replace a file there; it must not be the
// source. A set of volumes is published under one lock on their folder, as a whole, so two
// imports to one name never leave a mix of their parts.
bool ImportTiles(const std::string& sourcePath, const std::string& outPath, const ImportOptions& options,
                 ImportResult& result, platform::Error& error, const ImportProgress& progress = {});

// For a tile source only; a raster's levels are planned by PlanRaster.
bool PreviewImport(const std::string& sourcePath, const ImportOptions& options, ImportPreview& preview,
                   platform::Error& error, const ImportProgress& progress = {});

}  // namespace convert
