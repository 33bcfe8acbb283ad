#pragma once
// Makes JPEG data with libjpeg directly, independently of the code under test.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace corvanta::test {

struct EncodeOptions {
    int width = 16;
    int height = 16;
    int components = 3;                 // of the pixels handed in
    J_COLOR_SPACE input = JCS_EXT_BGR;  // layout of the pixels handed in
    J_COLOR_SPACE stored = JCS_YCbCr;   // colour space inside the file
    bool progressive = false;
    int quality = 95;
};

// Encodes top-down pixels, rows unpadded.
inline std::vector<uint8_t> EncodeJpeg(const EncodeOptions& options, const std::vector<uint8_t>& pixels) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&cinfo, &out, &outSize);
    cinfo.image_width = JDIMENSION(options.width);
    cinfo.image_height = JDIMENSION(options.height);
    cinfo.input_components = options.components;
    cinfo.in_color_space = options.input;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, options.stored);
    jpeg_set_quality(&cinfo, options.quality, TRUE);
    if (options.progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&pixels[size_t(cinfo.next_scanline) * options.width * options.components]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> bytes(out, out + outSize);
    free(out);
    return bytes;
}

// A smooth top-down BGR picture that JPEG keeps well: blue grows to the
// right, green downwards, so a mirrored or flipped picture is noticed.
inline std::vector<uint8_t> TestPattern(int width, int height) {
    std::vector<uint8_t> pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) pixels.insert(pixels.end(), {uint8_t(x * 255 / width), uint8_t(y * 255 / height), 128});
    }
    return pixels;
}

inline std::vector<uint8_t> PatternJpeg(int width, int height) {
    return EncodeJpeg({width, height}, TestPattern(width, height));
}

}  // namespace corvanta::test
