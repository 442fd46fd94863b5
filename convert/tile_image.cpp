#include "convert/tile_image.h"

#include <algorithm>
#include <cstring>

#include "check/jpeg_header.h"

namespace convert {

namespace {

bool StartsWith(const Bytes& head, const char* magic, std::size_t at = 0) {
    const std::size_t n = std::strlen(magic);
    return head.size() >= at + n && std::memcmp(head.data() + at, magic, n) == 0;
}

ImageFormat Sniff(const Bytes& head) {
    if (head.size() >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return ImageFormat::Jpeg;
    if (StartsWith(head, "\x89PNG")) return ImageFormat::Png;
    if (StartsWith(head, "RIFF") && StartsWith(head, "WEBP", 8)) return ImageFormat::WebP;
    if (StartsWith(head, "GIF8")) return ImageFormat::Gif;
    if (StartsWith(head, "II*")) return ImageFormat::Tiff;
    return ImageFormat::Unknown;
}

}  // namespace

const char* FormatName(ImageFormat format) {
    switch (format) {
    case ImageFormat::Jpeg: return "JPEG";
    case ImageFormat::BrokenJpeg: return "JPEG without a readable frame header";
    case ImageFormat::Png: return "PNG";
    case ImageFormat::WebP: return "WebP";
    case ImageFormat::Gif: return "GIF";
    case ImageFormat::Tiff: return "TIFF";
    case ImageFormat::Unknown: break;
    }
    return "of an unknown format";
}

bool InspectTile(const Bytes& head, std::int64_t size, const ReadImageBytes& more, TileImage& image,
                 platform::Error& error) {
    using check::JpegFrame;
    image = TileImage{};
    image.format = Sniff(head);
    if (image.format != ImageFormat::Jpeg) return true;
    image.format = ImageFormat::BrokenJpeg;
    // Offsets count from the image's start; the walk starts after FF D8.
    std::int64_t at = 2;
    Bytes window(head.begin() + 2, head.end());
    for (;;) {
        const JpegFrame frame = check::WalkToFrame(window.data(), window.size());
        if (frame.status == JpegFrame::Status::NotJpeg) return true;
        if (frame.status == JpegFrame::Status::Found) {
            image.format = ImageFormat::Jpeg;
            image.width = frame.width;
            image.height = frame.height;
            return true;
        }
        at += std::int64_t(frame.resume);
        if (at + std::int64_t(frame.needed) > size) return true;  // the image ends before its frame header
        if (!more(at, std::max(kHeadRead, frame.needed), window, error)) return false;
        if (window.size() < frame.needed) return true;
    }
}

}  // namespace convert
