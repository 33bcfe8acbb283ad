#include "playback/CFrameImage.h"

#include <cstring>
#include <limits>
#include <new>

namespace corvanta {

int32_t CFrameImage::Create(uint32_t width, uint32_t height) {
    Free();
    const uint64_t size = uint64_t{width} * height * 3u;
    if (size == 0 || size > uint64_t{std::numeric_limits<int32_t>::max()}) return 0;
    // Not value-initialised: every frame overwrites the whole block, and
    // zeroing 5.76 MB on each open would only cost time.
    m_bits.reset(new (std::nothrow) uint8_t[size]);
    if (!m_bits) return 0;
    m_width = width;
    m_height = height;
    m_size = static_cast<uint32_t>(size);
    m_header = BitmapInfoHeader{};
    m_header.size = kBitmapInfoHeaderSize;
    m_header.width = static_cast<int32_t>(width);
    m_header.height = static_cast<int32_t>(height);
    m_header.planes = 1;
    m_header.bitCount = 24;
    return 1;
}

void CFrameImage::Free() {
    m_bits.reset();
    m_width = m_height = m_size = 0;
    m_header = BitmapInfoHeader{};
}

void CFrameImage::Fill(uint8_t value) {
    if (m_bits) std::memset(m_bits.get(), value, m_size);
}

int32_t CFrameImage::CopyFrom(const CFrameImage& other) {
    if (!other.m_bits) {
        Free();
        return 1;
    }
    if (other.m_width != m_width || other.m_height != m_height || !m_bits) {
        if (!Create(other.m_width, other.m_height)) return 0;
    }
    std::memcpy(m_bits.get(), other.m_bits.get(), m_size);
    return 1;
}

}  // namespace corvanta
