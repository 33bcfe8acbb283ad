#pragma once
#include <QWidget>

#include <cstdint>
#include <functional>

#include "platform/WindowTypes.h"
#include "playback/RangeSliderModel.h"

namespace corvanta {

inline constexpr char kRangeChangedMessageName[] = "RANGE_CHANGED{2E7439A4-12DB-42a2-BB95-3462B3EC39CE}CRangeSlider";

// The registered number of kRangeChangedMessageName, registered on first
// use and the same in every process of the user.
uint32_t RangeChangedMessage();

// A horizontal slider with two handles that chooses a range of a scale:
// drag a handle, or the white range between them as a whole, or step with
// the arrow keys (Shift moves only the right value). Each change is sent at
// once to the parent window as RangeChangedMessage() with wParam = the part
// (RangePart) and lParam = the control id, and to the callback if one is
// set; both run before the slider repaints.
class CRangeSlider : public QWidget {
public:
    explicit CRangeSlider(QWidget* parent = nullptr);

    // Where notifications go in the window system; 0 sends none.
    void SetNotifyTarget(platform::Hwnd parentWindow, int32_t controlId);
    // For hosts without a window handle.
    void SetOnRangeChanged(std::function<void(RangePart)> callback) { m_callback = std::move(callback); }

    void SetMinMax(double min, double max);
    void SetRange(double left, double right, double minimumGap);
    void GetMinMax(double& min, double& max) const;
    void GetRange(double& left, double& right) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void Notify(RangePart part);

    RangeSliderModel m_model;
    platform::Hwnd m_parentWindow = 0;
    int32_t m_controlId = 0;
    std::function<void(RangePart)> m_callback;
};

}  // namespace corvanta
