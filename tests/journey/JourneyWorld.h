#pragma once
// A user's journey through the viewer, driven through the real widgets with
// mouse and key events against the recorder stand-in: what both the plain
// journey and its twin with faults stand on.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QTabBar>
#include <QToolBar>
#include <QTreeWidget>
#include <QtTest/QTest>
#include <functional>

#include "maindlg/ui/CArchiveMainDlg.h"
#include "maindlg/ui/CPaneTabCtrl.h"
#include "maindlg/ui/MainDialogWorld.h"
#include "playback/ui/CPlayerControlDlg.h"
#include "playback/ui/CPlayerDlg.h"
#include "support/WaitFor.h"

namespace corvanta::test {

// Runs Qt's loop until `done` holds; false after `ms`.
inline bool PumpUntil(const std::function<bool()>& done, uint32_t ms) {
    return WaitFor([&] {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        return done();
    }, ms);
}

inline void Pump(int ms) {
    PumpUntil([] { return false; }, uint32_t(ms));
}

inline void ClickItem(QTreeWidget* tree, QTreeWidgetItem* item, bool twice = false) {
    tree->scrollToItem(item);
    const QPoint at = tree->visualItemRect(item).center();
    if (twice) QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);
    else QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
}

// Opens an item's branch as a user does: selects it and presses Right.
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

inline void ClickControl(ui::CTemplateDialog* dialog, int id) {
    QTest::mouseClick(dialog->ControlAs<QAbstractButton>(id), Qt::LeftButton);
}

inline void ClickTab(CPaneTabCtrl* tabs, int index) {
    QTest::mouseClick(tabs->Tabs(), Qt::LeftButton, {}, tabs->Tabs()->tabRect(index).center());
}

inline void ClickToolbar(CArchiveMainDlg& dialog, int command) {
    QTest::mouseClick(dialog.Toolbar()->widgetForAction(dialog.Command(command)), Qt::LeftButton);
}

// Answers the save dialog the next action opens with `path`.
inline void AnswerSaveDialog(const QString& path) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [=] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        poll->stop();
        poll->deleteLater();
        dialog->selectFile(path);
        QMetaObject::invokeMethod(dialog, "accept");  // presses Save, with its checks
    });
    poll->start(5);
}

// Drags a slider's handle from its middle by `dx` pixels and lets go after
// `holdMs` of Qt's loop.
inline void DragSlider(QWidget* slider, int fromX, int dx, int holdMs) {
    const int y = slider->height() / 2;
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(fromX, y));
    QTest::mouseMove(slider, QPoint(fromX + dx, y));
    Pump(holdMs);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(fromX + dx, y));
}

}  // namespace corvanta::test
