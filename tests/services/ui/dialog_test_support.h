#pragma once
// What the dialog tests share: one offscreen QApplication per process, typing
// and clicking as a person would, and the message boxes kept instead of shown.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest/QTest>

#include "support/QtTestApp.h"

#include "services/CLanguageTranslator.h"
#include "services/LanguageDictionary.h"
#include "services/service_test_env.h"
#include "services/ui/ControlIdentity.h"
#include "support/TestFilters.h"

namespace corvanta::test {

inline QApplication& DialogApp() { return QtTestApp(); }

// Key presses carrying the characters, which works beyond ASCII too.
inline void TypeText(QWidget* widget, const QString& text) {
    for (QChar c : text)
        for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent event(type, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(widget, &event);
        }
}

// A check box or radio button clicked on its indicator.
inline void ClickIndicator(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(6, button->height() / 2));
}

}  // namespace corvanta::test
