// BatchTable: one typed row per JNX file of the scanned folder, the table the batch grid
// shows and the batch commands walk. Qt-free: the command line uses it too. Which rows
// are checked is the window's business; the commands are handed the rows and a Selection.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "check/findings.h"
#include "jnx/device_limits.h"
#include "platform/error.h"

namespace batch {

// One level of a map as the grid shows it: the zoom row of the settings its scale falls in.
struct MapLevel {
    std::int32_t scale = 0;
    int zoomRow = -1;          // 0-based row of the zoom table; -1 when the table has none
    std::string zoomName;      // that row's name (a row without one shows the last row's)
    bool prioritised = false;  // the scale lies below the row's standard scale
};

struct MapRow {
    std::string path;  // the file as found
    // The name the row gives the file: its own, or one typed in the grid, which a save
    // gives to a file it patches in place.
    std::string fileName;
    std::string subfolder;  // where the file lies below the scanned folder; "" in the folder itself
    // Why the file could not be read; every value below is then empty or zero.
    std::optional<platform::Error> readError;

    std::int32_t version = 0;
    std::int32_t productId = 0;
    std::string groupName;        // UTF-8
    std::int32_t levelCount = 0;  // as the header counts them
    // The first levels, up to the device's limit: the ones that have zoom controls.
    std::vector<MapLevel> levels;
    std::int32_t totalTiles = 0;
    std::optional<std::int32_t> drawOrder;  // version 4 only
    bool needsRegeneration = false;         // only a rewrite can save it
    bool withBug = false;                   // header and map description disagree on the level count
    // The header's north, east, south, west in JNX units (degrees × 2^31 / 180).
    std::optional<std::array<std::int32_t, 4>> bounds;
    // What the device check finds in the file's tables, the tile tables included (no tile
    // image is read for it).
    std::vector<check::Finding> device;

    bool Erroneous() const { return readError.has_value(); }
    // Only regeneration repairs the file; the grid draws it red.
    bool Obsolete() const { return needsRegeneration || withBug; }
};

struct BatchTable {
    std::string folder;      // the folder that was loaded
    bool recursive = false;  // subfolders were included
    std::vector<MapRow> rows;

    bool empty() const { return rows.empty(); }
    std::size_t size() const { return rows.size(); }
};

// The rows a command works on: indices into BatchTable::rows.
using Selection = std::vector<std::size_t>;

Selection AllRows(const BatchTable& table);
// The rows that only a rewrite repairs (the grid's "Obsoletes").
Selection ObsoleteRows(const BatchTable& table);

// The folders of the table that hold more maps than a unit loads, with their counts.
std::vector<std::pair<std::string, std::size_t>> CrowdedFolders(const BatchTable& table);

}  // namespace batch
