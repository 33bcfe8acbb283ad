#pragma once
#include <QSlider>

namespace corvanta {

// The jog slider: held off its middle it moves the player frame by frame
// (faster the further out), and it springs back to the middle when let go
// or after a wheel step.
class CJogSlider : public QSlider {
public:
    explicit CJogSlider(QWidget* parent = nullptr);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
};

}  // namespace corvanta
