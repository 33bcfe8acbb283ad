#include <gtest/gtest.h>
#include <dlfcn.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QShortcut>
#include <QTableWidget>
#include <QVariant>
#include <functional>

#include "control/CCorvantaArchiveCtrl.h"
#include "control/CShortcutsDlg.h"
#include "control/ComRegistration.h"
#include "control/ControlIdentities.h"
#include "control/CorvantaArchiveModule.h"
#include "control/KeyboardShortcuts.h"
#include "framework/InstanceNames.h"
#include "maindlg/ui/CArchiveMainDlg.h"
#include "maindlg/ui/CPaneTabCtrl.h"
#include "playback/ui/CPlayerDlg.h"
#include "platform/RegistryStorage.h"
#include "remote/RemoteSession.h"
#include "services/ui/CLoginDlg.h"
#include "support/TestFilters.h"
#include "support/QtTestApp.h"
#include "support/TempConfigHome.h"

namespace corvanta {
namespace {

int ShmEntriesOf(int instance) { return test::CountEntries("/dev/shm", "_" + std::to_string(instance) + "."); }

class ControlWidget : public testenv::TempConfigHome {
protected:
    void SetUp() override {
        TempConfigHome::SetUp();
        test::QtTestApp();
    }
};

TEST_F(ControlWidget, PropertiesRebuildTheBaseUrlAndTheDialogFillsTheControl) {
    QWidget host;
    auto* control = new CCorvantaArchiveCtrl(&host, 1000000 + getpid());
    EXPECT_EQ(control->InstanceNumber(), 0) << "no window yet";
    control->setProperty("ServerURL", "http://10.1.2.3");
    EXPECT_EQ(FilterServerURL(), "http://10.1.2.3");
    control->setProperty("ServerPort", 8080);
    EXPECT_EQ(FilterServerURL(), "http://10.1.2.3:8080");
    EXPECT_TRUE(control->IsModified());

    control->resize(800, 500);
    host.show();
    ASSERT_NE(control->MainDialog(), nullptr);
    EXPECT_NE(control->InstanceNumber(), 0);
    control->resize(640, 480);
    EXPECT_EQ(control->MainDialog()->geometry(), QRect(0, 0, 640, 480));

    const QByteArray saved = control->SaveProperties();
    EXPECT_FALSE(control->IsModified());
    CCorvantaArchiveCtrl other;
    EXPECT_TRUE(other.LoadProperties(saved));
    EXPECT_EQ(other.property("ServerURL").toString(), "http://10.1.2.3");
    EXPECT_EQ(other.property("ServerPort").toInt(), 8080);
    EXPECT_FALSE(other.LoadProperties("Version=2.0\nServerPort=81\n"));
    EXPECT_EQ(other.property("ServerPort").toInt(), 80) << "another version leaves the defaults";
    EXPECT_EQ(FilterServerURL(), "");
}

// A host may destroy the control at any moment, also while a dialog of it
// runs its own loop on the stack of whoever opened it.
TEST_F(ControlWidget, DestroyingTheControlWhileADialogIsOpenEndsTheDialogThenShutsDown) {
    const std::pair<const char*, std::function<void(CCorvantaArchiveCtrl*)>> openers[] = {
        {"about box", [](CCorvantaArchiveCtrl* c) { QMetaObject::invokeMethod(c, "AboutBox"); }},
        {"shortcuts box", [](CCorvantaArchiveCtrl* c) { QMetaObject::invokeMethod(c, "ShortcutsBox"); }},
        {"property page", [](CCorvantaArchiveCtrl* c) { QMetaObject::invokeMethod(c, "ShowPropertyPage"); }},
        {"login dialog", [](CCorvantaArchiveCtrl* c) { c->MainDialog()->Login(); }},
        {"a pane's save dialog",
         [](CCorvantaArchiveCtrl* c) {
             // As the player opens its save dialog: on its stack, then on with its own pane.
             CPaneTabCtrl* pane = c->MainDialog()->RightTab();
             QFileDialog dialog(pane);
             if (dialog.exec() != QDialog::Accepted) pane->update();
         }},
        {"message box", [](CCorvantaArchiveCtrl*) { ShowMessageBox("Out of range"); }},
    };
    int seconds = 3000000 + getpid() * 8;
    for (const auto& [what, open] : openers) {
        QWidget host;
        QPointer<CCorvantaArchiveCtrl> control = new CCorvantaArchiveCtrl(&host, ++seconds);
        host.show();
        const int instance = control->InstanceNumber();
        ASSERT_GT(ShmEntriesOf(instance), 0) << what;
        test::WhenModal<QWidget>([&](QWidget*) { delete control.data(); });
        open(control);
        EXPECT_TRUE(control.isNull()) << what;
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << what << " was ended";
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(ShmEntriesOf(instance), 0) << what << ": the framework shut down";
        EXPECT_TRUE(host.children().isEmpty()) << what;
    }
}

// The shortcuts box shows the whole table, and the table names every key
// the player and the toolbar answer, where they answer it.
TEST_F(ControlWidget, TheShortcutsBoxListsEveryKeyOfThePlayerAndTheToolbar) {
    QWidget host;
    auto* control = new CCorvantaArchiveCtrl(&host, 5000000 + getpid());
    host.show();
    QStringList keys;
    {
        CPlayerDlg player("Shortcuts Test Player");
        for (const QShortcut* shortcut : player.findChildren<QShortcut*>())
            keys << "Player: " + shortcut->key().toString(QKeySequence::NativeText);
    }
    ASSERT_FALSE(keys.isEmpty());
    const QAction* refresh = control->MainDialog()->Command(CArchiveMainDlg::kCmdRefresh);
    ASSERT_NE(refresh, nullptr);
    keys << "Toolbar: " + refresh->shortcut().toString(QKeySequence::NativeText);

    QStringList shown;
    test::WhenModal<control::CShortcutsDlg>([&shown](control::CShortcutsDlg* box) {
        const QTableWidget* table = box->Table();
        for (int row = 0; row < table->rowCount(); ++row)
            shown << table->item(row, 0)->text() + ": " + table->item(row, 1)->text();
        box->reject();
    });
    EXPECT_TRUE(QMetaObject::invokeMethod(control, "ShortcutsBox"));
    EXPECT_EQ(shown.size(), qsizetype(control::KeyboardShortcuts().size()));
    for (const QString& key : keys) EXPECT_TRUE(shown.contains(key)) << key.toStdString();
}

// The host's --server-url and --server-port arrive as the two properties.
TEST_F(ControlWidget, TheLoginDialogStartsWithTheControlsServerWhileNoneIsStored) {
    QWidget host;
    auto* control = new CCorvantaArchiveCtrl(&host, 4000000 + getpid());
    control->setProperty("ServerURL", "http://127.0.0.1");
    control->setProperty("ServerPort", 1);  // nothing listens: start-up's privilege check fails at once
    host.show();
    const auto shownUrl = [control] {
        std::string shown = "<no dialog>";
        test::WhenModal<ui::CLoginDlg>([&shown](ui::CLoginDlg* login) {
            shown = login->ControlAs<QLineEdit>(ui::CLoginDlg::kIdServerUrl)->text().toStdString();
            login->reject();
        });
        control->MainDialog()->Login();
        return shown;
    };
    EXPECT_EQ(shownUrl(), "http://127.0.0.1:1");
    control->setProperty("ServerPort", 80);
    EXPECT_EQ(shownUrl(), "http://127.0.0.1");
    control->setProperty("ServerURL", "");
    EXPECT_EQ(shownUrl(), "http://") << "nothing stored, nothing given";
}

// Each control keeps its own message boxes, whichever goes first.
TEST_F(ControlWidget, TwoControlsInOneProcessShowMessageBoxesInAnyOrderOfDestruction) {
    test::RecordingMessageBoxes beforeAny;
    int seconds = 5000000 + getpid() * 4;
    for (bool firstGoesFirst : {true, false}) {
        QWidget host;
        QPointer<CCorvantaArchiveCtrl> first = new CCorvantaArchiveCtrl(&host, ++seconds);
        host.show();
        QPointer<CCorvantaArchiveCtrl> second = new CCorvantaArchiveCtrl(&host, ++seconds);
        second->show();
        ASSERT_NE(second->MainDialog(), nullptr);
        QPointer<CCorvantaArchiveCtrl> gone = firstGoesFirst ? first : second;
        QPointer<CCorvantaArchiveCtrl> kept = firstGoesFirst ? second : first;
        delete gone.data();

        QWidget* boxParent = nullptr;
        std::string boxText;
        test::WhenModal<QMessageBox>([&](QMessageBox* box) {
            boxParent = box->parentWidget();
            boxText = box->text().toStdString();
            box->reject();
        });
        ShowMessageBox("Out of range");
        EXPECT_EQ(boxText, "Out of range") << firstGoesFirst;
        EXPECT_TRUE(boxParent && kept->isAncestorOf(boxParent)) << "the box belongs to the control still there";

        delete kept.data();
        const size_t recorded = beforeAny.Texts().size();
        ShowMessageBox("2");
        ASSERT_EQ(beforeAny.Texts().size(), recorded + 1) << firstGoesFirst;
        EXPECT_EQ(beforeAny.Texts().back(), "2") << "the sink from before both controls is back";
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// The module as a host loads it: found by its ProgID once registered.
TEST_F(ControlWidget, TheModuleRegistersItselfAndMakesControlsThroughItsEntryPoints) {
    void* module = dlopen(MODULE_FILE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    auto reg = reinterpret_cast<int32_t (*)()>(dlsym(module, "DllRegisterServer"));
    auto unreg = reinterpret_cast<int32_t (*)()>(dlsym(module, "DllUnregisterServer"));
    auto create = reinterpret_cast<void* (*)(void*)>(dlsym(module, CORVANTA_ARCHIVE_CREATE_SYMBOL));
    auto destroy = reinterpret_cast<void (*)(void*)>(dlsym(module, "CorvantaArchiveDestroyControl"));
    ASSERT_TRUE(reg && unreg && create && destroy);
    EXPECT_EQ(dlsym(module, "_ZN8corvanta18SetFilterServerURLESt17basic_string_viewIcSt11char_traitsIcEE"), nullptr)
        << "only the entry points leave the module";

    const platform::RegistryStorage registry(platform::RegistryStorage::DefaultFile());
    ASSERT_EQ(reg(), control::kRegOk);
    const std::string path = control::RegisteredModulePath(registry, CORVANTA_ARCHIVE_PROGID);
    void* again = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    EXPECT_EQ(again, module) << path;
    if (again) dlclose(again);

    QWidget host;
    auto* control = static_cast<QWidget*>(create(&host));
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->parentWidget(), &host);
    destroy(control);
    EXPECT_TRUE(host.children().isEmpty());

    ASSERT_EQ(unreg(), control::kRegOk);
    EXPECT_EQ(control::RegisteredModulePath(registry, CORVANTA_ARCHIVE_PROGID), "");
}

}  // namespace
}  // namespace corvanta
