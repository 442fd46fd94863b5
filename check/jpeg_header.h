// The walk over a JPEG's markers from its start up to its frame header, without decoding
// anything: enough to tell whether a tile is a JPEG at all, which coding it uses and its
// size, at the cost of its first bytes. The walk goes window by window, so a segment that
// runs past what has been read is skipped, not read, and memory stays small whatever the
// image holds.
#pragma once
#include <cstddef>
#include <cstdint>

namespace check {

struct JpegFrame {
    enum class Status { Found, NotJpeg, NeedMore };
    Status status = Status::NotJpeg;
    // NeedMore: go on from this offset of the window (it may lie beyond the window's end,
    // past a segment not worth reading), with at least `needed` bytes from there at hand.
    std::size_t resume = 0;
    std::size_t needed = 0;
    std::uint8_t marker = 0;  // Found: the frame marker, 0xC0 .. 0xCF
    std::uint16_t width = 0;
    std::uint16_t height = 0;
};

// window holds image bytes that begin at a marker: the first window those that follow
// the image's FF D8 start marker, each further one those from where the last said to
// resume. Whether the image has the bytes asked for is the caller's to tell.
JpegFrame WalkToFrame(const std::uint8_t* window, std::size_t size);

// Progressive, lossless, hierarchical or arithmetic-coded: what the device cannot show.
bool NeedsBaselineDecoder(std::uint8_t frameMarker);

}  // namespace check
