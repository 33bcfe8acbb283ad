#pragma once

#include <QApplication>
#include <QTimer>

#include <functional>

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

// Runs `then` with the next modal dialog that is a `Dialog`, from inside its event loop.
template <typename Dialog>
void WhenModal(std::function<void(Dialog*)> then) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, then] {
        auto* dialog = dynamic_cast<Dialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        poll->stop();
        poll->deleteLater();
        then(dialog);
    });
    poll->start(5);
}

}  // namespace corvanta::test
