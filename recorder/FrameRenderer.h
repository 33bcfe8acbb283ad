#pragma once
// Draws the pictures of the demo archive: a still scene per source, the
// recording's moving objects at the frame's time, and the source name, the
// recording date and time and the frame number burned in, so a person can
// judge what the viewer shows.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "recorder/DemoArchive.h"

namespace corvanta::recorder {

// A packed RGB picture, top row first, no row padding.
struct RgbImage {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> pixels;

    void resize(uint32_t w, uint32_t h) {
        width = w;
        height = h;
        pixels.resize(static_cast<size_t>(w) * h * 3);
    }
    uint8_t* at(uint32_t x, uint32_t y) { return &pixels[(static_cast<size_t>(y) * width + x) * 3]; }
};

// Writes text in a 5x7 dot font, each dot `scale` pixels square, white on a
// black box. Letters are drawn upper case; unknown characters as '?'.
// Everything outside the image is clipped.
void drawText(RgbImage& image, int x, int y, std::string_view text, int scale);
int textWidth(std::string_view text, int scale);

class FrameRenderer {
public:
    explicit FrameRenderer(const DemoArchive& archive);

    // Renders frame `frame` of `rec` at the source's size.
    void render(const Recording& rec, uint32_t frame, RgbImage& out) const;

private:
    std::shared_ptr<const RgbImage> scene(uint32_t source) const;

    const DemoArchive& archive_;
    mutable std::mutex mutex_;
    mutable std::vector<std::shared_ptr<const RgbImage>> scenes_;
};

}  // namespace corvanta::recorder
