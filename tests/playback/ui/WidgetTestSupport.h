#pragma once
// What the widget tests of the day timeline share: the application, pixel
// reads and synthetic mouse events.

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>

namespace corvanta::test {

// Made before any widget; the one application of the test binary. Never
// destroyed: at exit Qt's own statics may already be gone, and tearing the
// application down then crashes.
inline QApplication& App() {
    static QApplication* app = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "test_playback_ui";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return *app;
}

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
