// Judges a map against what the handheld units accept (jnx/device_limits.h) and what
// desktop software reads from it. Never writes; every finding comes back as data for the
// caller to show.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "check/findings.h"
#include "check/jpeg_header.h"
#include "jnx/document.h"
#include "platform/binary_file.h"
#include "platform/error.h"
#include "settings/settings.h"

namespace check {

// The findings the tables alone tell: levels, tile counts, length, draw order, zooms,
// scales, the product ID's copy, bounds and where each tile lies. A quick read (no tile
// tables) gives all but the tiles' findings, cheap enough for a folder scan. zoomRows,
// when given, name the zoom row of a repeated scale; with a device family's threshold
// factor and the tile tables as well, they tell a level whose scale lies two rows or more
// from where its imagery calls for (tiles' pixel sizes from their table, else from file's
// JPEG headers when file is given).
std::vector<Finding> CheckStructure(const jnx::JnxDocument& doc,
                                    const std::vector<settings::ZoomLevelEntry>* zoomRows = nullptr,
                                    std::optional<double> scaleFactor = std::nullopt,
                                    const platform::BinaryFile* file = nullptr);

// The tiles' first bytes, read from file in file order. Quick: whether a tile still
// begins with FF D8, taken from the check values when doc was read in full. Deep: the
// JPEG header walk of every tile as well.
bool CheckTileHeads(const jnx::JnxDocument& doc, const platform::BinaryFile& file, bool deep,
                    std::vector<Finding>& findings, platform::Error& error);

// One tile's JPEG header walked up to its frame: its first bytes, then a window from
// wherever the walk goes on. frame says what was found; false only when reading failed.
bool ReadTileFrame(const platform::BinaryFile& file, const jnx::JnxTile& tile, JpegFrame& frame,
                   platform::Error& error);

struct MapReport {
    std::string path;
    bool read = false;      // false: the map could not be read in full (error says why)
    platform::Error error;
    std::vector<Finding> findings;
    bool Ok() const { return read && !HasErrors(findings); }
};

// Reads the map, then judges it. A file beyond the length limit is reported even when it
// cannot be read.
MapReport CheckMapFile(const std::string& path, bool deep,
                       const std::vector<settings::ZoomLevelEntry>* zoomRows = nullptr,
                       std::optional<double> scaleFactor = std::nullopt);

}  // namespace check
