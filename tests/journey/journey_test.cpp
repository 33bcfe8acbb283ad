// A user's journey through the real widgets against the recorder stand-in,
// with a screenshot of each stage; its twin goes while the recorder misbehaves.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QTreeWidget>
#include <QtTest/QTest>
#include <filesystem>
#include <optional>

#include "archive/ArchiveRecords.h"
#include "archive/ui/CArchiveTreeDlg.h"
#include "archive/ui/CTimeTreeDlg.h"
#include "framework/CMessageQueueManager.h"
#include "framework/InstanceNames.h"
#include "maindlg/ui/MainDialogWorld.h"
#include "playback/TimelineColumns.h"
#include "playback/ui/CArchiveViewDlg.h"
#include "playback/ui/CDayTimelineDlg.h"
#include "playback/ui/CJogSlider.h"
#include "playback/ui/CMotionHistoryDlg.h"
#include "playback/ui/CPlayerControlDlg.h"
#include "playback/ui/CPlayerDlg.h"
#include "playback/ui/CPositionSlider.h"
#include "playback/ui/CRangeSlider.h"
#include "playback/ui/CThumbnailPopup.h"
#include "playback/ui/CTimelineBar.h"
#include "playback/ui/CVideoView.h"
#include "playback/ui/PlayerTestSupport.h"
#include "recorder/folder/FolderArchive.h"
#include "support/PeerProcess.h"
#include "support/VideoFixtures.h"
#include "support/TestFilters.h"

namespace corvanta {
namespace {

using namespace test;
using recorder::CivilDate;
using recorder::kSecondsPerDay;

void Pump(int ms) {
    PumpUntil([] { return false; }, uint32_t(ms));
}

void ClickControl(ui::CTemplateDialog* dialog, int id) {
    QTest::mouseClick(dialog->ControlAs<QAbstractButton>(id), Qt::LeftButton);
}

// The x of a slider's handle at `value`.
int HandleX(QSlider* slider, int value) {
    const QRect groove = SliderPart(*slider, QStyle::SC_SliderGroove);
    const QRect handle = SliderPart(*slider, QStyle::SC_SliderHandle);
    const int span = groove.width() - handle.width();
    return groove.x() + handle.width() / 2 +
           QStyle::sliderPositionFromValue(slider->minimum(), slider->maximum(), value, span);
}

// Drags a slider's handle to `value` and lets go after `holdMs` of Qt's loop.
void DragSlider(QSlider* slider, int value, int holdMs = 0) {
    const int y = slider->height() / 2;
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(HandleX(slider, slider->value()), y));
    QTest::mouseMove(slider, QPoint(HandleX(slider, value), y));
    Pump(holdMs);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(HandleX(slider, value), y));
}

// The main dialog as a user first sees it, with the English dictionary where
// an installed viewer finds it, so the pictures show what users see.
std::unique_ptr<CArchiveMainDlg> OpenMainDialog(const ServiceWorld& home) {
    QtTestApp();
    WriteWholeFile(home.Dir() + "/data/corvanta/language_basic.txt", ReadWholeFile(DICTIONARY_DIR "/language_basic.txt"));
    auto dialog = std::make_unique<CArchiveMainDlg>(nullptr, OwnSeconds());
    dialog->resize(1280, 800);
    dialog->show();
    dialog->activateWindow();
    return dialog;
}

class Journey : public ::testing::Test {
protected:
    void SetUp() override {
        dialog = OpenMainDialog(home);
        messages.emplace();  // after the dialog installed its own
    }
    void Shot(const char* name) {
        Pump(30);
        dialog->grab().save(QStringLiteral(SCREENSHOT_DIR "/journey_") + name + ".png", "PNG");
    }
    void LogIn() { test::LogIn(*dialog); }
    const recorder::DemoArchive& Archive() { return recorder.Server().archive(); }
    CivilDate BusyDay() { return test::BusyDay(Archive(), 3); }
    QTreeWidgetItem* OpenDay(CivilDate date) {
        QTreeWidget* tree = dialog->FullPane()->Tree();
        QTreeWidgetItem* source = tree->topLevelItem(0);
        OpenItem(tree, source);
        QTreeWidgetItem* month = ChildWithText(source, QString::asprintf("%d/%02u", date.year, date.month));
        if (!month) return nullptr;
        OpenItem(tree, month);
        QTreeWidgetItem* day = ChildWithText(month, QString::asprintf("%d/%02u/%02u", date.year, date.month, date.day));
        if (day) OpenItem(tree, day);
        return day;
    }

    ServiceWorld home{false};  // the dialog draws its own instance
    RecorderWorld recorder;
    std::unique_ptr<CArchiveMainDlg> dialog;
    std::optional<RecordingMessageBoxes> messages;
};

TEST_F(Journey, FromLoginToRefreshThroughTheRealWidgets) {
    PeerProcess eventLog(EVENTLOG_PROGRAM, {std::to_string(InstanceNames::InstanceNumber())});
    ASSERT_NE(eventLog.ReadLine(), "");
    ASSERT_TRUE(PumpUntil([] { return CMessageQueueManager::FindQueue(kEventLoggerName) != 0; }, 5000));

    Shot("01_start");
    LogIn();
    ASSERT_NE(dialog->FullPane(), nullptr);
    QTreeWidget* tree = dialog->FullPane()->Tree();
    CPlayerDlg* player = dialog->ViewPane()->Player();
    CPlayerControlDlg* panel = player->Panel();
    const PlaybackState& state = player->State();

    const CivilDate date = BusyDay();
    QTreeWidgetItem* day = OpenDay(date);
    ASSERT_NE(day, nullptr);
    const recorder::Seconds midnight = recorder::startOfDay(date);
    const auto recs = Archive().overlapping(0, midnight, midnight + kSecondsPerDay);
    ASSERT_EQ(day->childCount(), int(recs.size()));
    Shot("02_day_opened");

    const int first = day->childCount() - 2;
    ClickItem(tree, day->child(first));
    ASSERT_TRUE(player->View()->IsOpen());
    ClickControl(panel, CPlayerControlDlg::kIdPlay);
    const uint32_t shown = player->FramesShown();
    ASSERT_TRUE(PumpUntil([&] { return player->FramesShown() > shown + 5; }, 10000));
    Shot("03_playing");

    // Faster on the slider, back with the keyboard, which needs the focus.
    const uint32_t period = player->ClockPeriod();
    QSlider* speed = panel->SpeedSlider();
    DragSlider(speed, speed->maximum());
    EXPECT_EQ(panel->SpeedPosition(), 9);
    EXPECT_EQ(state.step, 8u);
    dialog->activateWindow();
    player->setFocus();
    ASSERT_TRUE(PumpUntil([&] { return player->hasFocus(); }, 3000));
    for (int i = 0; i < 4; ++i) QTest::keyClick(player, Qt::Key_Down);
    EXPECT_EQ(panel->SpeedPosition(), 5);
    EXPECT_EQ(state.step, 1u);
    EXPECT_EQ(player->ClockPeriod(), period);

    ClickControl(panel, CPlayerControlDlg::kIdPause);
    EXPECT_EQ(state.paused, 1u);
    const uint32_t at = state.currentFrame;
    ClickControl(panel, CPlayerControlDlg::kIdStepForward);
    EXPECT_EQ(state.currentFrame, at + 1);
    ClickControl(panel, CPlayerControlDlg::kIdStepBack);
    EXPECT_EQ(state.currentFrame, at);
    // Under the slider: the frame's recorded time through the recorder's second index, not approximated.
    const QString dayText = QString::asprintf("%d-%02u-%02u ", date.year, date.month, date.day);
    const QString timeText = player->FrameTimeLabel()->text();
    EXPECT_TRUE(timeText.startsWith(dayText)) << timeText.toStdString();
    EXPECT_TRUE(timeText.endsWith(QString::asprintf("frame %u / %u", at + 1, state.frameCount))) << timeText.toStdString();

    CPositionSlider* position = player->PositionSlider();
    const int target = position->maximum() * 3 / 4;
    DragSlider(position, target);
    EXPECT_NEAR(double(state.currentFrame), double(target), position->maximum() / 20.0);

    const uint32_t beforeJog = state.currentFrame;
    CJogSlider* jog = panel->JogSlider();
    DragSlider(jog, jog->maximum(), 400);
    EXPECT_GT(state.currentFrame, beforeJog);
    EXPECT_TRUE(PumpUntil([&] { return state.jogging == 0; }, 2000));
    Shot("04_stepped");

    DragSlider(position, position->maximum());
    ClickControl(panel, CPlayerControlDlg::kIdStepForward);
    ASSERT_TRUE(PumpUntil([&] { return tree->currentItem() == day->child(first + 1); }, 10000));
    EXPECT_TRUE(player->View()->IsOpen());
    Shot("05_next_file");

    ClickItem(tree, day);
    CMotionHistoryDlg* history = dialog->ViewPane()->MotionHistory();
    ASSERT_TRUE(PumpUntil([&] { return history->isVisible(); }, 5000));
    CDayTimelineDlg* timeline = history->Timeline();
    double left = 0, right = 0;
    timeline->RangeSlider()->GetRange(left, right);
    const TimelineScale scale{int32_t(left), int32_t(right), timeline->UpperBar()->width()};
    const int32_t second = int32_t((recs[1]->start + recs[1]->stop) / 2 - midnight);
    QTest::mouseClick(timeline->UpperBar(), Qt::LeftButton, {}, QPoint(scale.X(second), 5));
    ASSERT_TRUE(PumpUntil([&] { return timeline->Playback().CurrentFile() == recs[1]->fileName; }, 10000));
    CPlayerDlg* historyPlayer = history->Player();
    EXPECT_TRUE(historyPlayer->View()->IsOpen());
    EXPECT_EQ(Archive().frameInSecond(*recs[1], midnight + scale.SecondAt(scale.X(second))).value(),
              historyPlayer->State().currentFrame);
    const int32_t clicked = scale.SecondAt(scale.X(second));
    const QString clickedText = QString::asprintf("%02d:%02d:%02d", clicked / 3600, clicked / 60 % 60, clicked % 60);
    EXPECT_TRUE(historyPlayer->FrameTimeLabel()->text().startsWith(dayText + clickedText))
        << historyPlayer->FrameTimeLabel()->text().toStdString() << " " << clickedText.toStdString();
    Shot("06_motion_history");

    // Resting the pointer on a recorded second of the upper bar shows its picture beside it.
    // The pointer cannot leave the screen, which may be smaller than the window: the bar is brought onto it.
    CTimelineBar* upper = timeline->UpperBar();
    const int32_t recStart = int32_t(recs[1]->start - midnight), recStop = int32_t(recs[1]->stop - midnight);
    timeline->RangeSlider()->SetRange(recStart - 900, recStop + 900, CDayTimelineDlg::kMinimumGap);
    platform::SendMessage(timeline->Window(), RangeChangedMessage(), kRangeWhole, CDayTimelineDlg::kIdRange);
    const int thumbX =
        TimelineScale{recStart - 900, recStop + 900, upper->width()}.X(recStart + (recStop - recStart) / 3);
    const QPoint windowAt = dialog->pos();
    dialog->move(windowAt + QGuiApplication::primaryScreen()->geometry().center() - upper->mapToGlobal(QPoint(thumbX, 8)));
    ASSERT_TRUE(PumpUntil([&] { return dialog->pos() != windowAt; }, 2000));
    QCursor::setPos(upper->mapToGlobal(QPoint(thumbX, 8)));
    Mouse(*upper, QEvent::MouseMove, thumbX);
    const int32_t rested = upper->HoverSecond();
    ASSERT_TRUE(PumpUntil([&] {
        return timeline->ThumbnailPopup() && timeline->ThumbnailPopup()->PaintedSecond() == rested &&
               timeline->ThumbnailPopup()->ShownSecond() == rested;
    }, 10000));
    Shot("06_timeline_thumbnail");
    QCursor::setPos(dialog->mapToGlobal(QPoint(-50, -50)));
    ASSERT_TRUE(PumpUntil([&] { return timeline->ThumbnailPopup()->ShownSecond() == -1; }, 5000));
    dialog->move(windowAt);

    const QString snapshot = QString::fromStdString(home.Dir()) + "/snapshot.jpg";
    SaveDialogAnswer answer(snapshot);
    QTest::mouseDClick(historyPlayer->View(), Qt::RightButton, {}, historyPlayer->View()->rect().center());
    const QImage saved(snapshot);
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.width(), int(Archive().sources()[0].width));
    EXPECT_EQ(saved.height(), int(Archive().sources()[0].height));

    ClickTab(dialog->LeftTab(), 1);
    CTimeTreeDlg* byTime = dialog->ByTimePane();
    ASSERT_TRUE(byTime->isVisible());
    const QDate qdate(date.year, int(date.month), int(date.day));
    byTime->SetInterval(QDateTime(qdate, QTime(0, 0)), QDateTime(qdate, QTime(23, 59, 59)));
    QTest::mouseClick(byTime->Panel()->findChild<QAbstractButton*>(), Qt::LeftButton);
    ASSERT_EQ(byTime->Tree()->topLevelItemCount(), int(recs.size()));
    ClickItem(byTime->Tree(), byTime->Tree()->topLevelItem(0));
    EXPECT_TRUE(player->View()->IsOpen());
    Shot("07_search");

    test::LogIn(*dialog, nullptr, nullptr, true);
    EXPECT_EQ(dialog->LeftTab()->Count(), 0);
    Shot("08_logged_off");
    LogIn();
    EXPECT_EQ(dialog->LeftTab()->Count(), 2);
    ClickTab(dialog->LeftTab(), 0);
    ClickCommand(*dialog, CArchiveMainDlg::kCmdRefresh);
    EXPECT_EQ(tree->topLevelItemCount(), int(Archive().sources().size()));
    Shot("09_logged_in_again");

    std::string seen;
    for (std::string line; !(line = eventLog.ReadLine(2000)).empty();) seen += line + "\n";
    for (const char* note : {"note logged in", "note play", "note motion history", "found", "note logged off"})
        EXPECT_NE(seen.find(note), std::string::npos) << note << " in\n" << seen;
}

// Each fault in turn, then clean answers: nothing crashes or hangs, and the
// user is told what to do where it is theirs to act.
TEST_F(Journey, SurvivesAMisbehavingRecorderAndGoesOnWhenItAnswersAgain) {
    recorder::RecorderServer* server = &recorder.Server();

    // Slow, half of the answers empty: each failed login says so.
    server->setFaults({.delayMs = 150, .emptyShare = 0.5, .seed = 3});
    int tries = 0;
    while (!dialog->FullPane() && tries < 12) {
        ++tries;
        LogIn();
    }
    ASSERT_NE(dialog->FullPane(), nullptr);
    EXPECT_EQ(messages->Texts().size(), size_t(tries - 1));
    QTreeWidget* tree = dialog->FullPane()->Tree();
    CPlayerDlg* player = dialog->ViewPane()->Player();

    // Garbage instead of the archive: an empty tree until the next refresh.
    server->setFaults({.garbageShare = 1});
    ClickCommand(*dialog, CArchiveMainDlg::kCmdRefresh);
    EXPECT_EQ(tree->topLevelItemCount(), 0);
    server->setFaults({});
    ClickCommand(*dialog, CArchiveMainDlg::kCmdRefresh);
    ASSERT_EQ(tree->topLevelItemCount(), int(Archive().sources().size()));

    // Cut-off pictures and dropped connections while playing.
    QTreeWidgetItem* day = OpenDay(BusyDay());
    ASSERT_NE(day, nullptr);
    ClickItem(tree, day->child(0));
    ASSERT_TRUE(player->View()->IsOpen());
    ClickControl(player->Panel(), CPlayerControlDlg::kIdPlay);
    server->setFaults({.truncatedJpegShare = 0.5, .dropShare = 0.2, .seed = 5});
    Pump(1500);
    server->setFaults({});
    uint32_t shown = player->FramesShown();
    EXPECT_TRUE(PumpUntil([&] { return player->FramesShown() > shown + 5; }, 10000));
    Shot("faults_after_bad_frames");

    // A stall: frames give up within a second, so Pause gets through.
    server->stallFor(60000);
    Pump(300);
    ClickControl(player->Panel(), CPlayerControlDlg::kIdPause);
    EXPECT_EQ(player->State().paused, 1u);
    server->setFaults({});  // the stall ends

    // Stopped and started again on the same port: it forgot the session.
    ASSERT_TRUE(recorder.Restart());
    server = &recorder.Server();
    const size_t said = messages->Texts().size();
    ClickItem(tree, day->child(1));
    EXPECT_FALSE(player->View()->IsOpen());
    EXPECT_EQ(messages->Texts().size(), said);  // said in the view, not in a box
    EXPECT_TRUE(player->View()->Notice().contains(QStringLiteral("log in again")));
    Shot("faults_recording_not_opened");
    LogIn();
    ClickCommand(*dialog, CArchiveMainDlg::kCmdRefresh);
    day = OpenDay(BusyDay());
    ASSERT_NE(day, nullptr);
    ClickItem(tree, day->child(1));
    EXPECT_TRUE(player->View()->IsOpen());
    Shot("faults_recovered");
}

// Its twin on a folder of real recordings: an H.264 file made with ffmpeg,
// played and stepped frame by frame through the real widgets.
class RecordedJourney : public ::testing::Test {
protected:
    static std::string MakeFolder() {
        char tmpl[] = "/tmp/corvanta-journey-XXXXXX";
        const std::string root = ::mkdtemp(tmpl) ? tmpl : "/tmp";
        // Two minutes of motion, two still, and again, at 5 frames a second: the motion history tells them apart.
        const std::string moving = "-f lavfi -i testsrc2=size=640x360:rate=5:duration=120 ";
        const std::string still = "-f lavfi -i color=c=0x506070:size=640x360:rate=5:duration=120 ";
        MakeVideo(root + "/archive/Gate/2026/03/04/114000.mp4",
                  moving + still + moving + still + "-filter_complex '[0:v][1:v][2:v][3:v]concat=n=4:v=1[v]' " +
                      "-map '[v]' " + kH264);
        MakeVideo(root + "/archive/Gate/2026/03/04/120500.mp4", moving + kH264);
        return root;
    }
    void SetUp() override { dialog = OpenMainDialog(home); }
    void TearDown() override {
        dialog.reset();
        std::filesystem::remove_all(root);
    }
    void Shot(const char* name) {
        Pump(30);
        dialog->grab().save(QStringLiteral(SCREENSHOT_DIR "/journey_recorded_") + name + ".png", "PNG");
    }

    std::string root = MakeFolder();
    ServiceWorld home{false};
    RecorderWorld recorder{[this](recorder::RecorderConfig& c) {
        c.folder.dir = root + "/archive";
        c.folder.indexFile = root + "/index.sqlite3";
        c.folder.rescanSeconds = 3600;
    }};
    std::unique_ptr<CArchiveMainDlg> dialog;
};

TEST_F(RecordedJourney, PlaysARecordedH264FileAndStepsFrameByFrame) {
    ASSERT_TRUE(recorder.Server().folderArchive()->waitIndexed(60000));
    test::LogIn(*dialog);
    ASSERT_NE(dialog->FullPane(), nullptr);
    QTreeWidget* tree = dialog->FullPane()->Tree();
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), "Gate");
    QTreeWidgetItem* source = tree->topLevelItem(0);
    OpenItem(tree, source);
    QTreeWidgetItem* month = ChildWithText(source, "2026/03");
    ASSERT_NE(month, nullptr);
    OpenItem(tree, month);
    QTreeWidgetItem* day = ChildWithText(month, "2026/03/04");
    ASSERT_NE(day, nullptr);
    OpenItem(tree, day);
    ASSERT_EQ(day->childCount(), 2);

    CPlayerDlg* player = dialog->ViewPane()->Player();
    CPlayerControlDlg* panel = player->Panel();
    const PlaybackState& state = player->State();
    ClickItem(tree, day->child(0));
    ASSERT_TRUE(player->View()->IsOpen());
    EXPECT_EQ(state.frameCount, 2400u);
    ClickControl(panel, CPlayerControlDlg::kIdPlay);
    const uint32_t shown = player->FramesShown();
    ASSERT_TRUE(PumpUntil([&] { return player->FramesShown() > shown + 10; }, 10000));
    Shot("playing");

    ClickControl(panel, CPlayerControlDlg::kIdPause);
    const uint32_t at = state.currentFrame;
    for (int i = 1; i <= 3; ++i) {
        ClickControl(panel, CPlayerControlDlg::kIdStepForward);
        EXPECT_EQ(state.currentFrame, at + uint32_t(i));
    }
    ClickControl(panel, CPlayerControlDlg::kIdStepBack);
    EXPECT_EQ(state.currentFrame, at + 2);
    EXPECT_TRUE(player->View()->HasFrame());
    const QString timeText = player->FrameTimeLabel()->text();
    EXPECT_TRUE(timeText.startsWith("2026-03-04 11:40:")) << timeText.toStdString();
    EXPECT_TRUE(timeText.endsWith(QString::asprintf("frame %u / 2400", at + 3))) << timeText.toStdString();

    // The day's motion history: both recordings lie in the hour around noon it shows first.
    ClickItem(tree, day);
    CMotionHistoryDlg* history = dialog->ViewPane()->MotionHistory();
    ASSERT_TRUE(PumpUntil([&] { return history->isVisible(); }, 5000));
    const auto activity = history->Timeline()->Activity();
    ASSERT_GT(activity.size(), size_t(12 * 3600 + 5 * 60 + 10));
    const size_t start = 11 * 3600 + 40 * 60;
    EXPECT_GT(activity[start + 60], 0);                  // moving
    EXPECT_EQ(activity[start + 180], 0);                 // still, recorded
    EXPECT_GT(activity[start + 300], 0);
    EXPECT_EQ(activity[start + 600], kActivityNoRecording);
    EXPECT_NE(activity[12 * 3600 + 5 * 60 + 10], kActivityNoRecording);
    Pump(300);
    Shot("day");
}

}  // namespace
}  // namespace corvanta
