// The standalone player against the recorder stand-in in this process,
// through the real proxies, HTTP and decoding.

#include <gtest/gtest.h>

#include <QImage>

#include <cstring>

#include "playback/ui/CArchiveViewDlg.h"
#include "playback/ui/CPlayerControlDlg.h"
#include "playback/ui/CPlayerDlg.h"
#include "playback/ui/CPositionSlider.h"
#include "playback/ui/CVideoView.h"
#include "playback/ui/PlayerTestSupport.h"
#include "services/recorder_world.h"
#include "remote/RemoteFilter.h"
#include "remote/RemotePlaybackManager.h"
#include "services/CUserPrivilegeProxy.h"
#include "services/UserAccess.h"

namespace corvanta {
namespace {

using namespace test;

// Neither the closed view's white nor the empty picture's background:
// some pixel of the middle row has the frame's colour.
bool ShowsAFrame(CVideoView* view) {
    const QImage shown = view->grab().toImage();
    const QRgb empty = view->palette().window().color().rgb() & 0xFFFFFF;
    for (int x = 0; x < shown.width(); x += 7) {
        const QRgb c = shown.pixel(x, shown.height() / 2) & 0xFFFFFF;
        if (c != 0xFFFFFF && c != empty) return true;
    }
    return false;
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(recorder.Started());
        ASSERT_EQ(1, privilege.Startup());
        ASSERT_EQ(1, LogIn("demo", "demo").loggedIn);
        playback.Init(CRemotePlaybackManager::MakeDescriptor());
        view->resize(1000, 860);
        view->show();
    }
    void TearDown() override {
        view.reset();  // while the manager and its proxies are up
        playback.Close();
        privilege.Close();
    }
    PlayerWorld world;
    // Only what the player asks for is made: every eighth frame at speed 9.
    RecorderWorld recorder{[](recorder::RecorderConfig& config) { config.frames.readAhead = 0; }};
    recorder::RecorderServer& server = recorder.Server();
    CUserPrivilegeProxy privilege;
    CRemotePlaybackManager playback;
    std::unique_ptr<CArchiveViewDlg> view = std::make_unique<CArchiveViewDlg>();
};

// Steps, seeks, the jog and the speeds in play are the journey's part; here
// the largest pictures play at the top speed to the end of their file.
TEST_F(EndToEnd, A1600x1200FilePlaysAtTheTopSpeedToItsEnd) {
    CPlayerDlg* player = view->Player();
    CPlayerControlDlg* panel = player->Panel();
    const PlaybackState& state = player->State();
    Owner owner;
    platform::SendMessage(view->Window(), platform::RegisterWindowMessage(kShowPlayerMessage), 0, 1);
    ASSERT_TRUE(player->isVisible());

    const recorder::Recording& rec = server.archive().recordings(1).front();
    ASSERT_EQ(1600u, server.archive().sourceOf(rec).width);
    CFilterIcpClient manager;
    ASSERT_EQ(1, manager.Open(kPlaybackManagerFilterName));
    ASSERT_NE(0, manager.SendCommandText(kPlaybackOpenFile, 0, rec.fileName.c_str()));
    FileDescription description;
    ASSERT_GE(manager.Answer()->dataLength, sizeof description);
    std::memcpy(&description, manager.Answer()->data, sizeof description);
    const PlayerOpenBlock block = MakePlayerOpenBlock(description, 0, rec.fileName.c_str());
    ASSERT_EQ(1, SendToPlayer(kStandalonePlayerName, kPlayerOpen, owner.Handle(), 42, &block));
    ASSERT_EQ((std::vector<uint32_t>{0}), owner.frames);
    EXPECT_EQ(1u, state.paused);
    EXPECT_TRUE(ShowsAFrame(player->View()));

    // Speed 9 shows every eighth frame; the owner hears of the end.
    CPositionSlider* position = player->PositionSlider();
    Mouse(*position, QEvent::MouseButtonPress, 2);
    position->setSliderPosition(int(rec.frameCount) - 40);
    Mouse(*position, QEvent::MouseButtonRelease, 2);
    panel->SpeedSlider()->setValue(9);
    panel->SpeedReleased();
    owner.frames.clear();
    panel->Play();
    ASSERT_TRUE(PumpUntil([&] { return !owner.ends.empty(); }, 120000));
    EXPECT_EQ(42u, owner.ends.front());
    ASSERT_GE(owner.frames.size(), 4u);
    for (size_t i = 1; i < 4; ++i) EXPECT_EQ(owner.frames[i - 1] + 8, owner.frames[i]);
    EXPECT_EQ(rec.frameCount - 1, state.currentFrame);
    EXPECT_EQ(0u, state.playing);
    EXPECT_TRUE(ShowsAFrame(player->View()));
    EXPECT_TRUE(view->grab().save(SCREENSHOT_DIR "/player_1600x1200.png"));

    SendToPlayer(kStandalonePlayerName, kPlayerClose);
    manager.SendCommandText(kPlaybackCloseFile, 0, rec.fileName.c_str());
    EXPECT_EQ(0u, playback.StreamCount());
}

}  // namespace
}  // namespace corvanta
