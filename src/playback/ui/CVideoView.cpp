#include "playback/ui/CVideoView.h"

#include <QImage>
#include <QPainter>

#include <cstring>

#include "stores/ScopedLock.h"

namespace corvanta {

namespace {

// Blue-green-red rows, bottom row first, into 0xffRRGGBB rows top first.
// Four pixels are three little-endian words, so each output pixel is one
// or two shifts.
void ToUpright32(const CFrameImage& frame, QImage& out) {
    const uint32_t w = frame.Width(), h = frame.Height();
    for (uint32_t y = 0; y < h; ++y) {
        const uint8_t* s = frame.Bits() + size_t(h - 1 - y) * w * 3;
        auto* d = reinterpret_cast<uint32_t*>(out.scanLine(int(y)));
        uint32_t x = 0;
        for (; x + 4 <= w; x += 4, s += 12) {
            uint32_t a, b, c;
            std::memcpy(&a, s, 4);
            std::memcpy(&b, s + 4, 4);
            std::memcpy(&c, s + 8, 4);
            d[x] = 0xFF000000u | a;
            d[x + 1] = 0xFF000000u | (a >> 24) | (b << 8);
            d[x + 2] = 0xFF000000u | (b >> 16) | (c << 16);
            d[x + 3] = 0xFF000000u | (c >> 8);
        }
        for (; x < w; ++x, s += 3) d[x] = 0xFF000000u | uint32_t(s[2]) << 16 | uint32_t(s[1]) << 8 | s[0];
    }
}

}  // namespace

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
        m_uprightStale = true;
        m_frameWidth = width;
        m_frameHeight = height;
    }
}

void CVideoView::SetFrame(const uint8_t* pixels) {
    if (pixels) {
        ScopedLock lock(m_mutex);
        if (m_picture.Bits()) std::memcpy(m_picture.Bits(), pixels, m_picture.Size());
        m_uprightStale = true;
    }
    update();
}

void CVideoView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = rect();
    ScopedLock lock(m_mutex);
    if (m_picture.Bits() && m_open) {
        const QSize size(int(m_picture.Width()), int(m_picture.Height()));
        if (m_upright.size() != size) {
            m_upright = QImage(size, QImage::Format_RGB32);
            m_uprightStale = true;
        }
        if (m_uprightStale && !m_upright.isNull()) {
            ToUpright32(m_picture, m_upright);
            m_uprightStale = false;
        }
        // Smooth scaling keeps shrunk frames legible.
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(0, 0, area.width(), area.height()), m_upright);
    } else {
        painter.fillRect(area, Qt::white);
        painter.setPen(Qt::black);
        painter.drawRect(area.adjusted(0, 0, -1, -1));
    }
}

}  // namespace corvanta
