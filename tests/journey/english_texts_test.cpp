// Every dialog and pane of the viewer, opened with the installed English
// dictionary: no text a person can read is left in another language, and
// every key the viewer translates has its English line.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTabBar>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest/QTest>
#include <filesystem>
#include <set>

#include "control/CAboutDlg.h"
#include "control/CCorvantaArchivePropPage.h"
#include "control/CShortcutsDlg.h"
#include "maindlg/ui/MainDialogWorld.h"
#include "playback/ui/CArchiveViewDlg.h"
#include "playback/ui/CExportDlg.h"
#include "playback/ui/CExportProgressDlg.h"
#include "playback/ui/CMotionHistoryDlg.h"
#include "playback/ui/CPlayerControlDlg.h"
#include "playback/ui/CPlayerDlg.h"
#include "playback/ui/CVideoView.h"
#include "playback/ui/PlayerTestSupport.h"
#include "archive/ui/CArchiveTreeDlg.h"
#include "archive/ui/CTimeTreeDlg.h"
#include "services/LanguageDictionary.h"
#include "services/ui/ControlIdentity.h"
#include "support/TestFilters.h"

namespace corvanta {
namespace {

using namespace test;

// The English words the viewer's texts are made of. A new text with a new
// word adds it here; a word of another language has no place here.
constexpr const char* kEnglishWords =
    "a about above again an and answer answered archive archives as at avi back bar be been below beside "
    "browse buffer by camera cancel cctv change check click clicked close connect connected control "
    "controlled corvantaarchive ctrl data day does double down download drag e earlier end entry estimating "
    "exist export exporting f fast faster file first fit folder for format forward frame frames from full "
    "general go has have history hold home http image images in integer is it item its jog jpeg jpg key "
    "keyboard keys label larger last later left let list live log login mb media middle mode more motion "
    "mouse move name narrow network no not of off ok on once one only open or own pane password pause picture "
    "pictures play player playing plays please port position range recorder recorders recording recordings "
    "refresh refused reload remote repeat right running save search second see select selected send sends "
    "server session settings shift shortcuts shown shows simple size slider slower slowly space speed springs "
    "start step stream that the them then this time to toolbar tree trees up upper url user version video "
    "view viewer watch what when where while with work";

// Why `text` is not English a person could read; empty when it is.
QString NotEnglish(const QString& text) {
    static const std::set<QString> words = [] {
        std::set<QString> all;
        for (const QString& w : QString::fromLatin1(kEnglishWords).split(' ', Qt::SkipEmptyParts)) all.insert(w);
        return all;
    }();
    for (const QChar c : text)
        if (c.isLetter() && c.unicode() > 0x7F) return QStringLiteral("the letter ") + c;
    static const QRegularExpression word(QStringLiteral("([A-Za-z]+)(?:'s)?"));
    for (auto it = word.globalMatch(text); it.hasNext();) {
        const QString w = it.next().captured(1).toLower();
        if (!words.count(w)) return QStringLiteral("the word \"%1\"").arg(w);
    }
    return {};
}

struct ShownText {
    QString where;
    QString text;
};

// Every text a person can read on `root` and the widgets in it. The trees'
// items and the lists' entries are the recorder's, not the viewer's.
std::vector<ShownText> TextsOf(QWidget* root) {
    std::vector<ShownText> texts;
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* w : widgets) {
        const QString where = QString::fromLatin1(w->metaObject()->className()) + " " + w->objectName();
        auto add = [&](const QString& text) {
            if (!text.isEmpty()) texts.push_back({where, text});
        };
        if (w->isWindow()) add(w->windowTitle());
        add(w->toolTip());
        if (auto* label = qobject_cast<QLabel*>(w)) add(label->text());
        if (auto* button = qobject_cast<QAbstractButton*>(w)) add(button->text().remove('&'));
        if (auto* group = qobject_cast<QGroupBox*>(w)) add(group->title());
        if (auto* edit = qobject_cast<QLineEdit*>(w)) add(edit->placeholderText());
        if (auto* tabs = qobject_cast<QTabBar*>(w))
            for (int i = 0; i < tabs->count(); ++i) add(tabs->tabText(i));
        if (auto* table = qobject_cast<QTableWidget*>(w))
            for (int c = 0; c < table->columnCount(); ++c) {
                if (table->horizontalHeaderItem(c)) add(table->horizontalHeaderItem(c)->text());
                for (int r = 0; r < table->rowCount(); ++r)
                    if (table->item(r, c)) add(table->item(r, c)->text());
            }
        if (auto* tree = qobject_cast<QTreeWidget*>(w))
            if (!tree->isHeaderHidden())
                for (int c = 0; c < tree->columnCount(); ++c) add(tree->headerItem()->text(c));
        if (auto* pane = dynamic_cast<CPaneTabCtrl*>(w)) add(pane->EmptyText());
        if (auto* view = dynamic_cast<CVideoView*>(w)) add(view->Notice());
        for (QAction* action : w->actions()) {
            add(action->text());
            add(action->toolTip());
        }
    }
    return texts;
}

class EnglishTexts : public ::testing::Test {
protected:
    void SetUp() override {
        QtTestApp();
        // Where an installed viewer finds it, before the dialog starts its translator.
        m_installed = ReadWholeFile(DICTIONARY_DIR "/language_basic.txt");
        const std::string place = home.Dir() + "/data/corvanta";
        std::filesystem::create_directories(place);
        m_inUse = place + "/language_basic.txt";
        WriteWholeFile(m_inUse, m_installed);
        dialog = std::make_unique<CArchiveMainDlg>(nullptr, OwnSeconds());
        dialog->resize(1280, 800);
        dialog->show();
        messages.emplace();
    }
    // Checks every text of `widget` and its children, saying what it was.
    void ExpectEnglish(QWidget* widget, const char* what) {
        const std::vector<ShownText> texts = TextsOf(widget);
        EXPECT_FALSE(texts.empty()) << what;
        for (const ShownText& t : texts) {
            const QString why = NotEnglish(t.text);
            EXPECT_TRUE(why.isEmpty()) << what << ", " << t.where.toStdString() << ": \"" << t.text.toStdString()
                                       << "\" has " << why.toStdString();
        }
    }

    ServiceWorld home{false};
    RecorderWorld recorder;
    std::string m_installed, m_inUse;
    std::unique_ptr<CArchiveMainDlg> dialog;
    std::optional<RecordingMessageBoxes> messages;
};

TEST(EnglishWords, TellEnglishFromWordingWithOrWithoutAccents) {
    for (const char* english : {"Speed", "Log Off...", "frame 12 / 6000", "Server URL:", "2024-03-02 10:00:01"})
        EXPECT_EQ(NotEnglish(QString::fromUtf8(english)).toStdString(), "") << english;
    for (const char* other : {">Sebesség>", "Lejatszas", "Geschwindigkeit", "Szünet", "Камера"})
        EXPECT_NE(NotEnglish(QString::fromUtf8(other)).toStdString(), "") << other;
}

TEST_F(EnglishTexts, EveryDialogAndPaneShowsEnglishAndTheDictionaryHasEveryKey) {
    for (const DictionaryEntry& e : ParseDictionary(m_installed))
        EXPECT_EQ(NotEnglish(QString::fromStdString(e.translation)).toStdString(), "") << e.key;
    ExpectEnglish(dialog.get(), "before login");

    WhenModal<ui::CLoginDlg>([this](ui::CLoginDlg* login) {
        ExpectEnglish(login, "login dialog");
        login->reject();
    });
    ClickCommand(*dialog, CArchiveMainDlg::kCmdLogin);
    LogIn(*dialog, "demo", "wrong");
    ASSERT_EQ(messages->Texts().size(), 1u);
    EXPECT_EQ(NotEnglish(QString::fromStdString(messages->Texts()[0])).toStdString(), "") << messages->Texts()[0];
    LogIn(*dialog);
    ASSERT_NE(dialog->FullPane(), nullptr);

    // A recording playing, then a day's motion history with its own player.
    QTreeWidget* tree = dialog->FullPane()->Tree();
    const recorder::CivilDate date = BusyDay(recorder.Server().archive(), 1);
    QTreeWidgetItem* item = tree->topLevelItem(0);
    for (const QString& text : {QString::asprintf("%d/%02u", date.year, date.month),
                                QString::asprintf("%d/%02u/%02u", date.year, date.month, date.day)}) {
        OpenItem(tree, item);
        item = ChildWithText(item, text);
        ASSERT_TRUE(item) << text.toStdString();
    }
    OpenItem(tree, item);
    ASSERT_GT(item->childCount(), 0);
    ClickItem(tree, item->child(0));
    CPlayerDlg* player = dialog->ViewPane()->Player();
    ASSERT_TRUE(player->View()->IsOpen());
    EXPECT_EQ(ui::ControlText(player->Panel()->SpeedLabel()).toStdString(), "Speed");
    {
        std::unique_ptr<CExportDlg> exporting = player->MakeExportDialog();
        ASSERT_NE(exporting, nullptr);
        exporting->show();
        ExpectEnglish(exporting.get(), "export dialog");
        CExportProgressDlg progress(exporting->Plan().Job("", "", home.Dir() + "/video.avi"), dialog.get());
        progress.show();
        ExpectEnglish(&progress, "export progress");
    }
    ClickItem(tree, item);
    ASSERT_TRUE(PumpUntil([&] { return dialog->ViewPane()->MotionHistory()->isVisible(); }, 10000));
    ExpectEnglish(dialog.get(), "full tree, player, motion history");
    ClickTab(dialog->LeftTab(), 1);
    ASSERT_TRUE(dialog->ByTimePane()->isVisible());
    ExpectEnglish(dialog.get(), "search by time");

    control::CAboutDlg about(dialog.get());
    control::CCorvantaArchivePropPage page(dialog.get());
    control::CShortcutsDlg shortcuts(dialog.get());
    const std::pair<QDialog*, const char*> boxes[] = {{&about, "about box"}, {&page, "property page"},
                                                      {&shortcuts, "keyboard shortcuts"}};
    for (const auto& [box, what] : boxes) {
        box->show();
        ExpectEnglish(box, what);
        box->hide();
    }

    // Nothing was learned: the dictionary has an English line for every key met.
    const std::string after = ReadWholeFile(m_inUse);
    EXPECT_EQ(after.substr(std::min(after.size(), m_installed.size())), "") << "keys missing from language_basic.txt";
}

}  // namespace
}  // namespace corvanta
