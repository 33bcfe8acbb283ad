// The dialog base: controls built from a template, dialog units, data
// exchange with its limits, and the buttons and keys that end a dialog.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest/QTest>

#include "services/ui/CTemplateDialog.h"
#include "services/ui/ControlIdentity.h"
#include "services/ui/DialogUnits.h"
#include "services/ui/dialog_test_support.h"

using namespace corvanta;
using namespace corvanta::ui;

namespace {

constexpr ControlTemplate kControls[] = {
    {kStaticControlId, ControlKind::Label, "Name:", 7, 9, 40, 8},
    {100, ControlKind::Edit, "", 50, 7, 100, 12},
    {101, ControlKind::Edit, "", 50, 23, 40, 12},
    {102, ControlKind::Edit, "", 50, 39, 60, 12, kStylePassword},
    {110, ControlKind::GroupBox, "Mode", 7, 55, 150, 40},
    {111, ControlKind::RadioButton, "One", 12, 65, 60, 10},
    {112, ControlKind::RadioButton, "Two", 12, 77, 60, 10},
    {113, ControlKind::RadioButton, "Other one", 80, 65, 60, 10, kStyleGroup},
    {114, ControlKind::RadioButton, "Other two", 80, 77, 60, 10},
    {120, ControlKind::CheckBox, "Hidden", 7, 100, 100, 10, kStyleHidden | kStyleDisabled},
    {121, ControlKind::CheckBox, "Remember", 7, 112, 100, 10},
    {kIdOk, ControlKind::DefPushButton, "OK", 7, 128, 45, 14},
    {kIdCancel, ControlKind::PushButton, "Cancel", 56, 128, 45, 14},
    {3, ControlKind::PushButton, "More...", 105, 128, 45, 14},
};
constexpr DialogTemplate kTemplate{500, "Sample", 160, 150, "MS Sans Serif", 8, kControls};

class SampleDialog : public CTemplateDialog {
public:
    SampleDialog() : CTemplateDialog(kTemplate) {}

    std::string name = "initial";
    int32_t number = 7;
    std::string secret;
    int mode = 1;
    int otherMode = 0;
    int remember = 1;
    int initCalls = 0;
    int okCalls = 0;
    int cancelCalls = 0;
    std::vector<int> commands;

protected:
    bool OnInitDialog() override {
        ++initCalls;
        return CTemplateDialog::OnInitDialog();
    }
    void DoDataExchange(CDataExchange& dx) override {
        dx.Text(100, name, 10);
        dx.Int(101, number);
        dx.Text(102, secret, 4);
        dx.Radio(111, mode);
        dx.Radio(113, otherMode);
        dx.Check(121, remember);
    }
    void OnOK() override {
        ++okCalls;
        CTemplateDialog::OnOK();
    }
    void OnCancel() override {
        ++cancelCalls;
        CTemplateDialog::OnCancel();
    }
    void OnCommand(int id) override { commands.push_back(id); }
};

class TemplateDialog : public ::testing::Test {
protected:
    void SetUp() override { test::DialogApp(); }
    test::CollectingMessageBoxes boxes;
};

}  // namespace

// --- Building --------------------------------------------------------------

TEST_F(TemplateDialog, DialogUnitsScaleByQuarterAndEighthOfTheBaseUnitsRounded) {
    const DialogBaseUnits base{6, 13};
    EXPECT_EQ(DialogUnitsToPixels(QRect(7, 9, 50, 8), base), QRect(11, 15, 75, 13));
    EXPECT_EQ(DialogUnitsToPixels(QSize(172, 165), base), QSize(258, 268));
    EXPECT_EQ(DialogUnitsToPixels(QRect(1, 1, 2, 3), DialogBaseUnits{5, 12}), QRect(1, 2, 3, 5));
}

TEST_F(TemplateDialog, ControlsCarryTheirIdsClassesAndTemplateGeometry) {
    SampleDialog dialog;
    const DialogBaseUnits base = dialog.BaseUnits();
    EXPECT_EQ(dialog.windowTitle(), "Sample");
    EXPECT_EQ(dialog.size(), DialogUnitsToPixels(QSize(160, 150), base));

    for (const ControlTemplate& t : kControls) {
        if (t.id == kStaticControlId) continue;
        QWidget* control = dialog.Control(t.id);
        ASSERT_NE(control, nullptr) << t.id;
        EXPECT_EQ(ControlId(control), t.id);
        EXPECT_EQ(control->parentWidget(), &dialog);
        EXPECT_EQ(control->geometry(), DialogUnitsToPixels(QRect(t.x, t.y, t.cx, t.cy), base)) << t.id;
        EXPECT_EQ(WindowClassOf(control), t.kind == ControlKind::Edit ? "EDIT" : "BUTTON") << t.id;
    }
    EXPECT_NE(dialog.ControlAs<QGroupBox>(110), nullptr);
    EXPECT_NE(dialog.ControlAs<QRadioButton>(111), nullptr);
    EXPECT_NE(dialog.ControlAs<QCheckBox>(121), nullptr);
    EXPECT_EQ(dialog.ControlAs<QLineEdit>(102)->echoMode(), QLineEdit::Password);
    EXPECT_EQ(dialog.ControlAs<QLineEdit>(100)->echoMode(), QLineEdit::Normal);
    EXPECT_TRUE(dialog.ControlAs<QPushButton>(kIdOk)->isDefault());
    EXPECT_FALSE(dialog.ControlAs<QPushButton>(kIdCancel)->isDefault());

    // The unnamed label is there, a "STATIC" with the unnamed id.
    auto* label = dialog.findChild<QLabel*>();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "Name:");
    EXPECT_EQ(ControlId(label), kStaticControlId);
    EXPECT_EQ(WindowClassOf(label), "STATIC");
    EXPECT_EQ(dialog.Control(999), nullptr);
}

TEST_F(TemplateDialog, HiddenAndDisabledStylesHoldOnceShown) {
    SampleDialog dialog;
    dialog.show();
    EXPECT_FALSE(dialog.Control(120)->isVisible());
    EXPECT_FALSE(dialog.Control(120)->isEnabled());
    EXPECT_TRUE(dialog.Control(121)->isVisible());
    EXPECT_TRUE(dialog.Control(121)->isEnabled());
    dialog.ShowControl(120, true);
    dialog.EnableControl(121, false);
    EXPECT_TRUE(dialog.Control(120)->isVisible());
    EXPECT_FALSE(dialog.Control(121)->isEnabled());
}

TEST_F(TemplateDialog, RadioButtonsExcludeEachOtherWithinTheirGroupOnly) {
    SampleDialog dialog;
    dialog.show();
    auto radio = [&](int id) { return dialog.ControlAs<QRadioButton>(id); };
    test::ClickIndicator(radio(111));
    test::ClickIndicator(radio(114));
    EXPECT_TRUE(radio(111)->isChecked());
    EXPECT_TRUE(radio(114)->isChecked());
    test::ClickIndicator(radio(112));
    EXPECT_FALSE(radio(111)->isChecked());
    EXPECT_TRUE(radio(114)->isChecked());
}

// --- Data exchange -----------------------------------------------------------

TEST_F(TemplateDialog, InitialisationShowsTheBoundValuesOnceBeforeShowing) {
    SampleDialog dialog;
    EXPECT_EQ(dialog.initCalls, 0);
    dialog.open();
    EXPECT_EQ(dialog.initCalls, 1);
    EXPECT_EQ(dialog.ControlString(100), "initial");
    EXPECT_EQ(dialog.ControlString(101), "7");
    EXPECT_TRUE(dialog.ControlAs<QRadioButton>(112)->isChecked());
    EXPECT_TRUE(dialog.ControlAs<QRadioButton>(113)->isChecked());
    EXPECT_TRUE(dialog.ControlAs<QCheckBox>(121)->isChecked());
    dialog.hide();
    dialog.show();
    EXPECT_EQ(dialog.initCalls, 1);
}

TEST_F(TemplateDialog, OkReadsTheControlsBackAndClosesWithOk) {
    SampleDialog dialog;
    dialog.open();
    auto* name = dialog.ControlAs<QLineEdit>(100);
    name->clear();
    test::TypeText(name, "changed");
    dialog.SetControlString(101, " -42 ");
    test::ClickIndicator(dialog.ControlAs<QRadioButton>(111));
    test::ClickIndicator(dialog.ControlAs<QRadioButton>(114));
    test::ClickIndicator(dialog.ControlAs<QCheckBox>(121));
    QTest::mouseClick(dialog.ControlAs<QPushButton>(kIdOk), Qt::LeftButton);

    EXPECT_EQ(dialog.okCalls, 1);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), kIdOk);
    EXPECT_EQ(dialog.name, "changed");
    EXPECT_EQ(dialog.number, -42);
    EXPECT_EQ(dialog.mode, 0);
    EXPECT_EQ(dialog.otherMode, 1);
    EXPECT_EQ(dialog.remember, 0);
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(TemplateDialog, TypingStopsAtTheLimitButShorteningAnOverlongTextWorks) {
    SampleDialog dialog;
    dialog.open();
    auto* name = dialog.ControlAs<QLineEdit>(100);
    name->clear();
    test::TypeText(name, "abcdefghijklmnop");
    EXPECT_EQ(name->text(), "abcdefghij");
    // "ü" takes two bytes of the stored text.
    name->clear();
    test::TypeText(name, QString::fromUtf8("üüüüüüx"));
    EXPECT_EQ(name->text(), QString::fromUtf8("üüüüü"));

    name->setText("a text of 17 byte");
    QTest::keyClick(name, Qt::Key_End);
    QTest::keyClick(name, Qt::Key_Backspace);
    EXPECT_EQ(name->text(), "a text of 17 byt");
    name->selectAll();
    test::TypeText(name, "replaced by more");
    EXPECT_EQ(name->text(), "replaced b");
}

TEST_F(TemplateDialog, ABrokenLimitShowsTheMessageAndKeepsTheDialogOpen) {
    SampleDialog dialog;
    dialog.open();
    dialog.SetControlString(100, "eleven char");
    QTest::mouseClick(dialog.ControlAs<QPushButton>(kIdOk), Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.name, "initial");
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], "Please enter no more than 10 characters.");
    // The offending edit gets the focus with its text selected.
    EXPECT_EQ(dialog.focusWidget(), dialog.Control(100));
    EXPECT_EQ(dialog.ControlAs<QLineEdit>(100)->selectedText(), "eleven char");

    dialog.SetControlString(100, "ten chars!");
    dialog.SetControlString(102, "fünf");  // five bytes
    QTest::mouseClick(dialog.ControlAs<QPushButton>(kIdOk), Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(boxes.Texts().size(), 2u);
    EXPECT_EQ(boxes.Texts()[1], "Please enter no more than 4 characters.");

    dialog.SetControlString(102, "vier");
    QTest::mouseClick(dialog.ControlAs<QPushButton>(kIdOk), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.name, "ten chars!");
    EXPECT_EQ(dialog.secret, "vier");
}

TEST_F(TemplateDialog, ANumberFieldRefusesWhatIsNotA32BitInteger) {
    for (const char* bad : {"", "12a", "abc", "2147483648", "1.5", "--3"}) {
        SampleDialog dialog;
        dialog.open();
        dialog.SetControlString(101, bad);
        QTest::mouseClick(dialog.ControlAs<QPushButton>(kIdOk), Qt::LeftButton);
        EXPECT_TRUE(dialog.isVisible()) << bad;
        EXPECT_EQ(dialog.number, 7) << bad;
    }
    auto texts = boxes.Texts();
    ASSERT_EQ(texts.size(), 6u);
    for (const auto& t : texts) EXPECT_EQ(t, "Please enter an integer.");

    SampleDialog dialog;
    dialog.open();
    dialog.SetControlString(101, "+2147483647");
    QTest::mouseClick(dialog.ControlAs<QPushButton>(kIdOk), Qt::LeftButton);
    EXPECT_EQ(dialog.number, 2147483647);
}

// --- Ending a dialog -----------------------------------------------------------

TEST_F(TemplateDialog, EnterPressesOkAndEscapeCancels) {
    SampleDialog first;
    first.open();
    QTest::keyClick(first.Control(100), Qt::Key_Return);
    EXPECT_EQ(first.okCalls, 1);
    EXPECT_EQ(first.result(), kIdOk);

    SampleDialog second;
    second.open();
    second.SetControlString(100, "edited");
    QTest::keyClick(second.Control(100), Qt::Key_Escape);
    EXPECT_EQ(second.cancelCalls, 1);
    EXPECT_FALSE(second.isVisible());
    EXPECT_EQ(second.result(), QDialog::Rejected);
    EXPECT_EQ(second.name, "initial");
}

TEST_F(TemplateDialog, CancelAndOtherButtonsGoToTheirHandlers) {
    SampleDialog dialog;
    dialog.open();
    QTest::mouseClick(dialog.ControlAs<QPushButton>(3), Qt::LeftButton);
    EXPECT_EQ(dialog.commands, std::vector<int>{3});
    EXPECT_TRUE(dialog.isVisible());
    QTest::mouseClick(dialog.ControlAs<QPushButton>(kIdCancel), Qt::LeftButton);
    EXPECT_EQ(dialog.cancelCalls, 1);
    EXPECT_EQ(dialog.okCalls, 0);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(TemplateDialog, ClosingTheWindowCancels) {
    SampleDialog dialog;
    dialog.open();
    dialog.close();
    EXPECT_EQ(dialog.cancelCalls, 1);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}
