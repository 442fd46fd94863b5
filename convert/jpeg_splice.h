// Joining JPEG tiles that were coded alike (one baseline scan, the same frame,
// quantisation and Huffman tables, whole MCUs, no restart markers) by splicing
// their coded data: each tile's scan is walked only as far as its Huffman codes
// go, to find where its MCU rows begin and what their DC values are, and the
// joined scan is laid out row by row from those bits, only the first DC
// difference of each run coded again. Maps cut from one source are coded alike,
// and this is many times quicker than decoding every coefficient through
// libjpeg and coding it again.
//
// Anything else, or anything unexpected in the bytes, is declined, and the
// caller joins the tiles through libjpeg, which gives the errors.
#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "convert/fill_colour.h"
#include "convert/jpeg_join.h"

namespace convert {

// JoinJpegTiles' contract, when the pieces allow it; false (out undefined)
// when they do not.
bool SpliceJpegTiles(const std::vector<JpegPiece>& pieces, int cols, int rows, FillColour fill,
                     std::vector<std::uint8_t>& out);

// The fill colour as the samples of a YCbCr image; a grey image takes the first.
std::array<int, 3> FillYCbCr(FillColour fill);

// The quantised DC coefficient that decodes to a uniform block of sample value
// v: the DC term is eight times the mean level-shifted sample.
int UniformDc(int v, int quant);

}  // namespace convert
