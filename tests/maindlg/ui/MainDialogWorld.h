#pragma once
// What a main-dialog test stands on: the recorder stand-in on a free port,
// a temporary home (registry, dictionary, current folder) and answers typed
// into the modal login dialog as a person would.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <QtTest/QTest>
#include <filesystem>
#include <functional>

#include "services/recorder_world.h"
#include "services/ui/CLoginDlg.h"
#include "support/QtTestApp.h"

namespace corvanta::test {

class TempHome {
public:
    TempHome() {
        char tmpl[] = "/tmp/corvanta-maindlg-test-XXXXXX";
        if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp");
        m_dir = tmpl;
        m_oldCwd = std::filesystem::current_path();
        std::filesystem::create_directories(m_dir + "/work");
        std::filesystem::current_path(m_dir + "/work");
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "HOME"})
            setenv(name, (m_dir + "/" + name).c_str(), 1);
    }
    ~TempHome() {
        std::error_code ec;
        std::filesystem::current_path(m_oldCwd, ec);
        std::filesystem::remove_all(m_dir, ec);
    }
    const std::string& Dir() const { return m_dir; }

private:
    std::string m_dir;
    std::filesystem::path m_oldCwd;
};

// Seconds no other test process draws an instance from.
inline long long OwnSeconds() { return 1000000 + getpid(); }

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
