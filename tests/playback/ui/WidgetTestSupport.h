#pragma once
// What the widget tests of the day timeline share: the application, pixel
// reads and synthetic mouse events.

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>

#include "support/QtTestApp.h"

namespace corvanta::test {

inline QApplication& App() { return QtTestApp(); }

inline QRgb At(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xFFFFFF;
}

// A left-button event at (x, 8); moves carry the button while `held`.
inline void Mouse(QWidget& widget, QEvent::Type type, int x, bool held = false) {
    const QPointF at(x, 8);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const bool down = type == QEvent::MouseButtonPress || (type == QEvent::MouseMove && held);
    QMouseEvent event(type, at, widget.mapToGlobal(at), button, down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

}  // namespace corvanta::test
