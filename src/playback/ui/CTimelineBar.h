#pragma once
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <span>

#include "playback/TimelineColumns.h"

namespace corvanta {

// A bar that shows a range of seconds of a day's activity: one coloured
// column per pixel, ticks, a position and a hover marker, and optionally a
// frame around a chosen range. The columns are drawn into a cached picture
// that is rebuilt only when the data, the range or the size change; hover
// and clicks only repaint. Seconds are -1 where none is meant.
class CTimelineBar : public QWidget {
public:
    explicit CTimelineBar(QWidget* parent = nullptr);

    // Not owned; must stay valid while the bar shows it.
    void SetData(std::span<const uint8_t> activity) { m_data = activity; }
    // Tick spacing in seconds; 0 or less draws none.
    void SetTickIntervals(int32_t longTicks, int32_t shortTicks);
    void SetShownRange(int32_t start, int32_t end);
    void SetPositionMarker(int32_t second) { m_positionMarker = second; }
    void SetHoverMarker(int32_t second) { m_hoverMarker = second; }
    int32_t PositionMarker() const { return m_positionMarker; }
    int32_t HoverMarker() const { return m_hoverMarker; }
    // Seconds counted from 0, not from the shown range: the frame is drawn
    // by the bar that shows the whole day.
    void SetSelectionFrame(bool shown, int32_t first, int32_t second);

    // The second under the mouse, -1 once it has left the bar.
    int32_t HoverSecond() const { return m_hoverSecond; }
    // Set by a left click; the owner clears the flag when it has acted.
    bool LeftClicked() const { return m_leftClicked; }
    int32_t LeftClickSecond() const { return m_leftClickSecond; }
    void ClearLeftClick() { m_leftClicked = false; }

    // Repaints at once; with `rebuild` the picture is drawn anew first.
    void Refresh(bool rebuild);

    const TimelineColumns& Columns() const { return m_columns; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    TimelineScale Scale() const { return TimelineScale{m_start, m_end, width()}; }
    void Rebuild();
    void CheckCursorLeft();
    void DrawTicks(QPainter& p, int32_t interval, int tickWidth, int tickHeight, const QColor& colour) const;

    std::span<const uint8_t> m_data;
    int32_t m_longTicks = -1;
    int32_t m_shortTicks = -1;
    bool m_frameShown = false;
    int32_t m_frameFirst = 0;
    int32_t m_frameSecond = 0;
    int32_t m_start = 0;
    int32_t m_end = 100;
    int32_t m_hoverSecond = -1;
    int32_t m_positionMarker = -1;
    int32_t m_hoverMarker = -1;
    bool m_leftClicked = false;
    int32_t m_leftClickSecond = -1;
    TimelineColumns m_columns;
    // Runs every 10 ms after a move until the cursor is off the bar. Leave
    // events would not do: Qt holds them back while a button is down.
    QTimer m_leaveCheck;
};

}  // namespace corvanta
