#pragma once
// The one QApplication of a widget test binary, made before any widget.

#include <QApplication>

namespace corvanta::test {

// Offscreen unless the person running the tests asks for a screen. Never
// destroyed: at exit Qt's own statics may already be gone, and tearing the
// application down then crashes.
inline QApplication& QtTestApp() {
    static QApplication* app = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "corvanta-widget-test";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return *app;
}

}  // namespace corvanta::test
