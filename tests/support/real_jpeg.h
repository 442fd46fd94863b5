// Real JPEG pictures made by the tests through libjpeg, baseline or progressive, for the
// checks that must meet what an encoder writes and not only hand-built headers. Returned
// as the tiles store them: without the leading FF D8.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <jpeglib.h>

#include <cstdlib>
#include <vector>

namespace fixture {

inline std::vector<std::uint8_t> RealJpeg(int width, int height, bool progressive) {
    std::vector<std::uint8_t> rgb(std::size_t(width) * std::size_t(height) * 3);
    for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = std::uint8_t(i * 7 / 3);
    jpeg_compress_struct encoder{};
    jpeg_error_mgr errors{};
    encoder.err = jpeg_std_error(&errors);
    jpeg_create_compress(&encoder);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&encoder, &buffer, &size);
    encoder.image_width = JDIMENSION(width);
    encoder.image_height = JDIMENSION(height);
    encoder.input_components = 3;
    encoder.in_color_space = JCS_RGB;
    jpeg_set_defaults(&encoder);
    if (progressive) jpeg_simple_progression(&encoder);
    jpeg_start_compress(&encoder, TRUE);
    while (encoder.next_scanline < encoder.image_height) {
        JSAMPROW line = &rgb[std::size_t(encoder.next_scanline) * std::size_t(width) * 3];
        jpeg_write_scanlines(&encoder, &line, 1);
    }
    jpeg_finish_compress(&encoder);
    std::vector<std::uint8_t> stored(buffer + 2, buffer + size);
    jpeg_destroy_compress(&encoder);
    std::free(buffer);
    return stored;
}

}  // namespace fixture
