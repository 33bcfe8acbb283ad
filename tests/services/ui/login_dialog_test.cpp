// The "Remote Login" dialog driven like a person would, offscreen, against
// the recorder stand-in in this process, with the translator, the privilege
// proxy and the main dialog's settings store in a temporary home.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest/QTest>

#include "remote/RemoteSession.h"
#include "services/CLanguageTranslator.h"
#include "services/CUserPrivilegeProxy.h"
#include "services/LanguageDictionary.h"
#include "services/MainDialogSettings.h"
#include "services/UserAccess.h"
#include "services/recorder_world.h"
#include "services/service_test_env.h"
#include "services/ui/CLoginDlg.h"
#include "services/ui/ControlIdentity.h"
#include "services/ui/dialog_test_support.h"
#include "stores/CSettingsStore.h"

using namespace corvanta;
using namespace corvanta::ui;
using corvanta::test::ServiceWorld;
using Dlg = corvanta::ui::CLoginDlg;

namespace {

class LoginDialog : public ::testing::Test {
protected:
    void SetUp() override {
        test::DialogApp();
        ASSERT_TRUE(recorder.Started());
        ASSERT_EQ(translator.Startup(), 1);
        ASSERT_EQ(proxy.Startup(), 1);
        ASSERT_TRUE(ServiceWorld::Registered(kLanguageTranslatorName));
        ASSERT_TRUE(ServiceWorld::Registered(kUserPrivilegeFilterName));
        ASSERT_EQ(DeclareMainDialogSettings(store), 1);
        store.Load();
    }

    static QLineEdit* Edit(Dlg& dialog, int id) { return dialog.ControlAs<QLineEdit>(id); }
    static void Type(Dlg& dialog, int id, const QString& text) {
        Edit(dialog, id)->clear();
        test::TypeText(Edit(dialog, id), text);
    }
    static void Click(Dlg& dialog, int id) {
        QTest::mouseClick(dialog.ControlAs<QPushButton>(id), Qt::LeftButton);
    }
    // Opens a dialog on the store and fills in what a person types.
    void Fill(Dlg& dialog, const QString& user, const QString& password, bool save) {
        dialog.open();
        Type(dialog, Dlg::kIdServerUrl, QString::fromStdString(recorder.BaseUrl()));
        Type(dialog, Dlg::kIdUserName, user);
        Type(dialog, Dlg::kIdPassword, password);
        if (save) test::ClickIndicator(dialog.ControlAs<QCheckBox>(Dlg::kIdSaveLoginData));
    }
    std::string StoredText(const char* name) {
        std::string text;
        EXPECT_EQ(store.GetText(name, text), 1) << name;
        return text;
    }
    int32_t StoredInt(const char* name) {
        int32_t value = -1;
        EXPECT_EQ(store.GetInt(name, value), 1) << name;
        return value;
    }

    ServiceWorld world;
    test::RecorderWorld recorder;
    CLanguageTranslator translator;
    CUserPrivilegeProxy proxy;
    CSettingsStore store;
    test::CollectingMessageBoxes boxes;
};

struct Expected {
    int id;
    const char* windowClass;
    const char* text;
};

}  // namespace

// --- What the dialog shows ---------------------------------------------------

TEST_F(LoginDialog, EveryControlHasItsIdTextAndState) {
    Dlg dialog(&store);
    dialog.open();
    EXPECT_EQ(dialog.windowTitle(), "Remote Login");
    EXPECT_EQ(dialog.size(), DialogUnitsToPixels(QSize(172, 165), dialog.BaseUnits()));

    const Expected controls[] = {
        {1181, "STATIC", "Server URL:"},
        {1082, "EDIT", "http://"},
        {1183, "STATIC", "Stream port:"},
        {212, "EDIT", "8080"},
        {1179, "STATIC", "User name:"},
        {1081, "EDIT", ""},
        {1180, "STATIC", "Password:"},
        {1083, "EDIT", ""},
        {211, "BUTTON", "Network mode"},
        {206, "BUTTON", "Simple data"},
        {207, "BUTTON", "Controlled data"},
        {208, "BUTTON", "Video stream"},
        {209, "BUTTON", "Download settings from server"},
        {210, "BUTTON", "Save login data"},
        {1, "BUTTON", "OK"},
        {2, "BUTTON", "Cancel"},
        {3, "BUTTON", "Log Off..."},
    };
    for (const Expected& e : controls) {
        QWidget* control = dialog.Control(e.id);
        ASSERT_NE(control, nullptr) << e.id;
        EXPECT_EQ(WindowClassOf(control), e.windowClass) << e.id;
        EXPECT_EQ(ControlText(control), e.text) << e.id;
    }
    EXPECT_NE(dialog.ControlAs<QGroupBox>(211), nullptr);
    EXPECT_NE(dialog.ControlAs<QCheckBox>(210), nullptr);
    EXPECT_EQ(Edit(dialog, 1083)->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Edit(dialog, 1081)->echoMode(), QLineEdit::Normal);

    for (int id : {206, 207, 208}) {
        EXPECT_FALSE(dialog.Control(id)->isEnabled()) << id;
        EXPECT_TRUE(dialog.Control(id)->isVisible()) << id;
    }
    // The stored network mode 2 shows, though nobody can change it.
    EXPECT_TRUE(dialog.ControlAs<QRadioButton>(208)->isChecked());
    EXPECT_FALSE(dialog.Control(209)->isVisible());
    EXPECT_FALSE(dialog.Control(209)->isEnabled());
    EXPECT_FALSE(dialog.ControlAs<QCheckBox>(210)->isChecked());
    EXPECT_TRUE(dialog.Control(210)->isEnabled());
    EXPECT_FALSE(dialog.Control(Dlg::kIdLogOff)->isEnabled());
    EXPECT_TRUE(dialog.Control(kIdOk)->isEnabled());
}

TEST_F(LoginDialog, EditsTakeNoMoreThanTheirLimits) {
    Dlg dialog(&store);
    dialog.open();
    const QString many(60, QChar('x'));
    Type(dialog, Dlg::kIdServerUrl, many);
    Type(dialog, Dlg::kIdUserName, many);
    Type(dialog, Dlg::kIdPassword, many);
    EXPECT_EQ(Edit(dialog, Dlg::kIdServerUrl)->text().size(), 40);
    EXPECT_EQ(Edit(dialog, Dlg::kIdUserName)->text().size(), 40);
    EXPECT_EQ(Edit(dialog, Dlg::kIdPassword)->text().size(), 20);
}

TEST_F(LoginDialog, LogOffIsEnabledOnlyWhileASessionIsOpen) {
    SetSessionId("0123456789ABCDEF");
    Dlg open(&store);
    open.open();
    EXPECT_TRUE(open.Control(Dlg::kIdLogOff)->isEnabled());
    SetSessionId("");
    Dlg closed(&store);
    closed.open();
    EXPECT_FALSE(closed.Control(Dlg::kIdLogOff)->isEnabled());
}

TEST_F(LoginDialog, AnEmptyStoredUrlShowsHttp) {
    store.SetText(kSettingServerUrl, "");
    Dlg fromStore(&store, "http://given");
    fromStore.open();
    EXPECT_EQ(Edit(fromStore, Dlg::kIdServerUrl)->text(), "http://");

    Dlg noStore(nullptr, "");
    noStore.open();
    EXPECT_EQ(Edit(noStore, Dlg::kIdServerUrl)->text(), "http://");
    Dlg given(nullptr, "http://given:81");
    given.open();
    EXPECT_EQ(Edit(given, Dlg::kIdServerUrl)->text(), "http://given:81");
}

TEST_F(LoginDialog, StoredValuesReplaceTheStartValues) {
    store.SetText(kSettingUserName, "operator");
    store.SetText(kSettingUserPswd, "pw");
    store.SetText(kSettingServerUrl, "http://10.0.0.5");
    store.SetInt(kSettingStreamPort, 9000);
    store.SetInt(kSettingCommType, 1);
    ASSERT_EQ(store.Save(), 1);

    // A fresh store as the main dialog would load it at its next start.
    CSettingsStore loaded;
    ASSERT_EQ(DeclareMainDialogSettings(loaded), 1);
    ASSERT_EQ(loaded.Load(), 1);
    Dlg dialog(&loaded, "http://ignored");
    dialog.open();
    EXPECT_EQ(Edit(dialog, Dlg::kIdUserName)->text(), "operator");
    EXPECT_EQ(Edit(dialog, Dlg::kIdPassword)->text(), "pw");
    EXPECT_EQ(Edit(dialog, Dlg::kIdServerUrl)->text(), "http://10.0.0.5");
    EXPECT_EQ(Edit(dialog, Dlg::kIdStreamPort)->text(), "9000");
    EXPECT_TRUE(dialog.ControlAs<QRadioButton>(207)->isChecked());
}

// --- OK that keeps the dialog open ---------------------------------------------

TEST_F(LoginDialog, OkWithAnEmptyUserNameOrUrlDoesNothing) {
    Dlg dialog(&store);
    Fill(dialog, "", "demo", true);
    Click(dialog, kIdOk);
    EXPECT_TRUE(dialog.isVisible());
    Type(dialog, Dlg::kIdUserName, "demo");
    Edit(dialog, Dlg::kIdServerUrl)->clear();
    Click(dialog, kIdOk);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.LoggedIn(), 0);
    EXPECT_EQ(recorder.Requests(), 0u);
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_EQ(FilterServerURL(), recorder.BaseUrl());
}

TEST_F(LoginDialog, ABrokenLimitShowsAMessageAndKeepsTheDialogOpen) {
    // The store holds more than the edit takes.
    store.SetText(kSettingUserName, std::string(45, 'u'));
    Dlg dialog(&store);
    dialog.open();
    EXPECT_EQ(Edit(dialog, Dlg::kIdUserName)->text().size(), 45);
    Type(dialog, Dlg::kIdServerUrl, QString::fromStdString(recorder.BaseUrl()));
    Click(dialog, kIdOk);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Please enter no more than 40 characters."});

    Type(dialog, Dlg::kIdStreamPort, "port");
    Type(dialog, Dlg::kIdUserName, "demo");
    Click(dialog, kIdOk);
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(boxes.Texts().size(), 2u);
    EXPECT_EQ(boxes.Texts()[1], "Please enter an integer.");
    EXPECT_EQ(recorder.Requests(), 0u);
}

// --- Logging in ------------------------------------------------------------------

TEST_F(LoginDialog, AWrongPasswordClosesWithOkButNotLoggedInAndSavesNothing) {
    Dlg dialog(&store);
    Fill(dialog, "demo", "wrong", true);
    SetFilterServerURL("");
    Click(dialog, kIdOk);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), kIdOk);
    EXPECT_EQ(dialog.LoggedIn(), 0);
    EXPECT_EQ(dialog.LoggedOff(), 0);
    EXPECT_EQ(SessionId(), "");
    EXPECT_EQ(FilterServerURL(), recorder.BaseUrl());
    EXPECT_EQ(recorder.PrivilegeLines(14).size(), 1u);
    EXPECT_EQ(StoredText(kSettingUserName), "");
    EXPECT_EQ(StoredText(kSettingUserPswd), "");
    EXPECT_EQ(StoredText(kSettingServerUrl), "");
    EXPECT_EQ(dialog.UserName(), "demo");
    EXPECT_EQ(dialog.Password(), "wrong");
}

TEST_F(LoginDialog, AGoodLoginSetsTheSessionAndSavesTheFiveValues) {
    Dlg dialog(&store);
    Fill(dialog, "demo", "demo", true);
    Type(dialog, Dlg::kIdStreamPort, "9090");
    Click(dialog, kIdOk);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), kIdOk);
    EXPECT_EQ(dialog.LoggedIn(), 1);
    EXPECT_EQ(dialog.LoggedOff(), 0);
    EXPECT_EQ(SessionId().size(), 16u);
    EXPECT_EQ(CheckPrivilege("User Access - Http server login"), 1);

    EXPECT_EQ(StoredText(kSettingUserName), "demo");
    EXPECT_EQ(StoredText(kSettingUserPswd), "demo");
    EXPECT_EQ(StoredText(kSettingServerUrl), recorder.BaseUrl());
    EXPECT_EQ(StoredInt(kSettingStreamPort), 9090);
    EXPECT_EQ(StoredInt(kSettingCommType), 2);
    // The main dialog saves its store when it closes; the values then persist.
    ASSERT_EQ(store.Save(), 1);
    const std::string registry = ServiceWorld::ReadFile(world.RegistryFile());
    EXPECT_NE(registry.find("\"UserName\"=\"demo\""), std::string::npos) << registry;
    EXPECT_NE(registry.find("\"ServerURL\"=\"" + recorder.BaseUrl() + "\""), std::string::npos) << registry;
    EXPECT_NE(registry.find("\"StreamPort\"=dword:00002382"), std::string::npos) << registry;
}

TEST_F(LoginDialog, WithoutSaveLoginDataTheStoreKeepsItsValues) {
    store.SetText(kSettingUserName, "previous");
    store.SetText(kSettingServerUrl, "http://previous");
    Dlg dialog(&store);
    Fill(dialog, "demo", "demo", false);
    Click(dialog, kIdOk);
    EXPECT_EQ(dialog.LoggedIn(), 1);
    EXPECT_EQ(StoredText(kSettingUserName), "previous");
    EXPECT_EQ(StoredText(kSettingServerUrl), "http://previous");
    EXPECT_EQ(StoredInt(kSettingStreamPort), 8080);
}

TEST_F(LoginDialog, ASecondLoginReplacesTheIdThenLogsTheOldOneOff) {
    Dlg first(&store);
    Fill(first, "demo", "demo", false);
    Click(first, kIdOk);
    ASSERT_EQ(first.LoggedIn(), 1);
    const std::string oldId = SessionId();

    Dlg second(&store);
    Fill(second, "demo", "demo", false);
    EXPECT_TRUE(second.Control(Dlg::kIdLogOff)->isEnabled());
    Click(second, kIdOk);
    EXPECT_EQ(second.LoggedIn(), 1);
    EXPECT_EQ(second.LoggedOff(), 1);
    EXPECT_NE(SessionId(), oldId);
    EXPECT_EQ(SessionId().size(), 16u);

    const std::vector<std::string> logOffs = recorder.PrivilegeLines(11);
    ASSERT_EQ(logOffs.size(), 1u);
    EXPECT_TRUE(test::RecorderWorld::Answered(logOffs[0])) << logOffs[0];
    EXPECT_EQ(CheckPrivilege("checked for the old session", oldId.c_str()), 0);
    EXPECT_EQ(CheckPrivilege("checked for the new session"), 1);
}

TEST_F(LoginDialog, WithoutThePrivilegeServiceOkClosesNotLoggedIn) {
    proxy.Shutdown();
    ASSERT_TRUE(ServiceWorld::Registered(kUserPrivilegeFilterName, false));
    SetSessionId("KEPT");
    Dlg dialog(&store);
    Fill(dialog, "demo", "demo", true);
    Click(dialog, kIdOk);
    EXPECT_EQ(dialog.result(), kIdOk);
    EXPECT_EQ(dialog.LoggedIn(), 0);
    EXPECT_EQ(SessionId(), "KEPT");
    EXPECT_EQ(StoredText(kSettingUserName), "");
    EXPECT_EQ(recorder.Requests(), 0u);
}

// --- Log Off... and Cancel -------------------------------------------------------

TEST_F(LoginDialog, LogOffSetsTheFlagAndLeavesTheLogOffToTheCaller) {
    ASSERT_EQ(LogIn("demo", "demo").loggedIn, 1);
    const std::string id = SessionId();
    const uint64_t before = recorder.Requests();
    Dlg dialog(&store);
    dialog.open();
    Click(dialog, Dlg::kIdLogOff);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), kIdOk);
    EXPECT_EQ(dialog.LoggedOff(), 1);
    EXPECT_EQ(dialog.LoggedIn(), 0);
    EXPECT_EQ(SessionId(), id);
    EXPECT_EQ(recorder.Requests(), before);

    // What the caller then does.
    EXPECT_EQ(LogOff(), 1);
    EXPECT_EQ(SessionId(), "");
    EXPECT_EQ(recorder.PrivilegeLines(11).size(), 1u);
}

TEST_F(LoginDialog, CancelChangesNothing) {
    Dlg dialog(&store);
    Fill(dialog, "demo", "demo", true);
    Click(dialog, kIdCancel);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.LoggedIn(), 0);
    EXPECT_EQ(dialog.LoggedOff(), 0);
    EXPECT_EQ(SessionId(), "");
    EXPECT_EQ(StoredText(kSettingUserName), "");
    EXPECT_EQ(recorder.Requests(), 0u);
}

// --- Translation and the picture ---------------------------------------------------

TEST_F(LoginDialog, TheDialogIsTranslatedWhenItOpens) {
    translator.Shutdown();
    ServiceWorld::WriteFile(kDictionaryFileName,
                            ";Dialog-Remote Login;Anmeldung am Rekorder;\n"
                            ";Remote Login Dialog-OK;Anmelden;\n"
                            ";Remote Login Dialog-User name:;Benutzer:;\n"
                            ";Remote Login Dialog-Network mode;Netzbetrieb;\n");
    ASSERT_EQ(translator.Startup(), 1);
    ASSERT_TRUE(ServiceWorld::Registered(kLanguageTranslatorName));

    Dlg dialog(&store);
    EXPECT_EQ(dialog.windowTitle(), "Remote Login");
    dialog.open();
    EXPECT_EQ(dialog.windowTitle(), "Anmeldung am Rekorder");
    EXPECT_EQ(ControlText(dialog.Control(kIdOk)), "Anmelden");
    EXPECT_EQ(ControlText(dialog.Control(Dlg::kIdUserNameLabel)), "Benutzer:");
    EXPECT_EQ(ControlText(dialog.Control(Dlg::kIdNetworkMode)), "Netzbetrieb");
    EXPECT_EQ(ControlText(dialog.Control(Dlg::kIdLogOff)), "Log Off...");
    // Edits keep their values, and the other texts are now in the file.
    EXPECT_EQ(Edit(dialog, Dlg::kIdServerUrl)->text(), "http://");
    const std::string file = ServiceWorld::ReadFile(kDictionaryFileName);
    for (const char* key : {"Server URL:", "Password:", "Log Off...", "Download settings from server", "Cancel"})
        EXPECT_NE(file.find(std::string(";Remote Login Dialog-") + key + ";" + key + ";\r\n"), std::string::npos)
            << key;
}

TEST_F(LoginDialog, AScreenshotShowsTheFilledInDialog) {
    SetSessionId("0123456789ABCDEF");
    Dlg dialog(&store);
    Fill(dialog, "demo", "demo", true);
    const QImage picture = dialog.grab().toImage();
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), dialog.size() * picture.devicePixelRatio());
    // Something is drawn: the picture is not one flat colour.
    bool varied = false;
    const QRgb first = picture.pixel(0, 0);
    for (int y = 0; y < picture.height() && !varied; y += 3)
        for (int x = 0; x < picture.width() && !varied; x += 3) varied = picture.pixel(x, y) != first;
    EXPECT_TRUE(varied);
    const QString path = QStringLiteral(SCREENSHOT_DIR "/login_dialog.png");
    ASSERT_TRUE(picture.save(path, "PNG"));
    EXPECT_EQ(QImage(path).size(), picture.size());
    dialog.reject();
}
