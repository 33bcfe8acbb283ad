#pragma once
// A 24-bit picture buffer that can save itself as a JPEG file (snapshots),
// and the decoder that turns a recorder's JPEG frame into packed pixels.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace corvanta {

// Describes a pixel buffer for drawing; the layout of a device-independent
// bitmap's information header, kept byte for byte.
struct BitmapInfoHeader {
    uint32_t size;           // 40, the size of this header
    int32_t width;           // pixels
    int32_t height;          // pixels; positive means the bottom row comes first
    uint16_t planes;         // 1
    uint16_t bitCount;       // 24: blue, green, red bytes
    uint32_t compression;    // 0: uncompressed
    uint32_t sizeImage;      // 0: implied by the other fields
    int32_t xPelsPerMeter;   // 0
    int32_t yPelsPerMeter;   // 0
    uint32_t clrUsed;        // 0
    uint32_t clrImportant;   // 0
};
static_assert(sizeof(BitmapInfoHeader) == 40);
static_assert(offsetof(BitmapInfoHeader, size) == 0);
static_assert(offsetof(BitmapInfoHeader, width) == 4);
static_assert(offsetof(BitmapInfoHeader, height) == 8);
static_assert(offsetof(BitmapInfoHeader, planes) == 12);
static_assert(offsetof(BitmapInfoHeader, bitCount) == 14);
static_assert(offsetof(BitmapInfoHeader, compression) == 16);
static_assert(offsetof(BitmapInfoHeader, sizeImage) == 20);
static_assert(offsetof(BitmapInfoHeader, xPelsPerMeter) == 24);
static_assert(offsetof(BitmapInfoHeader, yPelsPerMeter) == 28);
static_assert(offsetof(BitmapInfoHeader, clrUsed) == 32);
static_assert(offsetof(BitmapInfoHeader, clrImportant) == 36);

inline constexpr uint32_t kBitmapInfoHeaderSize = 40;

// Blue-green-red pixels, bottom row first, each row padded to a whole
// number of 32-bit words. Used by one thread at a time.
class CJpegImage {
public:
    CJpegImage();
    virtual ~CJpegImage();

    CJpegImage(const CJpegImage&) = delete;
    CJpegImage& operator=(const CJpegImage&) = delete;

    // Makes a zeroed picture of width x height pixels, freeing any earlier
    // one. Returns 1, or 0 for a non-positive or unreasonably large size or
    // a failed allocation, in which case the image holds no buffers.
    int32_t Create(int32_t width, int32_t height);

    // Frees the buffers and sets width, height, size and padding to 0.
    void Reset();

    // Writes the picture as a baseline JPEG: YCbCr, 3 components, chroma
    // halved in both directions, `quality` (0 to 100) handed to the encoder
    // unchanged. The file appears under `path` only when complete: it is
    // written to a temporary name in the same folder and renamed.
    // Returns 1 on success, 0 on failure (no picture, unwritable folder).
    int32_t WriteJpegFile(const char* path, int32_t quality) const;

    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }
    // Bytes added to each row to reach a multiple of 4.
    uint32_t Padding() const { return m_padding; }
    // Bytes of one row, padding included.
    uint32_t RowLength() const { return m_width * 3u + m_padding; }
    // Bytes of the whole pixel buffer.
    size_t Size() const { return m_size; }

    uint8_t* Buffer() { return m_buffer.get(); }
    const uint8_t* Buffer() const { return m_buffer.get(); }
    // Start of row `index` in memory order (row 0 is the bottom picture row);
    // nullptr when out of range.
    uint8_t* Row(int32_t index);
    const uint8_t* Row(int32_t index) const;

    const BitmapInfoHeader& InfoHeader() const { return m_infoHeader; }

private:
    int32_t m_width = 0;
    int32_t m_height = 0;
    uint32_t m_padding = 0;
    size_t m_size = 0;
    std::unique_ptr<uint8_t[]> m_buffer;
    std::unique_ptr<uint8_t*[]> m_rows;
    BitmapInfoHeader m_infoHeader{};
};

// Decodes the JPEG picture in bytes[0, size) into `output` as packed
// blue-green-red pixels, bottom row first, rows not padded. Grey, YCbCr,
// RGB and CMYK/YCCK pictures are accepted; baseline, progressive and
// arithmetic-coded ones alike.
//
// Returns 1 and sets `size` to width x height x 3 on success. Returns 0 and
// leaves `size` as it was for damaged, truncated or unsupported data (12-bit
// precision, lossless), and for a picture of more than `capacity` bytes,
// which is refused before anything is written. Nothing is ever written at
// or past output + capacity; after a failure the bytes before it may have
// been changed.
int32_t DecodeJpeg(const uint8_t* bytes, uint32_t& size, uint8_t* output, uint32_t capacity);

}  // namespace corvanta
