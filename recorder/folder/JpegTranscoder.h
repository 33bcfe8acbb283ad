#pragma once
// TurboJPEG work of the frame reader: encoding YUV planes (at a lower
// quality again while the JPEG is too large) and re-encoding a stored JPEG
// at the DCT scale that makes it fit.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvanta::recorder::folder {

struct PictureSize {
    uint32_t width = 0;
    uint32_t height = 0;
};

class JpegTranscoder {
public:
    JpegTranscoder(int quality, size_t maxJpegBytes);
    ~JpegTranscoder();
    JpegTranscoder(const JpegTranscoder&) = delete;
    JpegTranscoder& operator=(const JpegTranscoder&) = delete;

    // The largest DCT scale (1/8 .. 1) of a `size` picture that fits into
    // `limit`, and the picture's size at it, made even when reduced.
    static PictureSize fitByDctScale(PictureSize size, PictureSize limit);

    // Encodes full-range YUV planes (TurboJPEG's subsampling `subsampling`).
    std::string encodePlanes(const uint8_t* const planes[3], const int strides[3], PictureSize size, int subsampling);
    // A stored JPEG decoded at the DCT scale that fits `limit` and encoded
    // anew (also when it fits but is larger than the byte limit); nothing
    // when it does not decode.
    std::optional<std::string> reencode(const uint8_t* jpeg, size_t bytes, PictureSize limit);
    // Whether a JPEG of this many bytes may go out as it is.
    bool withinByteLimit(size_t bytes) const { return maxJpegBytes_ == 0 || bytes <= maxJpegBytes_; }

private:
    static PictureSize dctScaled(PictureSize size, PictureSize limit);

    void* compressor_;
    void* decompressor_;
    int quality_;
    size_t maxJpegBytes_;
    std::vector<uint8_t> planeBuffer_;
};

}  // namespace corvanta::recorder::folder
