#include "playback/ui/CTimelineBar.h"

#include <QCursor>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

namespace corvanta {

namespace {

const QColor kPositionColour(50, 50, 250);
const QColor kHoverColour(220, 20, 30);

}  // namespace

CTimelineBar::CTimelineBar(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    m_leaveCheck.setInterval(10);
    connect(&m_leaveCheck, &QTimer::timeout, this, [this] { CheckCursorLeft(); });
}

void CTimelineBar::SetTickIntervals(int32_t longTicks, int32_t shortTicks) {
    m_longTicks = longTicks;
    m_shortTicks = shortTicks;
}

void CTimelineBar::SetShownRange(int32_t start, int32_t end) {
    m_start = start;
    m_end = end;
}

void CTimelineBar::SetSelectionFrame(bool shown, int32_t first, int32_t second) {
    m_frameShown = shown;
    m_frameFirst = first;
    m_frameSecond = second;
}

void CTimelineBar::Refresh(bool rebuild) {
    if (rebuild) Rebuild();
    repaint();
}

void CTimelineBar::Rebuild() {
    if (!m_data.empty()) m_columns.Rebuild(m_data, m_start, m_end);
}

void CTimelineBar::resizeEvent(QResizeEvent*) {
    if (width() <= 0) return;
    m_columns.Resize(width(), height());
    Rebuild();
}

void CTimelineBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const CFrameImage& picture = m_columns.Picture();
    if (picture.Bits()) {
        const QImage image(picture.Bits(), int(picture.Width()), int(picture.Height()),
                           qsizetype(picture.Width()) * 3, QImage::Format_BGR888);
        // 1:1, turned upright by the transform rather than by copying rows.
        p.save();
        p.translate(0, picture.Height());
        p.scale(1, -1);
        p.drawImage(0, 0, image);
        p.restore();
    }
    const TimelineScale scale = Scale();
    const int ch = height();
    if (m_positionMarker >= 0 && scale.Shows(m_positionMarker)) {
        p.fillRect(scale.X(m_positionMarker), 0, 2, ch - 1, kPositionColour);
    }
    if (m_hoverMarker >= 0 && scale.Shows(m_hoverMarker)) {
        p.fillRect(scale.X(m_hoverMarker), 3, 1, ch - 7, kHoverColour);
    }
    DrawTicks(p, m_shortTicks, 2, ch / 7, Qt::black);
    DrawTicks(p, m_longTicks, 3, ch / 4, Qt::white);
    if (m_frameShown) {
        const double pps = scale.PixelsPerSecond();
        const int left = int(m_frameFirst * pps), right = int(m_frameSecond * pps);
        p.setPen(Qt::black);
        p.setBrush(Qt::NoBrush);
        if (right > left) p.drawRect(left, 0, right - left - 1, ch - 1);
    }
}

void CTimelineBar::DrawTicks(QPainter& p, int32_t interval, int tickWidth, int tickHeight,
                             const QColor& colour) const {
    if (interval <= 0 || m_end <= m_start) return;
    const TimelineScale scale = Scale();
    const int64_t past = ((int64_t{m_start} % interval) + interval) % interval;
    const int64_t first = m_start + (past ? interval - past : 0);
    for (int64_t s = first; s < m_end; s += interval) p.fillRect(scale.X(int32_t(s)), 0, tickWidth, tickHeight, colour);
}

void CTimelineBar::mouseMoveEvent(QMouseEvent* event) {
    m_hoverSecond = Scale().SecondAt(event->position().toPoint().x());
    m_leaveCheck.start();
}

void CTimelineBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    m_leftClickSecond = Scale().SecondAt(event->position().toPoint().x());
    m_leftClicked = true;
}

// The edges count as inside, so a cursor resting on the border keeps the hover.
void CTimelineBar::CheckCursorLeft() {
    const QPoint at = mapFromGlobal(QCursor::pos());
    if (at.x() >= 0 && at.y() >= 0 && at.x() <= width() && at.y() <= height()) return;
    m_hoverSecond = -1;
    m_leaveCheck.stop();
}

}  // namespace corvanta
