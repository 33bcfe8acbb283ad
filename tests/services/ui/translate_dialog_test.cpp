// Translating a whole Qt dialog through the translator: the title, the
// buttons and labels with an id, and nothing else.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "services/CLanguageTranslator.h"
#include "services/LanguageDictionary.h"
#include "services/service_test_env.h"
#include "services/ui/ControlIdentity.h"
#include "services/ui/TranslateDialog.h"
#include "services/ui/dialog_test_support.h"

using namespace corvanta;
using namespace corvanta::ui;
using corvanta::test::ServiceWorld;

namespace {

// A dialog put together by hand, as a later dialog might be: every control
// carries its template id as a property.
struct HandMadeDialog {
    HandMadeDialog() {
        dialog.setWindowTitle("Remote Login");
        ok = Make<QPushButton>(1, "OK");
        cancel = Make<QPushButton>(2, "Cancel");
        unnamed = Make<QLabel>(kStaticControlId, "Server URL:");
        named = Make<QLabel>(1181, "Server URL:");
        edit = Make<QLineEdit>(1082, "");
        edit->setText("OK");
        group = new QGroupBox("Network mode", &dialog);
        SetControlIdentity(group, 211, "BUTTON");
        save = Make<QCheckBox>(210, "Save login data");
        empty = Make<QPushButton>(4, "");
        // A button inside another widget is not one of the dialog's controls.
        nested = new QRadioButton("OK", group);
        SetControlIdentity(nested, 206, "BUTTON");
        // A widget of another kind that says it is a "STATIC".
        custom = new QWidget(&dialog);
        SetControlIdentity(custom, 300, "static");
        custom->setProperty("text", QString("OK"));
        // A label without any id counts as unnamed.
        plain = new QLabel("OK", &dialog);
    }
    template <typename T>
    T* Make(int id, const char* text) {
        auto* w = new T(&dialog);
        SetControlText(w, QString::fromUtf8(text));
        SetControlIdentity(w, id, WindowClassOf(w));
        return w;
    }

    QDialog dialog;
    QPushButton* ok;
    QPushButton* cancel;
    QLabel* unnamed;
    QLabel* named;
    QLineEdit* edit;
    QGroupBox* group;
    QCheckBox* save;
    QPushButton* empty;
    QRadioButton* nested;
    QWidget* custom;
    QLabel* plain;
};

class TranslateDialogTest : public ::testing::Test {
protected:
    void SetUp() override { test::DialogApp(); }
    void StartTranslator(const std::string& dictionary) {
        ServiceWorld::WriteFile(kDictionaryFileName, dictionary);
        ASSERT_EQ(translator.Startup(), 1);
        ASSERT_TRUE(ServiceWorld::Registered(kLanguageTranslatorName));
    }

    ServiceWorld world;
    CLanguageTranslator translator;
};

}  // namespace

TEST_F(TranslateDialogTest, TitleButtonsAndLabelsWithAnIdAreTranslatedUnderTheDialogPrefix) {
    StartTranslator(
        ";Dialog-Remote Login;Fernanmeldung;\n"
        ";Remote Login Dialog-OK;Anmelden;\n"
        ";Remote Login Dialog-Server URL:;Adresse:;\n"
        ";Remote Login Dialog-Network mode;Netz;\n"
        ";Remote Login Dialog-;nothing;\n");
    HandMadeDialog d;
    EXPECT_EQ(TranslateDialog(&d.dialog), 1);

    EXPECT_EQ(d.dialog.windowTitle(), "Fernanmeldung");
    EXPECT_EQ(d.ok->text(), "Anmelden");
    EXPECT_EQ(d.named->text(), "Adresse:");
    EXPECT_EQ(d.group->title(), "Netz");
    EXPECT_EQ(d.custom->property("text").toString(), "Anmelden");
    // Untranslated texts keep their wording and are learned.
    EXPECT_EQ(d.cancel->text(), "Cancel");
    EXPECT_EQ(d.save->text(), "Save login data");
    // Left alone: the unnamed label, the edit, the empty button, the button
    // that is not the dialog's child, the label without an id.
    EXPECT_EQ(d.unnamed->text(), "Server URL:");
    EXPECT_EQ(d.edit->text(), "OK");
    EXPECT_EQ(d.empty->text(), "");
    EXPECT_EQ(d.nested->text(), "OK");
    EXPECT_EQ(d.plain->text(), "OK");

    const std::string file = ServiceWorld::ReadFile(kDictionaryFileName);
    EXPECT_NE(file.find(";Remote Login Dialog-Cancel;Cancel;\r\n"), std::string::npos);
    EXPECT_NE(file.find(";Remote Login Dialog-Save login data;Save login data;\r\n"), std::string::npos);
    EXPECT_EQ(file.find("Remote Login Dialog-OK;OK"), std::string::npos);
    EXPECT_EQ(translator.EntryCount(), 7u);
}

TEST_F(TranslateDialogTest, AGivenNameReplacesTheTitleInTheControlKeys) {
    StartTranslator(
        ";ArchiveViewer TimeTree Dialog-OK;Suchen;\n"
        ";Remote Login Dialog-OK;wrong prefix;\n");
    HandMadeDialog d;
    TranslateDialog(&d.dialog, "ArchiveViewer TimeTree Dialog");
    EXPECT_EQ(d.ok->text(), "Suchen");
    EXPECT_EQ(d.dialog.windowTitle(), "Remote Login");
    EXPECT_NE(ServiceWorld::ReadFile(kDictionaryFileName).find(";Dialog-Remote Login;Remote Login;\r\n"),
              std::string::npos);
}

TEST_F(TranslateDialogTest, WithoutATranslatorTheDialogStaysAsItIs) {
    ServiceWorld::WriteFile(kDictionaryFileName, ";Remote Login Dialog-OK;Anmelden;\n;Dialog-Remote Login;X;\n");
    HandMadeDialog d;
    EXPECT_EQ(TranslateDialog(&d.dialog), 1);
    EXPECT_EQ(d.dialog.windowTitle(), "Remote Login");
    EXPECT_EQ(d.ok->text(), "OK");
    EXPECT_EQ(d.named->text(), "Server URL:");
    EXPECT_EQ(ServiceWorld::ReadFile(kDictionaryFileName), ";Remote Login Dialog-OK;Anmelden;\n;Dialog-Remote Login;X;\n");
}

TEST_F(TranslateDialogTest, TextsBeyondAsciiTravelAsUtf8) {
    StartTranslator(";Remote Login Dialog-Save login data;Anmeldedaten speichern (ä);\n");
    HandMadeDialog d;
    TranslateDialog(&d.dialog);
    EXPECT_EQ(d.save->text(), QString::fromUtf8("Anmeldedaten speichern (ä)"));
}
