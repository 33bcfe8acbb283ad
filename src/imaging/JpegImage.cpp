#include "imaging/JpegImage.h"

#include <atomic>
#include <climits>
#include <cstdio>
#include <new>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "imaging/JpegErrors.h"

namespace corvanta {
namespace {

// libjpeg cannot write a larger side, and a buffer past 2 GiB cannot be
// described by the 32-bit fields of the bitmap header.
constexpr int32_t kMaxSide = JPEG_MAX_DIMENSION;
constexpr uint64_t kMaxBufferSize = INT32_MAX;

// A name beside the target that no other writer in this or another process
// picks at the same moment.
std::string TemporaryNameFor(const char* path) {
    static std::atomic<uint32_t> counter{0};
    return std::string(path) + "." + std::to_string(getpid()) + "." +
           std::to_string(counter.fetch_add(1, std::memory_order_relaxed)) + ".tmp";
}

// Encodes the picture into `file`. Kept apart from the file handling so
// that no object with a destructor lives between setjmp and longjmp.
int32_t EncodeTo(FILE* file, const CJpegImage& image, int32_t quality) {
    jpeg_compress_struct cinfo{};
    jpeg_detail::ErrorManager errors;
    cinfo.err = jpeg_detail::InstallErrorManager(errors);
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&cinfo);
        return 0;
    }
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);

    cinfo.image_width = static_cast<JDIMENSION>(image.Width());
    cinfo.image_height = static_cast<JDIMENSION>(image.Height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, JCS_YCbCr);
    // Chroma at half resolution in both directions (4:2:0).
    cinfo.comp_info[0].h_samp_factor = 2;
    cinfo.comp_info[0].v_samp_factor = 2;
    for (int c = 1; c < 3; ++c) {
        cinfo.comp_info[c].h_samp_factor = 1;
        cinfo.comp_info[c].v_samp_factor = 1;
    }
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);

    // The buffer holds the bottom row first; the file starts with the top.
    while (cinfo.next_scanline < cinfo.image_height) {
        const int32_t memoryRow = image.Height() - 1 - static_cast<int32_t>(cinfo.next_scanline);
        JSAMPROW row = const_cast<JSAMPROW>(image.Row(memoryRow));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return 1;
}

}  // namespace

CJpegImage::CJpegImage() = default;

CJpegImage::~CJpegImage() {
    Reset();
}

int32_t CJpegImage::Create(int32_t width, int32_t height) {
    Reset();
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
        return 0;
    }
    const uint32_t rowLength = (static_cast<uint32_t>(width) * 3u + 3u) & ~3u;
    const uint64_t size = static_cast<uint64_t>(rowLength) * static_cast<uint64_t>(height);
    if (size > kMaxBufferSize) {
        return 0;
    }
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[size]());
    std::unique_ptr<uint8_t*[]> rows(new (std::nothrow) uint8_t*[static_cast<size_t>(height)]);
    if (!buffer || !rows) {
        return 0;
    }
    for (int32_t i = 0; i < height; ++i) {
        rows[i] = buffer.get() + static_cast<size_t>(i) * rowLength;
    }
    m_width = width;
    m_height = height;
    m_padding = rowLength - static_cast<uint32_t>(width) * 3u;
    m_size = static_cast<size_t>(size);
    m_buffer = std::move(buffer);
    m_rows = std::move(rows);

    m_infoHeader = BitmapInfoHeader{};
    m_infoHeader.size = kBitmapInfoHeaderSize;
    m_infoHeader.width = width;
    m_infoHeader.height = height;
    m_infoHeader.planes = 1;
    m_infoHeader.bitCount = 24;
    return 1;
}

void CJpegImage::Reset() {
    m_rows.reset();
    m_buffer.reset();
    m_width = 0;
    m_height = 0;
    m_padding = 0;
    m_size = 0;
    m_infoHeader = BitmapInfoHeader{};
}

uint8_t* CJpegImage::Row(int32_t index) {
    return (index >= 0 && index < m_height) ? m_rows[index] : nullptr;
}

const uint8_t* CJpegImage::Row(int32_t index) const {
    return (index >= 0 && index < m_height) ? m_rows[index] : nullptr;
}

int32_t CJpegImage::WriteJpegFile(const char* path, int32_t quality) const {
    if (path == nullptr || *path == '\0' || !m_buffer) {
        return 0;
    }
    const std::string temporary = TemporaryNameFor(path);
    // O_EXCL: never write through a file or link someone else put there.
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        return 0;
    }
    FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
        close(fd);
        unlink(temporary.c_str());
        return 0;
    }
    int32_t ok = EncodeTo(file, *this, quality);
    // A full disk shows up only when the buffered data is flushed; fsync so
    // that the rename never publishes a file whose data is not on disk.
    if (ok && (fflush(file) != 0 || ferror(file) || fsync(fileno(file)) != 0)) {
        ok = 0;
    }
    if (fclose(file) != 0) {
        ok = 0;
    }
    if (ok && rename(temporary.c_str(), path) != 0) {
        ok = 0;
    }
    if (!ok) {
        unlink(temporary.c_str());
    }
    return ok;
}

}  // namespace corvanta
