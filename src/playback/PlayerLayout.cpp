#include "playback/PlayerLayout.h"

#include <algorithm>

namespace corvanta {
namespace {

// Halves round down, also for a panel wider than the player.
int32_t HalfDown(int32_t value) {
    return value >= 0 ? value / 2 : -((1 - value) / 2);
}

}  // namespace

PlayerLayout ComputePlayerLayout(const PlayerLayoutInput& in) {
    const int32_t width = std::max(in.clientWidth, 0);
    const int32_t available = std::max(in.clientHeight - in.sliderHeight - in.timeHeight - in.panelHeight, 0);
    int32_t w = 0;
    int32_t h = 0;
    if (in.frameWidth > 0 && in.frameHeight > 0) {
        const double fw = in.frameWidth;
        const double fh = in.frameHeight;
        if (!in.fit && width >= in.frameWidth && available >= in.frameHeight) {
            w = in.frameWidth;
            h = in.frameHeight;
        } else if (width / fw <= available / fh) {
            w = width;
            h = static_cast<int32_t>(fh / fw * width);
        } else {
            h = available;
            w = static_cast<int32_t>(fw / fh * available);
        }
    }
    PlayerLayout out;
    out.video = LayoutRect{HalfDown(width - w), HalfDown(available - h), w, h};
    out.slider = LayoutRect{out.video.left, out.video.top + h, w, in.sliderHeight};
    // The time line takes the player's width: it is text, and a small video would cut it.
    out.time = LayoutRect{0, out.slider.top + in.sliderHeight, width, in.timeHeight};
    out.panel = LayoutRect{HalfDown(width - in.panelWidth), out.time.top + in.timeHeight, in.panelWidth, in.panelHeight};
    return out;
}

}  // namespace corvanta
