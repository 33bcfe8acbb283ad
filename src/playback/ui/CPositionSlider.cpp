#include "playback/ui/CPositionSlider.h"

#include <QMouseEvent>

namespace corvanta {

CPositionSlider::CPositionSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setTickPosition(QSlider::NoTicks);
    setRange(0, 1);
    // Keys belong to the player's shortcuts.
    setFocusPolicy(Qt::NoFocus);
}

void CPositionSlider::RequestPosition(int position) {
    if (!m_dragging) setValue(position);
}

void CPositionSlider::mousePressEvent(QMouseEvent* event) {
    m_dragging = true;
    QSlider::mousePressEvent(event);
}

void CPositionSlider::mouseReleaseEvent(QMouseEvent* event) {
    QSlider::mouseReleaseEvent(event);
    const bool wasDragging = m_dragging;
    m_dragging = false;
    if (wasDragging && m_onReleased) m_onReleased(value());
}

}  // namespace corvanta
