#pragma once
// Dialog units to pixels, as the Windows dialog manager converts them:
// horizontally a quarter, vertically an eighth of the font's average
// character size.

#include <QFont>
#include <QRect>
#include <QSize>

namespace corvanta::ui {

struct DialogBaseUnits {
    int x = 0;  // average character width in pixels
    int y = 0;  // character height in pixels
};

// The average width is taken over the 52 letters A-Z a-z and rounded, the
// height is the font's line height.
DialogBaseUnits BaseUnitsOf(const QFont& font);

QRect DialogUnitsToPixels(const QRect& dialogUnits, DialogBaseUnits base);
QSize DialogUnitsToPixels(const QSize& dialogUnits, DialogBaseUnits base);

}  // namespace corvanta::ui
