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
    setValue(kJogMiddle);
}

// A wheel step has no release to end it: left off the middle, the jog
// would run on.
void CJogSlider::wheelEvent(QWheelEvent* event) {
    QSlider::wheelEvent(event);
    setValue(kJogMiddle);
}

}  // namespace corvanta
