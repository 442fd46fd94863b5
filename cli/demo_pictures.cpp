#include "cli/demo_pictures.h"

// libjpeg's header needs size_t and FILE declared first.
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>

#include <csetjmp>
#include <cstdlib>

namespace cli {
namespace {

// 5 × 7 bitmaps of the digits, one row per byte, the leftmost pixel in bit 4.
constexpr std::uint8_t kDigits[10][7] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
};

bool DigitPixel(int digit, int x, int y) { return (kDigits[digit][y] >> (4 - x)) & 1; }

// An encoder error must not end the program: libjpeg's default handler calls exit().
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf escape;
};

void OnError(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->escape, 1); }

std::vector<std::uint8_t> Pixels(int level, int column, int row, int tilesPerSide, int side) {
    std::vector<std::uint8_t> rgb(std::size_t(side) * std::size_t(side) * 3);
    const int span = side * tilesPerSide;
    const int scale = side / 12;  // the digit's pixel size: 7 rows tall, a bit over half the tile
    const int digitLeft = (side - 5 * scale) / 2, digitTop = (side - 7 * scale) / 2;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const int gx = column * side + x, gy = row * side + y;  // across the whole level
            std::uint8_t* p = &rgb[(std::size_t(y) * std::size_t(side) + std::size_t(x)) * 3];
            p[0] = std::uint8_t(60 + 150 * gx / span);
            p[1] = std::uint8_t(90 + 120 * gy / span);
            p[2] = std::uint8_t(200 - 40 * level);
            if (x % 32 == 0 || y % 32 == 0) p[0] = p[1] = p[2] = std::uint8_t(p[2] / 2);
            const int dx = x - digitLeft, dy = y - digitTop;
            if (dx >= 0 && dy >= 0 && dx < 5 * scale && dy < 7 * scale && DigitPixel(level % 10, dx / scale, dy / scale))
                p[0] = p[1] = p[2] = 255;
        }
    }
    return rgb;
}

}  // namespace

std::vector<std::uint8_t> DemoTilePicture(int level, int column, int row, int tilesPerSide, int side) {
    const std::vector<std::uint8_t> rgb = Pixels(level, column, row, tilesPerSide, side);
    jpeg_compress_struct encoder{};
    ErrorManager errors{};
    encoder.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnError;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(errors.escape)) {
        jpeg_destroy_compress(&encoder);
        std::free(buffer);
        return {};
    }
    jpeg_create_compress(&encoder);
    jpeg_mem_dest(&encoder, &buffer, &size);
    encoder.image_width = JDIMENSION(side);
    encoder.image_height = JDIMENSION(side);
    encoder.input_components = 3;
    encoder.in_color_space = JCS_RGB;
    jpeg_set_defaults(&encoder);  // baseline, Huffman-coded: what the devices decode
    jpeg_set_quality(&encoder, 85, TRUE);
    jpeg_start_compress(&encoder, TRUE);
    while (encoder.next_scanline < encoder.image_height) {
        JSAMPROW line = const_cast<JSAMPROW>(&rgb[std::size_t(encoder.next_scanline) * std::size_t(side) * 3]);
        jpeg_write_scanlines(&encoder, &line, 1);
    }
    jpeg_finish_compress(&encoder);
    std::vector<std::uint8_t> jpeg(buffer, buffer + size);
    jpeg_destroy_compress(&encoder);
    std::free(buffer);
    return jpeg;
}

}  // namespace cli
