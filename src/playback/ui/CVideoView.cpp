#include "playback/ui/CVideoView.h"

#include <QImage>
#include <QPainter>

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
        m_scaledStale = true;
        m_frameWidth = width;
        m_frameHeight = height;
    }
}

void CVideoView::SetFrame(const uint8_t* pixels) {
    if (pixels) {
        ScopedLock lock(m_mutex);
        // A view on screen scales while it copies, so the frame is read
        // once; a hidden one only copies and scales when it is painted.
        const bool shown = m_open && isVisible() && ScaledFitsArea();
        if (m_picture.Bits())
            m_scaler.CopyAndScale(pixels, m_picture.Bits(), m_picture.Width(), m_picture.Height(),
                                  shown ? reinterpret_cast<uint32_t*>(m_scaled.bits()) : nullptr,
                                  uint32_t(m_scaled.width()), uint32_t(m_scaled.height()),
                                  uint32_t(m_scaled.bytesPerLine()));
        m_scaledStale = !shown;
    }
    update();
}

bool CVideoView::ScaledFitsArea() {
    if (m_scaled.size() != size()) {
        m_scaled = size().isEmpty() ? QImage() : QImage(size(), QImage::Format_RGB32);
        m_scaledStale = true;
    }
    return !m_scaled.isNull();
}

void CVideoView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = rect();
    ScopedLock lock(m_mutex);
    if (m_picture.Bits() && m_open) {
        if (!ScaledFitsArea()) return;
        if (m_scaledStale) {
            m_scaler.Scale(m_picture.Bits(), m_picture.Width(), m_picture.Height(),
                           reinterpret_cast<uint32_t*>(m_scaled.bits()), uint32_t(m_scaled.width()),
                           uint32_t(m_scaled.height()), uint32_t(m_scaled.bytesPerLine()));
            m_scaledStale = false;
        }
        painter.drawImage(0, 0, m_scaled);
    } else {
        painter.fillRect(area, Qt::white);
        painter.setPen(Qt::black);
        painter.drawRect(area.adjusted(0, 0, -1, -1));
    }
}

}  // namespace corvanta
