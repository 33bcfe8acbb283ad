#pragma once
#include <cstdint>
#include <memory>

#include "imaging/JpegImage.h"

namespace corvanta {

// A 24-bit picture as frames arrive from a stream proxy: blue, green, red,
// bottom row first, rows not padded (width * 3 bytes each). The header is
// kept ready for drawing; it agrees with padded-row readers only when
// width * 3 is a multiple of 4, which is why timeline bars round their
// width down to a multiple of 4 before they create their picture.
class CFrameImage {
public:
    CFrameImage() = default;
    ~CFrameImage() = default;
    CFrameImage(const CFrameImage&) = delete;
    CFrameImage& operator=(const CFrameImage&) = delete;

    // Frees the old block and allocates width * height * 3 bytes whose
    // contents are undefined. Returns 1, or 0 (and holds nothing) for a
    // zero side or a block over 2 GiB.
    int32_t Create(uint32_t width, uint32_t height);
    void Free();
    void Fill(uint8_t value);
    // Becomes a copy of `other` (empty when it is). 1, or 0 when the block
    // cannot be made.
    int32_t CopyFrom(const CFrameImage& other);

    uint32_t Width() const { return m_width; }
    uint32_t Height() const { return m_height; }
    uint32_t Size() const { return m_size; }
    uint8_t* Bits() { return m_bits.get(); }
    const uint8_t* Bits() const { return m_bits.get(); }
    const BitmapInfoHeader& Header() const { return m_header; }

private:
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    uint32_t m_size = 0;
    std::unique_ptr<uint8_t[]> m_bits;
    BitmapInfoHeader m_header{};
};

}  // namespace corvanta
