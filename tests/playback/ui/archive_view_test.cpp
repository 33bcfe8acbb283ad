// The archive view with its two children, the motion history view's filter
// and layout, and the player's keyboard shortcuts.

#include <gtest/gtest.h>

#include <QApplication>
#include <QtTest/QTest>

#include "framework/CMessageQueueManager.h"
#include "playback/ui/CArchiveViewDlg.h"
#include "playback/ui/CMotionHistoryDlg.h"
#include "playback/ui/CPlayerControlDlg.h"
#include "playback/ui/CPlayerDlg.h"
#include "playback/ui/CVideoView.h"
#include "PlayerTestSupport.h"

namespace corvanta {
namespace {

using namespace test;

class ArchiveViewTest : public ::testing::Test {
protected:
    ArchiveViewTest() {
        view->resize(800, 600);
        view->show();
    }
    void Show(platform::WParam which, platform::LParam show) {
        platform::SendMessage(view->Window(), platform::RegisterWindowMessage(kShowPlayerMessage), which, show);
    }

    PlayerWorld world;
    std::unique_ptr<CArchiveViewDlg> view = std::make_unique<CArchiveViewDlg>();
};

TEST_F(ArchiveViewTest, ShowPlayerShowsAndHidesTheNamedChildOverTheWholeView) {
    CPlayerDlg* player = view->Player();
    CMotionHistoryDlg* history = view->MotionHistory();
    ASSERT_NE(0u, view->Window());
    EXPECT_FALSE(player->isVisible());
    EXPECT_FALSE(history->isVisible());
    Show(0, 1);
    EXPECT_TRUE(player->isVisible());
    EXPECT_EQ(view->rect(), player->geometry());
    Show(2, 1);  // names no child
    Show(1, 1);
    EXPECT_TRUE(history->isVisible());
    view->resize(900, 700);
    EXPECT_EQ(QRect(0, 0, 900, 700), history->geometry());
    EXPECT_EQ(QRect(0, 0, 900, 700), player->geometry());

    // A file open in the second player is closed when the view is hidden.
    const PlayerOpenBlock block = OpenBlock("D:\\Nowhere\\none.avi", 64, 48, 10);
    ASSERT_EQ(1, SendToPlayer(kHistoryPlayerName, kPlayerOpen, 0, 0, &block));
    EXPECT_TRUE(history->Player()->View()->IsOpen());
    Show(1, 0);
    EXPECT_FALSE(history->isVisible());
    EXPECT_FALSE(history->Player()->View()->IsOpen());
    Show(0, 0);
    EXPECT_FALSE(player->isVisible());
}

TEST_F(ArchiveViewTest, MotionHistoryTakesTheDayAndLaysOutTimelineBelowPlayer) {
    CMotionHistoryDlg* history = view->MotionHistory();
    Show(1, 1);
    const int timelineHeight = history->Timeline()->height();
    EXPECT_GT(timelineHeight, 100);
    EXPECT_EQ(QRect(40, 600 - timelineHeight, 720, timelineHeight), history->Timeline()->geometry());
    EXPECT_EQ(QRect(40, 0, 720, 600 - timelineHeight), history->Player()->geometry());

    int day = 0;
    CFilterIcpClient client;
    ASSERT_EQ(1, client.Open(kMotionHistoryFilterName));
    const uint64_t address = uintptr_t(&day);
    EXPECT_EQ(1, client.SendCommand(kMotionHistoryShowDay, uint32_t(address), uint32_t(address >> 32), nullptr, 0));
    EXPECT_EQ(kIcpCommandAnswer, client.Answer()->kind);
    EXPECT_EQ(0, client.SendCommand(2, 0, 0, nullptr, 0));
    EXPECT_EQ(&day, history->Day());
}

TEST_F(ArchiveViewTest, FiltersLeaveWithTheView) {
    ASSERT_NE(0u, CMessageQueueManager::FindQueue(kStandalonePlayerName));
    ASSERT_NE(0u, CMessageQueueManager::FindQueue(kMotionHistoryFilterName));
    view.reset();
    EXPECT_TRUE(PumpUntil([] { return CMessageQueueManager::FindQueue(kStandalonePlayerName) == 0; }, 3000));
    EXPECT_EQ(0u, CMessageQueueManager::FindQueue(kHistoryPlayerName));
    EXPECT_EQ(0u, CMessageQueueManager::FindQueue(kMotionHistoryFilterName));
}

TEST_F(ArchiveViewTest, KeyboardShortcutsDriveThePlayer) {
    CPlayerDlg* player = view->Player();
    Show(0, 1);
    const PlayerOpenBlock block = OpenBlock("D:\\Nowhere\\none.avi", 64, 48, 10, 4);
    ASSERT_EQ(1, SendToPlayer(kStandalonePlayerName, kPlayerOpen, 0, 0, &block));
    view->activateWindow();
    player->setFocus();
    ASSERT_TRUE(PumpUntil([&] { return player->hasFocus(); }, 3000));
    const PlaybackState& state = player->State();
    QTest::keyClick(player, Qt::Key_Space);
    EXPECT_EQ(1u, state.playing);
    QTest::keyClick(player, Qt::Key_Space);
    EXPECT_EQ(1u, state.paused);
    QTest::keyClick(player, Qt::Key_Right);
    EXPECT_EQ(5u, state.currentFrame);
    QTest::keyClick(player, Qt::Key_Left);
    QTest::keyClick(player, Qt::Key_Left);
    EXPECT_EQ(3u, state.currentFrame);
    QTest::keyClick(player, Qt::Key_End);
    EXPECT_EQ(9u, state.currentFrame);
    QTest::keyClick(player, Qt::Key_Home);
    EXPECT_EQ(0u, state.currentFrame);
    QTest::keyClick(player, Qt::Key_Up);
    EXPECT_EQ(6, player->Panel()->SpeedPosition());
    EXPECT_EQ(2u, state.step);
    QTest::keyClick(player, Qt::Key_Down);
    QTest::keyClick(player, Qt::Key_Down);
    EXPECT_EQ(4, player->Panel()->SpeedPosition());
    EXPECT_EQ(80u, player->ClockPeriod());
    EXPECT_TRUE(player->Panel()->Control(CPlayerControlDlg::kIdPlay)->toolTip().contains("Space"));
}

}  // namespace
}  // namespace corvanta
