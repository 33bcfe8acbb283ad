#include "playback/RangeSliderModel.h"

#include <utility>

namespace corvanta {

namespace {

// The hit area of a handle: inside its black outline and above the
// double-width bottom edge.
SliderRect HitArea(const SliderRect& drawn) {
    return SliderRect{drawn.left + 1, drawn.top + 1, drawn.right - 1, drawn.bottom - 2};
}

}  // namespace

void RangeSliderModel::SetMinMax(double min, double max) {
    if (min > max) std::swap(min, max);
    m_min = min;
    m_max = max;
    Normalize();
}

void RangeSliderModel::SetRange(double left, double right, double gap) {
    m_left = left;
    m_right = right;
    m_gap = gap;
    Normalize();
}

void RangeSliderModel::Normalize() {
    if (m_left < m_min) {
        m_left = m_min;
        Notify(kRangeLeftHandle);
        if (m_right < m_left) {
            m_right = m_left;
            Notify(kRangeRightHandle);
        }
    }
    if (m_right > m_max) {
        m_right = m_max;
        Notify(kRangeRightHandle);
        if (m_left > m_right) {
            m_left = m_right;
            Notify(kRangeLeftHandle);
        }
    }
}

void RangeSliderModel::Notify(RangePart part) {
    if (m_notify) m_notify(part);
}

SliderGeometry RangeSliderModel::Layout(int32_t clientWidth, int32_t clientHeight) {
    m_handleWidth = clientHeight * 3 / 4;
    m_trackLength = clientWidth - 2 * m_handleWidth;
    m_clientHeight = clientHeight;
    const int32_t w = m_handleWidth, h = clientHeight;
    const int32_t xl = X(m_left), xr = X(m_right);
    SliderGeometry g;
    g.handleWidth = w;
    g.height = h;
    g.leftHandle = SliderRect{xl, 0, xl + w, h};
    g.rightHandle = SliderRect{xr + w, 0, xr + 2 * w, h};
    g.range = SliderRect{xl + w, 1, xr + w, h};
    g.leftHit = m_leftHit = HitArea(g.leftHandle);
    g.rightHit = m_rightHit = HitArea(g.rightHandle);
    return g;
}

int32_t RangeSliderModel::X(double value) const {
    const double span = m_max - m_min;
    if (span == 0.0) return 0;
    return static_cast<int32_t>((value - m_min) / span * m_trackLength + 0.5);
}

double RangeSliderModel::ValueAt(double x) const {
    return x / m_trackLength * (m_max - m_min) + m_min;
}

RangePart RangeSliderModel::HitTest(int32_t x, int32_t y) const {
    if (m_leftHit.Contains(x, y)) return kRangeLeftHandle;
    if (m_rightHit.Contains(x, y)) return kRangeRightHandle;
    const SliderRect between{m_leftHit.right + 1, 0, m_rightHit.left - 1, m_clientHeight};
    return between.Contains(x, y) ? kRangeWhole : kRangeNone;
}

bool RangeSliderModel::BeginDrag(int32_t x, int32_t y) {
    if (m_tracked != kRangeNone) return false;
    m_tracked = HitTest(x, y);
    return m_tracked != kRangeNone;
}

void RangeSliderModel::DragTo(int32_t x) {
    if (!HasTrack()) return;
    switch (m_tracked) {
        case kRangeLeftHandle: DragLeft(x); break;
        case kRangeRightHandle: DragRight(x); break;
        case kRangeWhole: DragWhole(x); break;
        case kRangeNone: break;
    }
}

// The handle's centre follows the mouse; it never comes closer to the
// right value than the gap, nor leaves the scale.
void RangeSliderModel::DragLeft(int32_t x) {
    m_left = ValueAt(x - m_handleWidth / 2);
    if (m_left + m_gap >= m_right) m_left = m_right - m_gap;
    if (m_left <= m_min) m_left = m_min;
    Notify(kRangeLeftHandle);
}

// Reported as the right handle only when the right value moved; a drag
// pinned at the gap or at the maximum is reported as the left handle.
void RangeSliderModel::DragRight(int32_t x) {
    const double before = m_right;
    m_right = ValueAt(x - 3 * m_handleWidth / 2);
    if (m_right <= m_left + m_gap) m_right = m_left + m_gap;
    if (m_right >= m_max) m_right = m_max;
    Notify(m_right != before ? kRangeRightHandle : kRangeLeftHandle);
}

// The range keeps its width; at either end it stops rather than shrinks.
void RangeSliderModel::DragWhole(int32_t x) {
    const double width = m_right - m_left;
    const double centre = ValueAt(x - m_handleWidth);
    m_left = centre - width / 2;
    m_right = centre + width / 2;
    if (m_left <= m_min) {
        m_left = m_min;
        m_right = m_min + width;
    }
    if (m_right >= m_max) {
        m_right = m_max;
        m_left = m_max - width;
    }
    Notify(kRangeWhole);
}

// The keys step one pixel's worth of the scale and, unlike dragging, do not
// keep the gap; only the scale's ends stop them.
bool RangeSliderModel::Key(Arrow arrow, bool shift, bool ctrl) {
    if (ctrl) return false;
    if (!HasTrack()) return true;
    const double step = (m_max - m_min) / m_trackLength * (arrow == Arrow::Right ? 1 : -1);
    m_right += step;
    if (!shift) m_left += step;
    if (m_right > m_max) m_right = m_max;
    if (m_left < m_min) m_left = m_min;
    if (m_right < m_left) {
        if (m_left == m_min) m_right = m_left;
        else m_left = m_right;
    }
    Notify(shift ? kRangeLeftHandle : kRangeWhole);
    return true;
}

}  // namespace corvanta
