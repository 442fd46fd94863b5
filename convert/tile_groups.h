// A level's tiles in groups of neighbours, to be joined into larger images: the
// grid is found from the tiles' bounds (columns from their common width, rows from
// their distinct north edges, as a web map's rows differ in height), and each group
// of factor x factor grid cells is cut to the box of the tiles it holds, so that a
// group at the map's edge never reaches past it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "jnx/document.h"
#include "platform/error.h"

namespace convert {

inline constexpr std::int64_t kNoTile = -1;

struct TileGroup {
    // Indices into doc.Tiles, rows x cols of them, row by row from the north-west;
    // kNoTile where a neighbour is missing.
    std::vector<std::int64_t> pieces;
    int cols = 1, rows = 1;
    jnx::JnxTile entry;  // the union of the parts' bounds, and the joined size in TileAux
};

// Why a level's tiles cannot be grouped (JpegCannotJoin, the level 1-based).
platform::Error NotOnGrid(std::size_t level, const std::string& why);

// level: 0-based. Fails, saying why, when the tiles differ in size, do not lie on one
// grid, share a cell, or do not meet edge to edge within a group.
bool GroupTiles(const jnx::JnxDocument& doc, std::size_t level, int factor, std::vector<TileGroup>& groups,
                platform::Error& why);

}  // namespace convert
