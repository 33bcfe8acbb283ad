#pragma once

#include <QApplication>

namespace corvanta::test {

// Offscreen unless a screen is asked for. Never destroyed: at exit Qt's own
// statics may already be gone.
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
