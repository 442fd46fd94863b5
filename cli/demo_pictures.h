// Pictures for the demo map's tiles: real baseline JPEGs, encoded here with libjpeg, so
// that the first map a new user opens shows something in every preview.
#pragma once
#include <cstdint>
#include <vector>

namespace cli {

// A square picture of side pixels: a colour gradient that runs on across the tiles of one
// level (column and row of tilesPerSide), a grid, and the level's number drawn large.
// The complete JPEG, FF D8 included; empty if the encoder failed.
std::vector<std::uint8_t> DemoTilePicture(int level, int column, int row, int tilesPerSide, int side);

}  // namespace cli
