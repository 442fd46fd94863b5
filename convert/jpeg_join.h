// Lossless work on JPEG tiles through their DCT coefficients, never their
// pixels: joining neighbouring tiles into one larger image, and writing a
// progressive image as baseline. Decoded, the result shows the very pixels its
// sources showed. Tiles are taken as a map stores them, with or without their
// FF D8, with or without their FF D9; what comes out is a complete baseline
// JPEG.
//
// Every image is hostile: whatever the bytes, the answer is an error value, and
// the memory one image may take is bounded.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "convert/fill_colour.h"
#include "platform/error.h"

namespace convert {

// One tile of a group; no data: no tile there.
struct JpegPiece {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::int64_t number = 0;  // how an error names the tile

    bool Present() const { return data != nullptr; }
};

// pieces: rows × cols of them, row by row from the north-west, at least one
// present. All must share their size, components, sampling and quantisation
// tables, and their size must be whole MCUs in each direction that joins more
// than one; else JpegJoinMismatch (naming the two tiles that differ) or
// JpegCannotJoin. A piece libjpeg cannot read gives JpegUnreadable. A missing
// piece becomes blocks of the fill colour. Tiles coded alike are spliced (see
// jpeg_splice.h), keeping their Huffman tables; others are joined as below.
bool JoinJpegTiles(const std::vector<JpegPiece>& pieces, int cols, int rows, FillColour fill,
                   std::vector<std::uint8_t>& out, platform::Error& error);

// The same through libjpeg, coefficient by coefficient, with optimised Huffman
// tables.
bool JoinJpegTilesWithLibjpeg(const std::vector<JpegPiece>& pieces, int cols, int rows, FillColour fill,
                              std::vector<std::uint8_t>& out, platform::Error& error);

// The same group for tiles that cannot be joined losslessly (their tables or
// sampling differ): decoded to pixels and encoded again at quality (1 to 100).
// Lossy, so only ever done when the user asks for it. The pieces must share
// their pixel size.
bool ReencodeJpegTiles(const std::vector<JpegPiece>& pieces, int cols, int rows, FillColour fill, int quality,
                       std::vector<std::uint8_t>& out, platform::Error& error);

// The image written again as baseline, its coefficients as they were.
bool RewriteAsBaseline(const JpegPiece& piece, std::vector<std::uint8_t>& out, platform::Error& error);

}  // namespace convert
