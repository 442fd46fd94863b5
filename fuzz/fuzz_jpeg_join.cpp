// Hostile tiles for the lossless joiner: the input is cut into two images
// (where its first byte says) that are joined side by side, one above the
// other, and with a hole, re-encoded, and each rewritten as baseline. Any bytes give an
// error value or an image; what the joiner writes must read back through it, and what
// it splices must hold the coefficients libjpeg reads: written again, it is the libjpeg
// path's image byte for byte.
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#include "convert/jpeg_join.h"
#include "convert/jpeg_splice.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::size_t cut = 1 + (size - 1) * data[0] / 256;
    const convert::JpegPiece first{data + 1, cut - 1, 1};
    const convert::JpegPiece second{data + cut, size - cut, 2};
    std::vector<std::uint8_t> out;
    platform::Error error;
    for (const auto& [cols, rows] : {std::pair{2, 1}, std::pair{1, 2}}) {
        if (convert::JoinJpegTiles({first, second}, cols, rows, {}, out, error) &&
            !convert::RewriteAsBaseline({out.data(), out.size(), 3}, out, error))
            std::abort();
    }
    if (convert::JoinJpegTiles({first, {}, {}, second}, 2, 2, {0, 128, 255}, out, error) &&
        !convert::RewriteAsBaseline({out.data(), out.size(), 3}, out, error))
        std::abort();
    std::vector<std::uint8_t> viaLibjpeg, rewritten;
    using Pieces = std::vector<convert::JpegPiece>;
    const std::pair<Pieces, int> groups[] = {{{first, second}, 2}, {{first, {}, {}, second}, 2}, {{second, first}, 1}};
    for (const auto& [pieces, cols] : groups) {
        const int rows = int(pieces.size()) / cols;
        if (convert::SpliceJpegTiles(pieces, cols, rows, {0, 128, 255}, out) &&
            (!convert::JoinJpegTilesWithLibjpeg(pieces, cols, rows, {0, 128, 255}, viaLibjpeg, error) ||
             !convert::RewriteAsBaseline({out.data(), out.size(), 3}, rewritten, error) || rewritten != viaLibjpeg))
            std::abort();
    }
    // Tiles of other tables, decoded and encoded again.
    if (convert::ReencodeJpegTiles({first, {}, {}, second}, 2, 2, {}, 50, out, error) &&
        !convert::RewriteAsBaseline({out.data(), out.size(), 3}, out, error))
        std::abort();
    for (const auto& piece : {first, second}) {
        if (convert::RewriteAsBaseline(piece, out, error) &&
            !convert::RewriteAsBaseline({out.data(), out.size(), 3}, out, error))
            std::abort();
    }
    return 0;
}
