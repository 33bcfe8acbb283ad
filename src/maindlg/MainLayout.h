#pragma once
// Where the main dialog puts its two tab controls below the toolbar: the
// archive trees on the left at a fixed width, the player view on the right
// taking the rest, 5 pixels clear of the left one's client area.

namespace corvanta {

inline constexpr int kLeftTabWidth = 210;
inline constexpr int kTabGap = 5;
// Pages sit this much lower than the tab control's display area after a resize.
inline constexpr int kPageDrop = 3;

struct PaneRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const PaneRect&) const = default;
};

struct MainLayout {
    PaneRect left, right;
};

// `leftClientWidth` is the width of the left tab control's client area as
// it stands (the tab control may have a border of its own). Negative sizes
// of a window smaller than the toolbar are clamped to 0.
MainLayout ComputeMainLayout(int clientWidth, int clientHeight, int toolbarHeight, int leftClientWidth);

}  // namespace corvanta
