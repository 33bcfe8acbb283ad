#pragma once
// Makes and reads JPEG data for the codec tests with libjpeg directly,
// independently of the code under test.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace corvanta::test {

struct EncodeOptions {
    int width = 16;
    int height = 16;
    int components = 3;                     // of the pixels handed in
    J_COLOR_SPACE input = JCS_EXT_BGR;      // layout of the pixels handed in
    J_COLOR_SPACE stored = JCS_YCbCr;       // colour space inside the file
    bool progressive = false;
    int quality = 90;
};

// Encodes top-down pixels (`components` bytes each, rows unpadded).
inline std::vector<uint8_t> EncodeJpeg(const EncodeOptions& options, const std::vector<uint8_t>& pixels) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&cinfo, &out, &outSize);
    cinfo.image_width = static_cast<JDIMENSION>(options.width);
    cinfo.image_height = static_cast<JDIMENSION>(options.height);
    cinfo.input_components = options.components;
    cinfo.in_color_space = options.input;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, options.stored);
    jpeg_set_quality(&cinfo, options.quality, TRUE);
    if (options.progressive) {
        jpeg_simple_progression(&cinfo);
    }
    jpeg_start_compress(&cinfo, TRUE);
    const size_t rowBytes = static_cast<size_t>(options.width) * options.components;
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + cinfo.next_scanline * rowBytes);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> bytes(out, out + outSize);
    free(out);
    return bytes;
}

// A smooth picture (top-down BGR) that JPEG keeps well: blue grows to the
// right, green downwards, so a mirrored or flipped picture is noticed.
inline std::vector<uint8_t> TestPattern(int width, int height) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 3];
            p[0] = static_cast<uint8_t>(x * 255 / (width > 1 ? width - 1 : 1));
            p[1] = static_cast<uint8_t>(y * 255 / (height > 1 ? height - 1 : 1));
            p[2] = static_cast<uint8_t>(128);
        }
    }
    return pixels;
}

struct HeaderFacts {
    bool ok = false;
    J_COLOR_SPACE colorSpace = JCS_UNKNOWN;
    int components = 0;
    int width = 0;
    int height = 0;
    int sampling[3][2] = {};                 // h, v per component
    unsigned firstLumaQuant = 0;             // quantisation table 0, entry 0
    bool progressive = false;
};

inline HeaderFacts ReadHeader(const std::vector<uint8_t>& bytes) {
    HeaderFacts facts;
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes.data(), bytes.size());
    if (jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK) {
        facts.ok = true;
        facts.colorSpace = cinfo.jpeg_color_space;
        facts.components = cinfo.num_components;
        facts.width = static_cast<int>(cinfo.image_width);
        facts.height = static_cast<int>(cinfo.image_height);
        for (int c = 0; c < cinfo.num_components && c < 3; ++c) {
            facts.sampling[c][0] = cinfo.comp_info[c].h_samp_factor;
            facts.sampling[c][1] = cinfo.comp_info[c].v_samp_factor;
        }
        if (cinfo.quant_tbl_ptrs[0] != nullptr) {
            facts.firstLumaQuant = cinfo.quant_tbl_ptrs[0]->quantval[0];
        }
        facts.progressive = cinfo.progressive_mode;
    }
    jpeg_destroy_decompress(&cinfo);
    return facts;
}

// The luminance DC quantiser libjpeg derives from `quality`.
inline unsigned ExpectedLumaQuant(int quality) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    cinfo.in_color_space = JCS_RGB;
    cinfo.input_components = 3;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    const unsigned value = cinfo.quant_tbl_ptrs[0]->quantval[0];
    jpeg_destroy_compress(&cinfo);
    return value;
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        uint8_t chunk[4096];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
            bytes.insert(bytes.end(), chunk, chunk + n);
        }
        std::fclose(f);
    }
    return bytes;
}

}  // namespace corvanta::test
