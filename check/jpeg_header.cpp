#include "check/jpeg_header.h"

namespace check {
namespace {

using Status = JpegFrame::Status;

JpegFrame More(std::size_t resume, std::size_t needed) {
    JpegFrame frame;
    frame.status = Status::NeedMore;
    frame.resume = resume;
    frame.needed = needed;
    return frame;
}

std::uint16_t Big16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }

// C4 (Huffman tables), C8 (reserved) and CC (arithmetic conditioning) share the range.
bool IsFrameMarker(std::uint8_t m) { return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC; }

}  // namespace

JpegFrame WalkToFrame(const std::uint8_t* window, std::size_t size) {
    std::size_t pos = 0;
    for (;;) {
        const std::size_t start = pos;
        if (pos >= size) return More(start, 2);
        if (window[pos] != 0xFF) return JpegFrame{};
        while (pos < size && window[pos] == 0xFF) ++pos;  // fill bytes
        if (pos >= size) return More(start, pos - start + 2);
        const std::uint8_t marker = window[pos++];
        if (marker == 0x01) continue;  // TEM stands alone
        // Scan data, another start, an end or a restart before any frame: not an image.
        if (marker == 0x00 || (marker >= 0xD0 && marker <= 0xDA)) return JpegFrame{};
        if (pos + 2 > size) return More(start, pos + 2 - start);
        const std::uint16_t length = Big16(window + pos);
        if (length < 2) return JpegFrame{};
        if (IsFrameMarker(marker)) {
            // Length, precision, height, width.
            if (length < 8) return JpegFrame{};
            if (pos + 7 > size) return More(start, pos + 7 - start);
            JpegFrame frame;
            frame.status = Status::Found;
            frame.marker = marker;
            frame.height = Big16(window + pos + 3);
            frame.width = Big16(window + pos + 5);
            return frame;
        }
        pos += length;
    }
}

bool NeedsBaselineDecoder(std::uint8_t frameMarker) { return frameMarker != 0xC0 && frameMarker != 0xC1; }

}  // namespace check
