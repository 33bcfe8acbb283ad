#include "playback/ui/CVideoView.h"

#include <QImage>
#include <QPaintEngine>
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
    m_hasFrame = false;
    m_notice.clear();
    if (width != m_frameWidth || height != m_frameHeight) {
        m_picture.Create(width, height);
        m_scaledStale = true;
        m_frameWidth = width;
        m_frameHeight = height;
    }
}

void CVideoView::SetFrame(const uint8_t* pixels) {
    if (!pixels) {
        update();
        return;
    }
    ScopedLock lock(m_mutex);
    if (!m_picture.Bits()) return;
    // A view on screen is painted at once, while the frame is at hand: the
    // paint copies it and scales it straight into the window's pixels, so
    // the frame is read once and the view's pixels written once.
    m_incoming = pixels;
    m_hasFrame = true;
    if (m_open && isVisible()) repaint();
    if (m_incoming) {
        m_scaler.CopyAndScale(pixels, m_picture.Bits(), m_picture.Width(), m_picture.Height(), nullptr, 0, 0, 0);
        m_incoming = nullptr;
        m_scaledStale = true;
        update();
    }
}

void CVideoView::SetNotice(const QString& text) {
    ScopedLock lock(m_mutex);
    m_notice = text;
    update();
}

void CVideoView::PaintEmpty(QPainter& painter) {
    const QRect area = rect();
    if (m_open) {
        painter.fillRect(area, palette().window());
    } else {
        painter.fillRect(area, Qt::white);
        painter.setPen(Qt::black);
        painter.drawRect(area.adjusted(0, 0, -1, -1));
    }
    if (m_notice.isEmpty()) return;
    painter.setPen(Qt::black);
    painter.drawText(rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap, m_notice);
}

bool CVideoView::ScaledFitsArea() {
    if (m_scaled.size() != size()) {
        m_scaled = size().isEmpty() ? QImage() : QImage(size(), QImage::Format_RGB32);
        m_scaledStale = true;
    }
    return !m_scaled.isNull();
}

uint32_t* CVideoView::WindowPixels(QPainter& painter, uint32_t* stride) const {
    QPaintEngine* engine = painter.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster || size().isEmpty()) return nullptr;
    QPaintDevice* device = engine->paintDevice();
    if (!device || device->devType() != QInternal::Image) return nullptr;
    auto* image = static_cast<QImage*>(device);
    const QImage::Format format = image->format();
    if ((format != QImage::Format_RGB32 && format != QImage::Format_ARGB32_Premultiplied) || !image->isDetached() ||
        image->devicePixelRatio() != 1.0)
        return nullptr;
    const QTransform transform = painter.deviceTransform();
    if (transform.type() > QTransform::TxTranslate) return nullptr;
    const QRect area = rect().translated(qRound(transform.dx()), qRound(transform.dy()));
    // Only when the whole view is to be painted and nothing covers it.
    const QRegion clip = engine->systemClip();
    if (!image->rect().contains(area) || (!clip.isEmpty() && !(QRegion(area) - clip).isEmpty())) return nullptr;
    *stride = uint32_t(image->bytesPerLine());
    return reinterpret_cast<uint32_t*>(image->bits() + size_t(area.y()) * *stride) + area.x();
}

void CVideoView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    ScopedLock lock(m_mutex);
    if (!m_open || !m_picture.Bits() || !m_hasFrame) return PaintEmpty(painter);
    const auto width = uint32_t(this->width()), height = uint32_t(this->height());
    uint32_t stride = 0;
    if (uint32_t* window = WindowPixels(painter, &stride)) {
        Draw(window, width, height, stride);
        m_scaledStale = true;
        return;
    }
    if (!ScaledFitsArea()) return;
    if (m_incoming || m_scaledStale) {
        Draw(reinterpret_cast<uint32_t*>(m_scaled.bits()), width, height, uint32_t(m_scaled.bytesPerLine()));
        m_scaledStale = false;
    }
    painter.drawImage(0, 0, m_scaled);
}

void CVideoView::Draw(uint32_t* target, uint32_t width, uint32_t height, uint32_t stride) {
    if (m_incoming) {
        m_scaler.CopyAndScale(m_incoming, m_picture.Bits(), m_picture.Width(), m_picture.Height(), target, width,
                              height, stride);
        m_incoming = nullptr;
    } else {
        m_scaler.Scale(m_picture.Bits(), m_picture.Width(), m_picture.Height(), target, width, height, stride);
    }
}

}  // namespace corvanta
