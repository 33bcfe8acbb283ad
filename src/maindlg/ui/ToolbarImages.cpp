#include "maindlg/ui/ToolbarImages.h"

#include <QBitmap>
#include <QPainter>
#include <QPainterPath>

namespace corvanta {

namespace {

const QColor kMaskColour(0, 128, 128);

// A circular arrow, three quarters round, with its head at the top.
void PaintRefresh(QPainter& p, const QColor& ink) {
    p.setPen(QPen(ink, 4, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(QRectF(6, 6, 20, 20), 90 * 16, -270 * 16);
    QPainterPath head;
    head.moveTo(15, 0.5);
    head.lineTo(23, 6);
    head.lineTo(15, 11.5);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawPath(head);
}

// A key: a ring and a bit with two teeth.
void PaintLogin(QPainter& p, const QColor& ink) {
    p.setPen(QPen(ink, 4));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(3, 9, 13, 13));
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawRect(QRectF(15, 13.5, 15, 4));
    p.drawRect(QRectF(22, 17, 3, 6));
    p.drawRect(QRectF(27, 17, 3, 8));
}

QPixmap Paint(void (*paint)(QPainter&, const QColor&), const QColor& ink, qreal ratio) {
    const int side = qRound(kToolbarImageSize * ratio);
    QPixmap pixmap(side, side);
    pixmap.fill(kMaskColour);
    {
        // No antialiasing: blended edges would keep a fringe of the mask colour.
        QPainter painter(&pixmap);
        painter.scale(ratio, ratio);
        paint(painter, ink);
    }
    pixmap.setMask(pixmap.createMaskFromColor(kMaskColour, Qt::MaskInColor));
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

}  // namespace

QPixmap ToolbarBitmap(int id, qreal ratio) {
    const QColor plain(60, 72, 96), hot(20, 110, 210);
    switch (id) {
        case kBitmapRefresh: return Paint(PaintRefresh, plain, ratio);
        case kBitmapRefreshHot: return Paint(PaintRefresh, hot, ratio);
        case kBitmapLogin: return Paint(PaintLogin, plain, ratio);
        case kBitmapLoginHot: return Paint(PaintLogin, hot, ratio);
        default: return {};
    }
}

}  // namespace corvanta
