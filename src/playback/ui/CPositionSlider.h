#pragma once
#include <QSlider>

#include <functional>

namespace corvanta {

// The player's position slider: follows playback, except while the user
// holds it, and reports where it was let go.
class CPositionSlider : public QSlider {
public:
    explicit CPositionSlider(QWidget* parent = nullptr);

    // Moves the handle unless the user is dragging it.
    void RequestPosition(int position);
    bool Dragging() const { return m_dragging; }
    // Called with the position when the mouse button is released.
    void SetOnReleased(std::function<void(int)> onReleased) { m_onReleased = std::move(onReleased); }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_dragging = false;
    std::function<void(int)> m_onReleased;
};

}  // namespace corvanta
