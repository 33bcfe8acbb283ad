#include "services/ui/DialogUnits.h"

#include <QFontMetrics>

namespace corvanta::ui {

namespace {

// Multiplies and divides with rounding to the nearest integer.
int MulDiv(int value, int numerator, int denominator) {
    long long product = static_cast<long long>(value) * numerator;
    long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

}  // namespace

DialogBaseUnits BaseUnitsOf(const QFont& font) {
    QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    DialogBaseUnits base;
    base.x = (width / 26 + 1) / 2;
    base.y = metrics.height();
    return base;
}

QRect DialogUnitsToPixels(const QRect& du, DialogBaseUnits base) {
    return QRect(MulDiv(du.x(), base.x, 4), MulDiv(du.y(), base.y, 8), MulDiv(du.width(), base.x, 4),
                 MulDiv(du.height(), base.y, 8));
}

QSize DialogUnitsToPixels(const QSize& du, DialogBaseUnits base) {
    return QSize(MulDiv(du.width(), base.x, 4), MulDiv(du.height(), base.y, 8));
}

}  // namespace corvanta::ui
