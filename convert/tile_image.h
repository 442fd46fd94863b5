// What a web-map tile's bytes are, told from its first bytes without decoding: the format,
// and for a JPEG the width and height of its frame header, which a JNX tile carries.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/error.h"

namespace convert {

using Bytes = std::vector<std::uint8_t>;

enum class ImageFormat { Jpeg, BrokenJpeg, Png, WebP, Gif, Tiff, Unknown };

// "PNG", "WebP", ...: how a refusal names the format.
const char* FormatName(ImageFormat format);

// How many of a tile's first bytes to read for its inspection; most frame headers lie
// within them, and the few beyond cost one more read.
inline constexpr std::size_t kHeadRead = 4096;

struct TileImage {
    ImageFormat format = ImageFormat::Unknown;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
};

// Reads n bytes of the image from offset on into out (fewer where the image ends first).
using ReadImageBytes = std::function<bool(std::int64_t offset, std::size_t n, Bytes& out, platform::Error& error)>;

// Some producers leave out a JPEG's closing FF D9. Maps are read without it; a
// file written for other viewers gets it back, as some of them refuse the image
// otherwise.
inline constexpr std::uint8_t kEndOfImage[2] = {0xFF, 0xD9};

inline bool EndsImage(const std::uint8_t* data, std::size_t size) {
    return size >= 2 && data[size - 2] == kEndOfImage[0] && data[size - 1] == kEndOfImage[1];
}

// head: the image's first bytes (up to kHeadRead of them), size: its whole length; more
// reads on when the frame header lies beyond head. False only when a read fails.
bool InspectTile(const Bytes& head, std::int64_t size, const ReadImageBytes& more, TileImage& image,
                 platform::Error& error);

}  // namespace convert
