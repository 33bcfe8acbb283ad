#pragma once
// A JPEG picture decoded at a reduced size by the codec's DCT scaling, for
// small previews: scaling inside the decoder skips most of the work a full
// decode and a later shrink would do.

#include <cstdint>
#include <optional>
#include <vector>

namespace corvanta {

// Red-green-blue pixels, top row first, rows not padded.
struct ScaledPicture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgb;
};

// Decodes bytes[0, size) at the smallest of the codec's scaling factors
// (1/8 .. 1) that keeps the picture at least `minWidth` pixels wide; a
// picture narrower than that comes at its own size. Nothing for damaged,
// truncated or unsupported data, a size of 0, or a picture whose scaled
// size is over `maxPixels`.
std::optional<ScaledPicture> DecodeJpegScaled(const uint8_t* bytes, uint32_t size, int32_t minWidth,
                                              uint32_t maxPixels = 1024 * 1024);

}  // namespace corvanta
