#pragma once
// The toolbar's 32 x 32 pictures, drawn here rather than loaded: "Refresh"
// and "Login", each plain (bitmaps 203, 208) and lit for the button under
// the pointer (202, 209). They are painted on the mask colour RGB(0, 128,
// 128), which becomes transparent, as the image lists of the toolbar expect.
// They are drawn for a device pixel ratio, so a high-density screen gets
// every one of its pixels drawn rather than a 32 x 32 picture blown up.

#include <QPixmap>

namespace corvanta {

inline constexpr int kBitmapRefreshHot = 202;
inline constexpr int kBitmapRefresh = 203;
inline constexpr int kBitmapLogin = 208;
inline constexpr int kBitmapLoginHot = 209;
inline constexpr int kToolbarImageSize = 32;
// The ratios a toolbar icon carries a picture for; Qt picks the one for the
// screen and scales the next larger down for ratios between them.
inline constexpr qreal kToolbarImageRatios[] = {1, 2, 3};

// kToolbarImageSize logical pixels square, kToolbarImageSize x `ratio`
// device pixels, with that device pixel ratio. A null pixmap for any other id.
QPixmap ToolbarBitmap(int id, qreal ratio = 1);

}  // namespace corvanta
