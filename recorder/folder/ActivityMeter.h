#pragma once
// How much moved in each recorded second of a file, from one of two signals:
// small grey thumbnails of consecutive pictures (their mean absolute
// difference), or the compressed sizes of the frames that are not key frames
// (an inter-coded frame grows with what changed). The first needs every
// picture decoded, which is cheap for MJPEG at 1/8 scale; the second needs
// no decoding at all, which keeps indexing H.264 far faster than real time.
// Levels are 1..200 for motion and 0 for a still second; the same input
// always gives the same levels.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvanta::recorder::folder {

class ActivityMeter {
public:
    // Side of the thumbnail grid pictures are reduced to before comparing.
    static constexpr uint32_t kThumbWidth = 32;
    static constexpr uint32_t kThumbHeight = 24;

    // The coded picture size (for the size signal's floor).
    ActivityMeter(uint32_t width, uint32_t height);

    // Times are milliseconds on any clock shared by one file's calls.
    // A decoded grey picture (rows of `pitch` bytes) shown at `ms`; pictures
    // come in presentation order.
    void addPicture(int64_t ms, const uint8_t* grey, uint32_t width, uint32_t height, uint32_t pitch);
    // The compressed size of a frame that is not a key frame, shown at `ms`.
    void addCompressedFrame(int64_t ms, size_t bytes);

    // One level per second from `originMs` (the first frame's time), `seconds`
    // of them; seconds without a measurement are 0.
    std::vector<uint8_t> levels(int64_t originMs, size_t seconds) const;

private:
    // The level of a second whose largest thumbnail difference was `meanAbsDiff`
    // grey levels, or whose non-key frames were `ratio` times the quiet size.
    static uint8_t levelFromDifference(double meanAbsDiff);
    static uint8_t levelFromSizeRatio(double ratio);

    struct Sample {
        int64_t ms;
        double value;  // thumbnail difference to the previous picture, or compressed bytes
    };
    std::vector<uint8_t> levelsFromDifferences(int64_t originMs, size_t seconds) const;
    std::vector<uint8_t> levelsFromSizes(int64_t originMs, size_t seconds) const;

    uint32_t width_;
    uint32_t height_;
    std::vector<Sample> samples_;
    std::vector<uint8_t> previousThumb_;
    std::vector<uint32_t> cellOfColumn_;
    bool pictures_ = false;
};

}  // namespace corvanta::recorder::folder
