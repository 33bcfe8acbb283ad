#pragma once
// Answers typed into the modal login dialog as a person would.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <QtTest/QTest>
#include <functional>

#include "services/recorder_world.h"
#include "services/service_test_env.h"
#include "services/ui/CLoginDlg.h"
#include "support/QtTestApp.h"

namespace corvanta::test {

// The main dialog draws its own instance and starts its own manager.
class TempHome : public ServiceWorld {
public:
    TempHome() : ServiceWorld(false) {}
};

// Fills the login dialog that the next action opens (the server URL with
// FilterServerURL as it is now) and presses OK, or Cancel when `user` is
// null, or "Log Off..." when `logOff` is set.
inline void AnswerLogin(const char* user, const char* password = "demo", bool logOff = false) {
    const QString url = QString::fromStdString(FilterServerURL());
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [=] {
        auto* dialog = dynamic_cast<ui::CLoginDlg*>(QApplication::activeModalWidget());
        if (!dialog) return;
        poll->deleteLater();
        poll->stop();
        if (logOff) {
            QTest::mouseClick(dialog->ControlAs<QAbstractButton>(ui::CLoginDlg::kIdLogOff), Qt::LeftButton);
            return;
        }
        if (!user) {
            dialog->reject();
            return;
        }
        auto* server = dialog->ControlAs<QLineEdit>(ui::CLoginDlg::kIdServerUrl);
        server->clear();
        QTest::keyClicks(server, url);
        auto* name = dialog->ControlAs<QLineEdit>(ui::CLoginDlg::kIdUserName);
        auto* pswd = dialog->ControlAs<QLineEdit>(ui::CLoginDlg::kIdPassword);
        name->clear();
        pswd->clear();
        QTest::keyClicks(name, user);
        QTest::keyClicks(pswd, password);
        QTest::mouseClick(dialog->ControlAs<QAbstractButton>(ui::kIdOk), Qt::LeftButton);
    });
    poll->start(5);
}

inline void SaveScreenshot(QWidget* widget, const char* name) {
    const QImage picture = widget->grab().toImage();
    picture.save(QStringLiteral(SCREENSHOT_DIR "/") + name, "PNG");
}

}  // namespace corvanta::test
