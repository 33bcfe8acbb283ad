#include <gtest/gtest.h>

#include <QtTest/QTest>

#include "framework/CMessageQueueManager.h"
#include "playback/ui/CArchiveViewDlg.h"
#include "playback/ui/CDayTimelineDlg.h"
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
    const PlayerOpenBlock block = OpenBlock("D:\\Nowhere\\none.avi", 64, 48, 10, 4);
};

TEST_F(ArchiveViewTest, ShowPlayerShowsTheNamedChildAndHidingTheHistoryClosesItsFile) {
    CMotionHistoryDlg* history = view->MotionHistory();
    Show(0, 1);
    EXPECT_EQ(view->rect(), view->Player()->geometry());
    Show(1, 1);
    view->resize(900, 700);
    const int timeline = history->Timeline()->height();
    EXPECT_EQ(QRect(40, 700 - timeline, 820, timeline), history->Timeline()->geometry());
    EXPECT_EQ(QRect(40, 0, 820, 700 - timeline), history->Player()->geometry());

    ASSERT_EQ(1, SendToPlayer(kHistoryPlayerName, kPlayerOpen, 0, 0, &block));
    view->hide();  // another tab: the file stays
    view->show();
    EXPECT_TRUE(history->Player()->View()->IsOpen());
    Show(1, 0);
    EXPECT_FALSE(history->isVisible());
    EXPECT_FALSE(history->Player()->View()->IsOpen());

    view.reset();  // its filters leave with it
    EXPECT_TRUE(PumpUntil([] { return CMessageQueueManager::FindQueue(kStandalonePlayerName) == 0; }, 3000));
    EXPECT_EQ(0u, CMessageQueueManager::FindQueue(kMotionHistoryFilterName));
}

TEST_F(ArchiveViewTest, KeyboardShortcutsDriveThePlayer) {
    CPlayerDlg* player = view->Player();
    Show(0, 1);
    ASSERT_EQ(1, SendToPlayer(kStandalonePlayerName, kPlayerOpen, 0, 0, &block));
    view->activateWindow();
    player->setFocus();
    ASSERT_TRUE(PumpUntil([&] { return player->hasFocus(); }, 3000));
    const PlaybackState& state = player->State();
    struct Key {
        Qt::Key key;
        uint32_t playing, frame;
    };
    for (Key k : {Key{Qt::Key_Space, 1, 4}, Key{Qt::Key_Space, 0, 4}, Key{Qt::Key_Right, 0, 5}, Key{Qt::Key_Left, 0, 4},
                  Key{Qt::Key_End, 0, 9}, Key{Qt::Key_Home, 0, 0}}) {
        QTest::keyClick(player, k.key);
        EXPECT_EQ(k.playing, state.playing) << k.key;
        EXPECT_EQ(k.frame, state.currentFrame) << k.key;
    }
}

}  // namespace
}  // namespace corvanta
