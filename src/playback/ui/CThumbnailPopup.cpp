#include "playback/ui/CThumbnailPopup.h"

#include <QPainter>

#include <algorithm>

#include "playback/TimelineThumbnails.h"

namespace corvanta {

namespace {

constexpr int kBorder = 1;
constexpr int kPadding = 2;

}  // namespace

CThumbnailPopup::CThumbnailPopup(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    hide();
}

QSize CThumbnailPopup::PictureSize() const {
    if (m_image.isNull() || m_image.width() <= 0) return QSize(kPictureWidth, kPictureWidth * 3 / 4);
    return QSize(kPictureWidth, std::max(1, m_image.height() * kPictureWidth / m_image.width()));
}

void CThumbnailPopup::ShowAt(const std::shared_ptr<const Thumbnail>& thumbnail, const QString& time, QPoint pointer) {
    if (!thumbnail) return hide();
    if (thumbnail != m_thumbnail) {
        m_thumbnail = thumbnail;
        m_second = thumbnail->second;
        const ScaledPicture& p = thumbnail->picture;
        m_image = p.rgb.size() >= size_t(p.width) * size_t(p.height) * 3 && p.width > 0 && p.height > 0
                      ? QImage(p.rgb.data(), p.width, p.height, qsizetype(p.width) * 3, QImage::Format_RGB888)
                      : QImage();
    }
    m_time = time;
    const QSize picture = PictureSize();
    const QSize size(picture.width() + 2 * (kBorder + kPadding),
                     picture.height() + fontMetrics().height() + 3 * kPadding + 2 * kBorder);
    const QSize room = parentWidget() ? parentWidget()->size() : size;
    // Right of and below the pointer; to the left or above where that would leave the window.
    int x = pointer.x() + kGap, y = pointer.y() + kGap;
    if (x + size.width() > room.width()) x = pointer.x() - kGap - size.width();
    if (y + size.height() > room.height()) y = pointer.y() - kGap - size.height();
    setGeometry(QRect(QPoint(std::max(0, x), std::max(0, y)), size));
    raise();
    show();
    update();
}

void CThumbnailPopup::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::ToolTipBase));
    p.setPen(palette().color(QPalette::ToolTipText));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    const QRect picture(QPoint(kBorder + kPadding, kBorder + kPadding), PictureSize());
    if (!m_image.isNull()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(picture, m_image);
    }
    const QRect text(picture.left(), picture.bottom() + 1 + kPadding, picture.width(), fontMetrics().height());
    p.drawText(text, Qt::AlignCenter, m_time);
    if (!m_image.isNull()) m_paintedSecond = m_second;
}

}  // namespace corvanta
