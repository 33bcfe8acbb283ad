#pragma once
#include <cstdint>

namespace corvanta {

// Where a player puts its video, position slider and control panel.
struct LayoutRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
};

struct PlayerLayoutInput {
    int32_t clientWidth = 0;
    int32_t clientHeight = 0;
    int32_t sliderHeight = 0;
    int32_t panelWidth = 0;
    int32_t panelHeight = 0;
    int32_t frameWidth = 320;  // the open file's frame size, 320 x 240 when closed
    int32_t frameHeight = 240;
    bool fit = false;  // always fill the space instead of showing natural size
    int32_t timeHeight = 0;  // the frame's time and number, under the slider
};

struct PlayerLayout {
    LayoutRect video;
    LayoutRect slider;
    LayoutRect time;
    LayoutRect panel;
};

// Video, slider, time line and panel stacked and centred: the video at its natural
// size when it fits and fitting is off, otherwise scaled into the space
// above slider, time line and panel with its aspect kept.
PlayerLayout ComputePlayerLayout(const PlayerLayoutInput& in);

}  // namespace corvanta
