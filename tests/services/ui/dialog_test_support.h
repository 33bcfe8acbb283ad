#pragma once
// What the dialog tests share: one offscreen QApplication per process and a
// message-box sink that collects what would have been shown.

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QtTest/QTest>
#include <mutex>
#include <string>
#include <vector>

#include "framework/MessageBoxSink.h"
#include "support/TestFilters.h"

namespace corvanta::test {

inline QApplication& DialogApp() {
    static QApplication* app = [] {
        // Headless unless the person running the tests asks for a screen.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "test_services_ui";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return *app;
}

// Types `text` into `widget` as key presses carrying the characters, which
// also works for characters beyond ASCII.
inline void TypeText(QWidget* widget, const QString& text) {
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

// Clicks a check box or radio button on its indicator, as a person would.
inline void ClickIndicator(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(6, button->height() / 2));
}

// Records message boxes instead of showing them.
using CollectingMessageBoxes = RecordingMessageBoxes;

}  // namespace corvanta::test
