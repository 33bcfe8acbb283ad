#include <gtest/gtest.h>

#include <QComboBox>
#include <QTreeWidget>

#include <functional>
#include <optional>

#include "archive/ui/CArchiveTreeDlg.h"
#include "archive/ui/CTimeTreeDlg.h"
#include "maindlg/ui/MainDialogWorld.h"
#include "playback/PlaybackRecords.h"
#include "playback/ui/CArchiveViewDlg.h"
#include "playback/ui/CMotionHistoryDlg.h"
#include "playback/ui/CPlayerControlDlg.h"
#include "playback/ui/CPlayerDlg.h"
#include "playback/ui/CPositionSlider.h"
#include "playback/ui/CVideoView.h"
#include "recorder/Protocol.h"
#include "support/TestFilters.h"
#include "support/WaitFor.h"

namespace corvanta {
namespace {

using recorder::CivilDate;

// Counts the hide events Qt sends a widget on its own.
struct SpontaneousHides : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::Hide && event->spontaneous();
        return false;
    }
};

class ArchiveTrees : public ::testing::Test {
protected:
    explicit ArchiveTrees(const std::function<void(recorder::RecorderConfig&)>& configure = {})
        : recorder(configure) {}

    void SetUp() override {
        test::QtTestApp();
        dialog = std::make_unique<CArchiveMainDlg>(nullptr, test::OwnSeconds());
        dialog->resize(1000, 700);
        dialog->show();
        test::LogIn(*dialog);
        ASSERT_NE(dialog->FullPane(), nullptr);
        messages.emplace();  // after the dialog installed its own
        full = dialog->FullPane();
        player = dialog->ViewPane()->Player();
    }
    void TearDown() override {
        messages.reset();
        dialog.reset();
    }

    const recorder::DemoArchive& Archive() { return recorder.Server().archive(); }
    size_t Count(uint32_t code) { return recorder.CommandLines(kArchiveQueryFilterName, code).size(); }

    QTreeWidgetItem* Expand(QTreeWidgetItem* item) {
        item->setExpanded(true);
        return item;
    }
    // The item of `date` under source `source`, opened down to its sessions.
    QTreeWidgetItem* DayItem(int source, CivilDate date) {
        QTreeWidgetItem* src = Expand(full->Tree()->topLevelItem(source));
        for (int m = 0; m < src->childCount(); ++m) {
            if (src->child(m)->text(0) != QString::asprintf("%d/%02u", date.year, date.month)) continue;
            QTreeWidgetItem* month = Expand(src->child(m));
            for (int d = 0; d < month->childCount(); ++d)
                if (full->NodeOf(month->child(d))->day->day == date.day) return Expand(month->child(d));
        }
        return nullptr;
    }
    CivilDate BusyDay() { return test::BusyDay(Archive(), 2); }
    // The position slider dragged to its end, then ">".
    void StepPastTheEnd() {
        CPositionSlider* slider = player->PositionSlider();
        const int y = slider->height() / 2;
        QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(2, y));
        slider->setValue(slider->maximum());
        QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(slider->width() - 2, y));
        static_cast<QAbstractButton*>(player->Panel()->Control(CPlayerControlDlg::kIdStepForward))->click();
    }
    std::vector<const recorder::Recording*> RecordingsOf(CivilDate date) {
        const recorder::Seconds from = recorder::startOfDay(date);
        return Archive().overlapping(0, from, from + recorder::kSecondsPerDay);
    }

    test::ServiceWorld home{false};  // the dialog draws its own instance
    test::RecorderWorld recorder;
    std::unique_ptr<CArchiveMainDlg> dialog;
    CArchiveTreeDlg* full = nullptr;
    CPlayerDlg* player = nullptr;
    std::optional<test::RecordingMessageBoxes> messages;
};

TEST_F(ArchiveTrees, FullTreeMatchesTheRecordersArchiveLevelByLevel) {
    const auto& sources = Archive().sources();
    ASSERT_EQ(full->Tree()->topLevelItemCount(), int(sources.size()));
    EXPECT_EQ(full->Tree()->topLevelItem(0)->text(0), QString::fromStdString(sources[0].displayName));
    EXPECT_EQ(Expand(full->Tree()->topLevelItem(0))->childCount(), int(Archive().months(0).size()));
    QTreeWidgetItem* day = DayItem(0, BusyDay());
    ASSERT_NE(day, nullptr);
    const auto recordings = RecordingsOf(BusyDay());
    ASSERT_EQ(day->childCount(), int(recordings.size()));
    EXPECT_EQ(full->NodeOf(day->child(0))->session->fileName, recordings[0]->fileName);

    // Expanding again asks nothing; a source without recordings has an empty branch.
    const size_t asked = Count(kArchiveListSessions);
    day->setExpanded(false);
    day->setExpanded(true);
    EXPECT_EQ(Count(kArchiveListSessions), asked);
    for (int s = 0; s < int(sources.size()); ++s)
        if (Archive().recordings(uint32_t(s)).empty()) {
            QTreeWidgetItem* empty = Expand(full->Tree()->topLevelItem(s));
            EXPECT_EQ(empty->childCount(), 0) << sources[size_t(s)].displayName;
            EXPECT_EQ(full->NodeOf(empty)->expanded, 1u);
        }
}

TEST_F(ArchiveTrees, SelectingPlaysAndTheEndOfTheDaysLastFileEndsThePlayer) {
    QTreeWidgetItem* day = DayItem(0, BusyDay());
    ASSERT_NE(day, nullptr);
    const int sessions = day->childCount();
    full->Tree()->setCurrentItem(day->child(sessions - 1));
    ASSERT_TRUE(player->View()->IsOpen());
    StepPastTheEnd();
    // No next file: the player is told so.
    ASSERT_TRUE(test::WaitFor([&] { QApplication::processEvents(); return !player->Clock().EndReported(); }, 5000));
    EXPECT_EQ(full->Tree()->currentItem(), day->child(sessions - 1));

    // Refresh stops the player before it asks for the sources again.
    full->Refresh();
    EXPECT_FALSE(player->View()->IsOpen());
    EXPECT_FALSE(recorder.CommandLines(kPlaybackManagerFilterName, kPlaybackCloseFile).empty());
}

TEST_F(ArchiveTrees, AFileTheManagerDoesNotKnowLeavesThePlayerClosedAndADayShowsItsHistory) {
    const CivilDate date = BusyDay();
    QTreeWidgetItem* day = DayItem(0, date);
    ASSERT_NE(day, nullptr);
    full->NodeOf(day->child(0))->session->fileName = "D:\\Archive\\nowhere.avi";
    full->Tree()->setCurrentItem(day->child(0));
    EXPECT_FALSE(player->View()->IsOpen());
    // Said over the empty picture, not in a modal box, and the wait cursor is gone.
    EXPECT_TRUE(messages->Texts().empty());
    EXPECT_TRUE(player->isVisibleTo(dialog->ViewPane()));
    const std::string notice = player->View()->Notice().toStdString();
    EXPECT_NE(notice.find("did not open D:\\Archive\\nowhere.avi"), std::string::npos) << notice;
    EXPECT_EQ(nullptr, QApplication::overrideCursor());

    full->Tree()->setCurrentItem(day);
    EXPECT_TRUE(dialog->ViewPane()->MotionHistory()->isVisible());
    const DayPayload* payload = full->NodeOf(day)->day.get();
    ASSERT_EQ(payload->activity.size(), size_t(recorder::kSecondsPerDay));
    const auto expected = Archive().activity(0, recorder::startOfDay(date), uint32_t(recorder::kSecondsPerDay));
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), payload->activity.begin()));
}

TEST_F(ArchiveTrees, MinimisingTheWindowKeepsTheSelectionAndPlaybackWhileHidingThePaneStopsThem) {
    QTreeWidgetItem* day = DayItem(0, BusyDay());
    ASSERT_NE(day, nullptr);
    full->Tree()->setCurrentItem(day->child(0));
    ASSERT_TRUE(player->View()->IsOpen());
    static_cast<QAbstractButton*>(player->Panel()->Control(CPlayerControlDlg::kIdPlay))->click();
    ASSERT_EQ(player->State().playing, 1u);
    const size_t closes = recorder.CommandLines(kPlaybackManagerFilterName, kPlaybackCloseFile).size();

    // Minimised (or moved to another virtual desktop), Qt hides the children spontaneously.
    SpontaneousHides hides;
    full->installEventFilter(&hides);
    dialog->showMinimized();
    QApplication::processEvents();
    ASSERT_EQ(hides.count, 1);
    dialog->showNormal();
    QApplication::processEvents();
    EXPECT_EQ(full->Tree()->currentItem(), day->child(0));
    EXPECT_TRUE(player->View()->IsOpen());
    EXPECT_EQ(player->State().playing, 1u);
    EXPECT_EQ(recorder.CommandLines(kPlaybackManagerFilterName, kPlaybackCloseFile).size(), closes);

    // A real hide of the pane still ends what the selection started.
    full->hide();
    EXPECT_FALSE(player->View()->IsOpen());
    EXPECT_EQ(full->Tree()->currentItem(), nullptr);
    EXPECT_EQ(recorder.CommandLines(kPlaybackManagerFilterName, kPlaybackCloseFile).size(), closes + 1);
}

TEST_F(ArchiveTrees, TimeSearchListsTheIntervalSendsBackwardsIntervalsAndWaitsForASlowRecorder) {
    CTimeTreeDlg* byTime = dialog->ByTimePane();
    byTime->show();
    const CivilDate date = BusyDay();
    const QDate qdate(date.year, int(date.month), int(date.day));
    byTime->SetInterval(QDateTime(qdate, QTime(0, 0)), QDateTime(qdate, QTime(23, 59, 59)));
    recorder.Server().setFaults(recorder::FaultConfig{.delayMs = 10000});
    byTime->Search();
    recorder.Server().setFaults({});
    ASSERT_EQ(byTime->Tree()->topLevelItemCount(), int(RecordingsOf(date).size())) << "a 10 s answer still fills the tree";
    byTime->Tree()->setCurrentItem(byTime->Tree()->topLevelItem(0));
    EXPECT_TRUE(player->View()->IsOpen());
    byTime->SetInterval(QDateTime(qdate, QTime(12, 0)), QDateTime(qdate, QTime(11, 0)));
    const size_t searches = Count(kArchiveSearch);
    byTime->Search();
    EXPECT_EQ(Count(kArchiveSearch), searches + 1);  // sent as it stands
    EXPECT_FALSE(player->View()->IsOpen());
    EXPECT_EQ(byTime->Tree()->topLevelItemCount(), 0);
}

// A source whose id and name are bytes of an 8-bit code page, and "CAM06",
// which records some 540 files a day: two days do not fit one answer.
constexpr char kEightBitId[] = "Kam\xE9ra";            // 7 bytes, 9 as UTF-8
constexpr char kEightBitName[] = "Entr\xE9" "e Nord";  // "Entrée Nord" in Latin-1

class UnusualRecorder : public ArchiveTrees {
protected:
    UnusualRecorder()
        : ArchiveTrees([](recorder::RecorderConfig& config) {
              config.renames = {{"CAM01", kEightBitId, kEightBitName}};
              config.busySource = true;
          }) {}
    void SearchDays(int source, QDate from, QDate to) {
        CTimeTreeDlg* byTime = dialog->ByTimePane();
        byTime->show();
        byTime->Sources()->setCurrentIndex(source);
        byTime->SetInterval(QDateTime(from, QTime(0, 0)), QDateTime(to, QTime(23, 59, 59)));
        byTime->Search();
    }
};

TEST_F(UnusualRecorder, IdsTravelAsTheRecordersBytesAndNamesShowAsLatin1) {
    ASSERT_EQ(Archive().sources()[0].id, kEightBitId);
    const QString shown = QString::fromLatin1(kEightBitName);
    EXPECT_EQ(full->Tree()->topLevelItem(0)->text(0), shown);
    const CivilDate date = BusyDay();
    const QDate day(date.year, int(date.month), int(date.day));
    SearchDays(0, day, day);
    EXPECT_EQ(dialog->ByTimePane()->Sources()->itemText(0), shown);
    EXPECT_EQ(recorder.CommandLines(kArchiveQueryFilterName, kArchiveSearch, true).size(), 1u)
        << "the recorder knew the source asked for";
    QTreeWidget* list = dialog->ByTimePane()->Tree();
    ASSERT_EQ(list->topLevelItemCount(), int(RecordingsOf(date).size()));
    EXPECT_EQ(full->NodeOf(list->topLevelItem(0))->session->sourceName, kEightBitName);
}

TEST_F(UnusualRecorder, ASearchAnswerCutAtOneHttpAnswerSaysThatMoreRecordingsExist) {
    const int busy = int(Archive().sources().size() - 1);
    ASSERT_EQ(Archive().sources()[size_t(busy)].id, "CAM06");
    const CivilDate last = Archive().anchor();
    const QDate to(last.year, int(last.month), int(last.day));
    SearchDays(busy, to.addDays(-2), to);

    // The recorder cut the list at the last whole entry that fits its answer.
    const int cut = int((recorder::kMaxAnswerBody - kIcpHeaderSize) / sizeof(SessionEntry));
    QTreeWidget* list = dialog->ByTimePane()->Tree();
    ASSERT_EQ(list->topLevelItemCount(), cut + 1);
    QTreeWidgetItem* note = list->topLevelItem(cut);
    EXPECT_EQ(full->NodeOf(note), nullptr);
    EXPECT_TRUE(note->text(0).contains("More recordings exist") && note->text(0).contains("narrow"))
        << note->text(0).toStdString();

    // The note is never played: the last file listed ends the hand-over.
    list->setCurrentItem(list->topLevelItem(cut - 1));
    StepPastTheEnd();
    ASSERT_TRUE(test::WaitFor([&] { QApplication::processEvents(); return !player->Clock().EndReported(); }, 5000));
    EXPECT_EQ(list->currentItem(), list->topLevelItem(cut - 1));
}

}  // namespace
}  // namespace corvanta
