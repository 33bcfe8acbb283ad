#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest/QTest>

#include "services/CLanguageTranslator.h"
#include "services/CUserPrivilegeProxy.h"
#include "services/LanguageDictionary.h"
#include "services/MainDialogSettings.h"
#include "services/recorder_world.h"
#include "services/service_test_env.h"
#include "services/ui/CLoginDlg.h"
#include "services/ui/ControlIdentity.h"
#include "stores/CSettingsStore.h"
#include "support/QtTestApp.h"
#include "support/TestFilters.h"
#include "support/TestHttpServer.h"

using namespace corvanta;
using namespace corvanta::ui;
using corvanta::test::ServiceWorld;
using Dlg = corvanta::ui::CLoginDlg;

namespace {

// Key presses carrying the characters, which works beyond ASCII too.
void TypeText(QWidget* widget, const QString& text) {
    for (QChar c : text)
        for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent event(type, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(widget, &event);
        }
}

class LoginDialog : public ::testing::Test {
protected:
    void SetUp() override {
        test::QtTestApp();
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
        TypeText(Edit(dialog, id), text);
    }
    static void Click(Dlg& dialog, int id) { QTest::mouseClick(dialog.ControlAs<QPushButton>(id), Qt::LeftButton); }
    // Opens the dialog on the store and fills in what a person types.
    void Fill(Dlg& dialog, const QString& user, const QString& password, bool save, std::string url = {}) {
        dialog.open();
        Type(dialog, Dlg::kIdServerUrl, QString::fromStdString(url.empty() ? recorder.BaseUrl() : url));
        Type(dialog, Dlg::kIdUserName, user);
        Type(dialog, Dlg::kIdPassword, password);
        if (save) {
            auto* box = dialog.ControlAs<QCheckBox>(Dlg::kIdSaveLoginData);
            QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(6, box->height() / 2));  // on the indicator
        }
    }
    std::string Stored(const char* name) {
        std::string text = "<missing>";
        store.GetText(name, text);
        return text;
    }
    int32_t StoredInt(const char* name) {
        int32_t value = -1;
        store.GetInt(name, value);
        return value;
    }

    ServiceWorld world;
    test::RecorderWorld recorder;
    CLanguageTranslator translator;
    CUserPrivilegeProxy proxy;
    CSettingsStore store;
    test::RecordingMessageBoxes boxes;
};

}  // namespace

TEST_F(LoginDialog, ControlsShowTheStoredValuesAndKeepTheirLimits) {
    store.SetText(kSettingUserName, "operator");
    store.SetText(kSettingServerUrl, "");
    store.SetInt(kSettingCommType, 1);
    Dlg dialog(&store, "http://given");
    dialog.open();
    EXPECT_EQ(Edit(dialog, Dlg::kIdUserName)->text(), "operator");
    EXPECT_EQ(Edit(dialog, Dlg::kIdServerUrl)->text(), "http://given") << "the stored URL is empty";
    EXPECT_EQ(Edit(dialog, Dlg::kIdStreamPort)->text(), "8080");
    EXPECT_TRUE(dialog.ControlAs<QRadioButton>(Dlg::kIdControlledData)->isChecked());
    EXPECT_EQ(Edit(dialog, Dlg::kIdPassword)->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(dialog.Control(Dlg::kIdLogOff)->isEnabled()) << "without a session there is nothing to log off";

    // Limits count the bytes of the stored text: "ü" takes two.
    for (auto [id, limit] : {std::pair(Dlg::kIdServerUrl, 40), {Dlg::kIdUserName, 40}, {Dlg::kIdPassword, 20}}) {
        Type(dialog, id, QString(60, QChar('x')));
        EXPECT_EQ(Edit(dialog, id)->text().size(), limit) << id;
        Type(dialog, id, QString(limit, QChar(0xFC)) + "x");
        EXPECT_EQ(Edit(dialog, id)->text(), QString(limit / 2, QChar(0xFC))) << id;
    }
}

TEST_F(LoginDialog, OkKeepsTheDialogOpenOnMissingOrBrokenInput) {
    Dlg dialog(&store);
    Fill(dialog, "", "demo", true);
    Click(dialog, kIdOk);
    EXPECT_TRUE(dialog.isVisible()) << "no user name";
    EXPECT_TRUE(boxes.Texts().empty());

    // The store may hold more than an edit lets a person type; OK then names the limit.
    const struct {
        int id;
        std::string text, message;
    } cases[] = {
        {Dlg::kIdPassword, "\xC3\xBC" + std::string(19, 'p'), "Please enter no more than 20 characters."},
        {Dlg::kIdStreamPort, "2147483648", "Please enter an integer."},
    };
    for (const auto& c : cases) {
        Dlg broken(&store);
        Fill(broken, "demo", "demo", true);
        broken.SetControlString(c.id, c.text);
        Click(broken, kIdOk);
        EXPECT_TRUE(broken.isVisible()) << c.text;
        ASSERT_FALSE(boxes.Texts().empty());
        EXPECT_EQ(boxes.Texts().back(), c.message) << c.text;
        EXPECT_EQ(broken.focusWidget(), broken.Control(c.id)) << "the offending edit gets the focus";
    }
    EXPECT_EQ(boxes.Texts().size(), std::size(cases));
    EXPECT_EQ(recorder.Requests(), 0u);
    EXPECT_EQ(Stored(kSettingUserName), "");
}

TEST_F(LoginDialog, OkLogsInAndSavesOnlyWhenAskedAndASecondLoginReplacesTheFirst) {
    // A wrong password still closes with OK, but not logged in and saving nothing.
    Dlg wrong(&store), good(&store), second(&store);
    Fill(wrong, "demo", "wrong", true);
    SetFilterServerURL("");
    Click(wrong, kIdOk);
    EXPECT_FALSE(wrong.isVisible());
    EXPECT_EQ(std::pair(wrong.result(), wrong.LoggedIn()), std::pair(int(kIdOk), 0));
    EXPECT_EQ(FilterServerURL(), recorder.BaseUrl()) << "OK sets the URL before it logs in";
    EXPECT_EQ(Stored(kSettingUserName), "");

    Fill(good, "demo", "demo", true);
    good.SetControlString(Dlg::kIdStreamPort, " +9090 ");
    QTest::keyClick(Edit(good, Dlg::kIdUserName), Qt::Key_Return);  // Enter presses OK
    EXPECT_EQ(std::pair(good.LoggedIn(), good.LoggedOff()), std::pair(1, 0));
    const std::string firstId = SessionId();
    EXPECT_EQ(Stored(kSettingUserName) + " " + Stored(kSettingUserPswd) + " " + Stored(kSettingServerUrl),
              "demo demo " + recorder.BaseUrl());
    EXPECT_EQ(std::pair(StoredInt(kSettingStreamPort), StoredInt(kSettingCommType)), std::pair(9090, 2));

    store.SetText(kSettingUserName, "previous");
    Fill(second, "demo", "demo", false);
    EXPECT_TRUE(second.Control(Dlg::kIdLogOff)->isEnabled());
    EXPECT_TRUE(second.grab().save(QStringLiteral(SCREENSHOT_DIR "/login_dialog.png"), "PNG"));  // filled in
    Click(second, kIdOk);
    EXPECT_EQ(std::pair(second.LoggedIn(), second.LoggedOff()), std::pair(1, 1));
    EXPECT_EQ(Stored(kSettingUserName), "previous") << "without Save login data the store keeps its values";
    EXPECT_NE(SessionId(), firstId);
    EXPECT_EQ(recorder.PrivilegeLines(11, true).size(), 1u) << "the old session was logged off";
}

// A failed login says why: nothing answered, something answered that is not
// a recorder, or the recorder refused the user.
TEST_F(LoginDialog, AFailedLoginTellsNoAnswerFromNotARecorderFromARefusal) {
    const std::string page = "<!DOCTYPE html><html><head><title>Router</title></head>"
                             "<body><p>Welcome to the configuration page.</p></body></html>";
    test::TestHttpServer webPage, notFound, bareNotFound;
    webPage.SetPage("200 OK", page);
    notFound.SetPage("404 Not Found", "<html><body><h1>Not Found</h1></body></html>");
    bareNotFound.SetPage("404 Not Found", "");
    const struct {
        std::string url;
        const char* password;
        LoginFailure failure;
    } cases[] = {
        {recorder.BaseUrl(), "wrong", LoginFailure::Refused},
        {"http://127.0.0.1:1", "demo", LoginFailure::NoAnswer},
        {webPage.BaseUrl(), "demo", LoginFailure::NotARecorder},
        {notFound.BaseUrl(), "demo", LoginFailure::NotARecorder},
        {bareNotFound.BaseUrl(), "demo", LoginFailure::NotARecorder},
        {"https://" + recorder.BaseUrl().substr(7), "demo", LoginFailure::NotARecorder},
    };
    for (const auto& c : cases) {
        Dlg dialog(&store);
        Fill(dialog, "demo", c.password, false, c.url);
        Click(dialog, kIdOk);
        EXPECT_EQ(dialog.LoggedIn(), 0) << c.url;
        EXPECT_EQ(int(dialog.Failure()), int(c.failure)) << c.url;
    }

    // An address typed without a scheme is completed, in the field too.
    const std::string bare = recorder.BaseUrl().substr(std::string("http://").size());
    Dlg dialog(&store);
    Fill(dialog, "demo", "demo", false, bare);
    Click(dialog, kIdOk);
    EXPECT_EQ(dialog.LoggedIn(), 1) << bare;
    EXPECT_EQ(dialog.ServerUrl(), recorder.BaseUrl());
    EXPECT_EQ(Edit(dialog, Dlg::kIdServerUrl)->text().toStdString(), recorder.BaseUrl());
    EXPECT_EQ(FilterServerURL(), recorder.BaseUrl());
}

TEST_F(LoginDialog, TitleButtonsAndLabelsAreTranslatedUnderTheDialogPrefix) {
    translator.Shutdown();
    ASSERT_TRUE(ServiceWorld::Registered(kLanguageTranslatorName, false));
    const std::string dictionary =
        ";Dialog-Remote Login;Fernanmeldung;\n"
        ";Remote Login Dialog-OK;Anmelden;\n"
        ";Remote Login Dialog-Server URL:;Adresse:;\n";
    test::WriteWholeFile(kDictionaryFileName, dictionary);
    Dlg untranslated(&store);
    untranslated.open();
    EXPECT_EQ(untranslated.windowTitle(), "Remote Login") << "no translator registered";
    EXPECT_EQ(test::ReadWholeFile(kDictionaryFileName), dictionary);

    ASSERT_EQ(translator.Startup(), 1);
    ASSERT_TRUE(ServiceWorld::Registered(kLanguageTranslatorName));
    Dlg login(&store);
    login.open();
    EXPECT_EQ(login.windowTitle(), "Fernanmeldung");
    EXPECT_EQ(ControlText(login.Control(kIdOk)), "Anmelden");
    EXPECT_EQ(ControlText(login.Control(Dlg::kIdServerUrlLabel)), "Adresse:");
    EXPECT_EQ(ControlText(login.Control(kIdCancel)), "Cancel");
    EXPECT_EQ(Edit(login, Dlg::kIdServerUrl)->text(), "http://") << "edits keep their values";
    EXPECT_NE(test::ReadWholeFile(kDictionaryFileName).find(";Remote Login Dialog-Cancel;Cancel;\r\n"), std::string::npos);
}
