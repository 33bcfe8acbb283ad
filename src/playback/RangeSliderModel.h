#pragma once
#include <cstdint>
#include <functional>

namespace corvanta {

// The parts of a range slider, also the notification's part number.
enum RangePart : int32_t {
    kRangeNone = -1,
    kRangeLeftHandle = 0,
    kRangeRightHandle = 1,
    kRangeWhole = 2,
};

// A rectangle that holds left <= x < right and top <= y < bottom.
struct SliderRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    bool Contains(int32_t x, int32_t y) const { return x >= left && x < right && y >= top && y < bottom; }
};

// What one paint of the slider draws, in client pixels.
struct SliderGeometry {
    int32_t handleWidth = 0;
    int32_t height = 0;
    SliderRect leftHandle;   // outlines as drawn
    SliderRect rightHandle;
    SliderRect leftHit;      // inside the outlines: hit areas, and where
    SliderRect rightHit;     // the raised edges are drawn
    SliderRect range;        // the white area between the handles
};

// The state and rules of a horizontal two-handle slider, without any
// drawing: the scale, the chosen range, the geometry of the last paint,
// dragging and the arrow keys. Every correction of the range is reported
// at once through the notifier, in the order it is made.
//
// A slider whose maximum equals its minimum puts every value at pixel 0.
// One without a track (client narrower than two handles) has no pixel
// scale at all: moves and arrow keys then change nothing and report
// nothing, rather than dividing by zero.
class RangeSliderModel {
public:
    using Notifier = std::function<void(RangePart)>;

    void SetNotifier(Notifier notifier) { m_notify = std::move(notifier); }

    // Swaps the two when min > max, then pulls the range inside.
    void SetMinMax(double min, double max);
    // `gap` is the distance dragging a handle keeps between left and right.
    void SetRange(double left, double right, double gap);
    double Minimum() const { return m_min; }
    double Maximum() const { return m_max; }
    double Left() const { return m_left; }
    double Right() const { return m_right; }
    double Gap() const { return m_gap; }

    // Recomputes handle width and track length for a client size and
    // remembers the handles' hit areas; the painter draws what it returns.
    SliderGeometry Layout(int32_t clientWidth, int32_t clientHeight);
    int32_t HandleWidth() const { return m_handleWidth; }
    int32_t TrackLength() const { return m_trackLength; }
    // The pixel offset of a value on the track.
    int32_t X(double value) const;

    // The part under a point of the last painted slider, or kRangeNone.
    RangePart HitTest(int32_t x, int32_t y) const;
    // Starts dragging the part under the point; false when none is hit or a
    // drag is already on.
    bool BeginDrag(int32_t x, int32_t y);
    void DragTo(int32_t x);
    void EndDrag() { m_tracked = kRangeNone; }
    RangePart Tracked() const { return m_tracked; }

    enum class Arrow { Left, Right };
    // One pixel's worth of movement: both values, or with `shift` only the
    // right one. False when the key is not the slider's (Ctrl held).
    bool Key(Arrow arrow, bool shift, bool ctrl);

private:
    void Normalize();
    void Notify(RangePart part);
    bool HasTrack() const { return m_trackLength > 0; }
    // The value under pixel `x` of the track; needs a track.
    double ValueAt(double x) const;
    void DragLeft(int32_t x);
    void DragRight(int32_t x);
    void DragWhole(int32_t x);

    double m_min = 0.0;
    double m_max = 1.0;
    double m_left = 0.0;
    double m_right = 1.0;
    double m_gap = 0.0;
    int32_t m_handleWidth = 10;
    int32_t m_trackLength = 0;  // no track until the first paint
    int32_t m_clientHeight = 0;
    SliderRect m_leftHit;
    SliderRect m_rightHit;
    RangePart m_tracked = kRangeNone;
    Notifier m_notify;
};

}  // namespace corvanta
