#include <algorithm>

#include <jerror.h>

#include "imaging/JpegErrors.h"
#include "imaging/JpegImage.h"

namespace corvanta {
namespace {

// A progressive picture may announce any number of scans, each one a pass
// over the whole coefficient buffer; real encoders use about ten. Damaged
// or hostile data with thousands would stall the caller for seconds.
constexpr int kMaxScans = 500;

// Row pointers handed to libjpeg at once; it fills as many as it can.
constexpr JDIMENSION kRowBatch = 16;

// Pictures a decompressor serves before it is made anew; see ForgetTables.
constexpr unsigned kPicturesPerDecompressor = 16;

// libjpeg keeps the quantisation and Huffman tables a picture defined and
// uses them for a later picture that omits them, so a picture would decode
// differently depending on what came before. Every picture starts without
// tables, as in a new decompressor. The old tables stay in libjpeg's
// permanent pool (about 1.5 kB a picture) until the decompressor is renewed;
// renewing often keeps that pool short, which libjpeg searches on every
// allocation (renewing every 16 pictures costs about 1 % of a 704x576
// decode; never renewing, 14 %).
void ForgetTables(jpeg_decompress_struct& cinfo) {
    for (JQUANT_TBL*& table : cinfo.quant_tbl_ptrs) table = nullptr;
    for (JHUFF_TBL*& table : cinfo.dc_huff_tbl_ptrs) table = nullptr;
    for (JHUFF_TBL*& table : cinfo.ac_huff_tbl_ptrs) table = nullptr;
}

void LimitScans(j_common_ptr cinfo) {
    auto* dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (dinfo->input_scan_number > kMaxScans) {
        cinfo->err->msg_code = JERR_BAD_PROGRESSION;
        cinfo->err->error_exit(cinfo);
    }
}

inline uint8_t Scale(unsigned a, unsigned b) {
    return static_cast<uint8_t>((a * b + 127u) / 255u);
}

// CMYK rows from libjpeg to blue-green-red. Adobe applications store the
// four inks inverted (255 = no ink) and mark the file with their marker.
void CmykToBgr(const uint8_t* in, uint8_t* out, JDIMENSION width, bool inverted) {
    for (JDIMENSION x = 0; x < width; ++x, in += 4, out += 3) {
        unsigned c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) {
            c = 255u - c;
            m = 255u - m;
            y = 255u - y;
            k = 255u - k;
        }
        out[0] = Scale(y, k);
        out[1] = Scale(m, k);
        out[2] = Scale(c, k);
    }
}

// One decompressor per thread, kept between calls as a TurboJPEG handle is:
// making one allocates libjpeg's permanent pools, which costs a noticeable
// part of decoding a small frame. jpeg_abort_decompress returns it to a
// clean state after every picture, good or bad.
struct Decompressor {
    jpeg_decompress_struct cinfo{};
    jpeg_detail::ErrorManager errors;
    jpeg_progress_mgr progress{};
    volatile bool created = false;  // read after a longjmp
    unsigned pictures = 0;

    ~Decompressor() {
        if (created) {
            jpeg_destroy_decompress(&cinfo);
        }
    }
};

// Everything that libjpeg may leave by longjmp lives here, with nothing
// that has a destructor between setjmp and the jump.
int32_t DecodeInto(const uint8_t* bytes, uint32_t length, uint8_t* output, uint32_t capacity,
                   uint32_t* decodedSize) {
    thread_local Decompressor decompressor;
    if (setjmp(decompressor.errors.jump)) {
        if (decompressor.created) {
            jpeg_abort_decompress(&decompressor.cinfo);
        } else {
            jpeg_destroy_decompress(&decompressor.cinfo);
        }
        return 0;
    }
    jpeg_decompress_struct& cinfo = decompressor.cinfo;
    if (decompressor.created && ++decompressor.pictures >= kPicturesPerDecompressor) {
        jpeg_destroy_decompress(&cinfo);
        decompressor.created = false;
        decompressor.pictures = 0;
    }
    if (!decompressor.created) {
        cinfo.err = jpeg_detail::InstallErrorManager(decompressor.errors);
        jpeg_create_decompress(&cinfo);
        decompressor.progress.progress_monitor = LimitScans;
        cinfo.progress = &decompressor.progress;
        decompressor.created = true;
    }
    ForgetTables(cinfo);
    jpeg_mem_src(&cinfo, bytes, length);
    jpeg_read_header(&cinfo, TRUE);

    // Grey is expanded to three equal bytes and YCbCr or RGB converted by
    // libjpeg itself, which reads JFIF and Adobe markers to tell them
    // apart; four-component pictures come out as CMYK and are converted
    // here. Two components have no defined meaning.
    bool cmyk = false;
    switch (cinfo.num_components) {
    case 1:
    case 3:
        cinfo.out_color_space = JCS_EXT_BGR;
        break;
    case 4:
        cinfo.out_color_space = JCS_CMYK;
        cmyk = true;
        break;
    default:
        jpeg_abort_decompress(&cinfo);
        return 0;
    }
    jpeg_calc_output_dimensions(&cinfo);
    const JDIMENSION width = cinfo.output_width;
    const JDIMENSION height = cinfo.output_height;
    const uint64_t pictureSize = uint64_t{width} * height * 3u;
    if (cinfo.output_components != (cmyk ? 4 : 3) || pictureSize == 0 || pictureSize > capacity) {
        jpeg_abort_decompress(&cinfo);
        return 0;
    }
    jpeg_start_decompress(&cinfo);

    // Straight into the caller's buffer, the picture's top row at the end.
    const size_t rowBytes = size_t{width} * 3u;
    if (!cmyk) {
        JSAMPROW rows[kRowBatch];
        while (cinfo.output_scanline < height) {
            const JDIMENSION batch = std::min(kRowBatch, height - cinfo.output_scanline);
            for (JDIMENSION i = 0; i < batch; ++i) {
                rows[i] = output + size_t{height - 1u - (cinfo.output_scanline + i)} * rowBytes;
            }
            if (jpeg_read_scanlines(&cinfo, rows, batch) == 0) {
                jpeg_abort_decompress(&cinfo);
                return 0;
            }
        }
    } else {
        // Freed with the decompressor, also when libjpeg jumps out.
        JSAMPARRAY line = cinfo.mem->alloc_sarray(reinterpret_cast<j_common_ptr>(&cinfo),
                                                  JPOOL_IMAGE, width * 4u, 1);
        const bool inverted = cinfo.saw_Adobe_marker;
        while (cinfo.output_scanline < height) {
            const JDIMENSION row = cinfo.output_scanline;
            if (jpeg_read_scanlines(&cinfo, line, 1) != 1) {
                jpeg_abort_decompress(&cinfo);
                return 0;
            }
            CmykToBgr(line[0], output + size_t{height - 1u - row} * rowBytes, width, inverted);
        }
    }
    // Whatever follows the last scan (normally just the end marker) cannot
    // change the pixels, so it is not read.
    jpeg_abort_decompress(&cinfo);
    *decodedSize = static_cast<uint32_t>(pictureSize);
    return 1;
}

}  // namespace

int32_t DecodeJpeg(const uint8_t* bytes, uint32_t& size, uint8_t* output, uint32_t capacity) {
    if (bytes == nullptr || output == nullptr || size == 0) {
        return 0;
    }
    uint32_t decoded = 0;
    if (!DecodeInto(bytes, size, output, capacity, &decoded)) {
        return 0;
    }
    size = decoded;
    return 1;
}

}  // namespace corvanta
