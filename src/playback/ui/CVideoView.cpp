#include "playback/ui/CVideoView.h"

#include <QImage>
#include <QPainter>

#include <cstring>

#include "stores/ScopedLock.h"

namespace corvanta {

CVideoView::CVideoView(QWidget* parent) : QWidget(parent) {
    m_mutex.Create(nullptr);
    // Every paint covers the whole area, so the background is never erased
    // first (that would flicker between frames).
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CVideoView::SetFrameSize(uint32_t width, uint32_t height) {
    ScopedLock lock(m_mutex);
    if (width != m_frameWidth || height != m_frameHeight) {
        m_picture.Create(width, height);
        m_frameWidth = width;
        m_frameHeight = height;
    }
}

void CVideoView::SetFrame(const uint8_t* pixels) {
    if (pixels) {
        ScopedLock lock(m_mutex);
        if (m_picture.Bits()) std::memcpy(m_picture.Bits(), pixels, m_picture.Size());
    }
    update();
}

void CVideoView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = rect();
    ScopedLock lock(m_mutex);
    if (m_picture.Bits() && m_open) {
        const QImage frame(m_picture.Bits(), int(m_picture.Width()), int(m_picture.Height()),
                           qsizetype(m_picture.Width()) * 3, QImage::Format_BGR888);
        // Smooth scaling keeps shrunk frames legible; the flip turns the
        // bottom-up rows the right way up without copying them.
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.translate(0, area.height());
        painter.scale(1, -1);
        painter.drawImage(QRect(0, 0, area.width(), area.height()), frame);
    } else {
        painter.fillRect(area, Qt::white);
        painter.setPen(Qt::black);
        painter.drawRect(area.adjusted(0, 0, -1, -1));
    }
}

}  // namespace corvanta
