#pragma once
// Answers typed into the modal login dialog as a person would, clicks on the
// main dialog, and the demo archive's busy day.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTabBar>
#include <QToolBar>
#include <QTreeWidget>
#include <QtTest/QTest>
#include <functional>
#include <map>

#include "maindlg/ui/CArchiveMainDlg.h"
#include "maindlg/ui/CPaneTabCtrl.h"
#include "recorder/Calendar.h"
#include "services/recorder_world.h"
#include "services/service_test_env.h"
#include "services/ui/CLoginDlg.h"
#include "support/QtTestApp.h"

namespace corvanta::test {

// Fills the login dialog that the next action opens (the server URL with
// FilterServerURL as it is now) and presses OK, or Cancel when `user` is
// null, or "Log Off..." when `logOff` is set.
inline void AnswerLogin(const char* user, const char* password = "demo", bool logOff = false) {
    const QString url = QString::fromStdString(FilterServerURL());
    WhenModal<ui::CLoginDlg>([=](ui::CLoginDlg* dialog) {
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
}

// A tree item clicked where a person clicks it, and opened with the Right key.
inline void ClickItem(QTreeWidget* tree, QTreeWidgetItem* item) {
    tree->scrollToItem(item);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
}

inline void OpenItem(QTreeWidget* tree, QTreeWidgetItem* item) {
    ClickItem(tree, item);
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Right);
}

inline QTreeWidgetItem* ChildWithText(QTreeWidgetItem* parent, const QString& text) {
    for (int i = 0; i < parent->childCount(); ++i)
        if (parent->child(i)->text(0) == text) return parent->child(i);
    return nullptr;
}

inline void ClickCommand(CArchiveMainDlg& dialog, int command) {
    QTest::mouseClick(dialog.Toolbar()->widgetForAction(dialog.Command(command)), Qt::LeftButton);
}

inline void ClickTab(CPaneTabCtrl* tabs, int index) {
    QTest::mouseClick(tabs->Tabs(), Qt::LeftButton, Qt::NoModifier, tabs->Tabs()->tabRect(index).center());
}

// The login button answered as AnswerLogin does.
inline void LogIn(CArchiveMainDlg& dialog, const char* user = "demo", const char* password = "demo",
                  bool logOff = false) {
    AnswerLogin(user, password, logOff);
    ClickCommand(dialog, CArchiveMainDlg::kCmdLogin);
}

// A day of source 0 with at least `recordings` recordings that start and end on it.
inline recorder::CivilDate BusyDay(const recorder::DemoArchive& archive, int recordings) {
    std::map<int64_t, int> perDay;
    for (const auto& r : archive.recordings(0))
        if (recorder::dateOf(r.start) == recorder::dateOf(r.stop - 1)) ++perDay[r.start / recorder::kSecondsPerDay];
    for (auto [day, n] : perDay)
        if (n >= recordings) return recorder::dateOf(day * recorder::kSecondsPerDay);
    return {};
}

inline void SaveScreenshot(QWidget* widget, const char* name) {
    const QImage picture = widget->grab().toImage();
    picture.save(QStringLiteral(SCREENSHOT_DIR "/") + name, "PNG");
}

}  // namespace corvanta::test
