// Pictures encoded and decoded through libjpeg for the tests of the lossless
// JPEG work: made in code with a chosen sampling, quality and coding, and
// decoded so that pixels can be compared one for one.
#pragma once
// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace fixture {

struct Look {
    int components = 3;  // 1: grey
    int h = 2, v = 2;    // the first component's sampling
    int quality = 75;
    bool progressive = false;
    bool optimise = false;  // Huffman tables of the picture's own
};

inline std::vector<std::uint8_t> Encode(int width, int height, int seed, const Look& look) {
    std::vector<std::uint8_t> samples(std::size_t(width) * std::size_t(height) * std::size_t(look.components));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < look.components; ++c)
                samples[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * std::size_t(look.components) +
                        std::size_t(c)] = std::uint8_t(x * (c + 1) + y * 3 + seed * 50 + ((x * y + seed) % 7) * 9);
    jpeg_compress_struct encoder{};
    jpeg_error_mgr errors{};
    encoder.err = jpeg_std_error(&errors);
    jpeg_create_compress(&encoder);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&encoder, &buffer, &size);
    encoder.image_width = JDIMENSION(width), encoder.image_height = JDIMENSION(height);
    encoder.input_components = look.components;
    encoder.in_color_space = look.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&encoder);
    jpeg_set_quality(&encoder, look.quality, TRUE);
    encoder.comp_info[0].h_samp_factor = look.h, encoder.comp_info[0].v_samp_factor = look.v;
    encoder.optimize_coding = look.optimise;
    if (look.progressive) jpeg_simple_progression(&encoder);
    jpeg_start_compress(&encoder, TRUE);
    while (encoder.next_scanline < encoder.image_height) {
        JSAMPROW line =
            &samples[std::size_t(encoder.next_scanline) * std::size_t(width) * std::size_t(look.components)];
        jpeg_write_scanlines(&encoder, &line, 1);
    }
    jpeg_finish_compress(&encoder);
    std::vector<std::uint8_t> jpeg(buffer, buffer + size);
    jpeg_destroy_compress(&encoder);
    std::free(buffer);
    return jpeg;
}

struct Picture {
    int width = 0, height = 0, components = 0;
    std::vector<std::uint8_t> samples;
    std::uint8_t At(int x, int y, int c) const {
        return samples[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * std::size_t(components) +
                       std::size_t(c)];
    }
};

// Without fancy upsampling each pixel depends on its own MCU alone, so a tile
// decodes the same inside a joined image as on its own.
inline Picture Decode(const std::vector<std::uint8_t>& jpeg) {
    jpeg_decompress_struct decoder{};
    jpeg_error_mgr errors{};
    decoder.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&decoder);
    jpeg_mem_src(&decoder, jpeg.data(), jpeg.size());
    jpeg_read_header(&decoder, TRUE);
    decoder.do_fancy_upsampling = FALSE, decoder.dct_method = JDCT_ISLOW;
    jpeg_start_decompress(&decoder);
    Picture picture{int(decoder.output_width), int(decoder.output_height), decoder.output_components, {}};
    picture.samples.resize(std::size_t(picture.width) * std::size_t(picture.height) * std::size_t(picture.components));
    while (decoder.output_scanline < decoder.output_height) {
        JSAMPROW line = &picture.samples[std::size_t(decoder.output_scanline) * std::size_t(picture.width) *
                                         std::size_t(picture.components)];
        jpeg_read_scanlines(&decoder, &line, 1);
    }
    jpeg_finish_decompress(&decoder);
    jpeg_destroy_decompress(&decoder);
    return picture;
}

// Counts the pixels of part that differ from joined's at (x0, y0).
inline int Differences(const Picture& joined, const Picture& part, int x0, int y0) {
    int differ = 0;
    for (int y = 0; y < part.height; ++y)
        for (int x = 0; x < part.width; ++x)
            for (int c = 0; c < part.components; ++c) differ += joined.At(x0 + x, y0 + y, c) != part.At(x, y, c);
    return differ;
}

}  // namespace fixture
