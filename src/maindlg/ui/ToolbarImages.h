#pragma once
// The toolbar's 32 x 32 pictures, drawn here rather than loaded: "Refresh"
// and "Login", each plain (bitmaps 203, 208) and lit for the button under
// the pointer (202, 209). They are painted on the mask colour RGB(0, 128,
// 128), which becomes transparent, as the image lists of the toolbar expect.

#include <QPixmap>

namespace corvanta {

inline constexpr int kBitmapRefreshHot = 202;
inline constexpr int kBitmapRefresh = 203;
inline constexpr int kBitmapLogin = 208;
inline constexpr int kBitmapLoginHot = 209;
inline constexpr int kToolbarImageSize = 32;

// A null pixmap for any other id.
QPixmap ToolbarBitmap(int id);

}  // namespace corvanta
