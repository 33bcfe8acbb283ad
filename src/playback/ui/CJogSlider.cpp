#include "playback/ui/CJogSlider.h"

#include "playback/PlaybackClock.h"

namespace corvanta {

CJogSlider::CJogSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setRange(kJogMin, kJogMax);
    // One tick, at the middle.
    setTickPosition(QSlider::TicksBelow);
    setTickInterval(kJogMiddle - kJogMin);
    setValue(kJogMiddle);
    setFocusPolicy(Qt::NoFocus);
}

void CJogSlider::mouseReleaseEvent(QMouseEvent* event) {
    QSlider::mouseReleaseEvent(event);
    setValue((minimum() + maximum()) / 2);
}

}  // namespace corvanta
