#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPushButton>

#include <cstring>
#include <mutex>

#include "framework/CFilter.h"
#include "playback/ui/CPlayerControlDlg.h"
#include "playback/ui/CPlayerDlg.h"
#include "playback/ui/CPositionSlider.h"
#include "playback/ui/CVideoView.h"
#include "remote/RecorderInterface.h"
#include "PlayerTestSupport.h"

namespace corvanta {
namespace {

using namespace test;

constexpr char kFile[] = "D:\\Test\\clip.avi";

// The stream proxy of kFile: frames red on the left, blue on the right under
// a white top band; frames from `frames` on are refused.
class FrameSource : public CFilter {
public:
    FrameSource(uint32_t width, uint32_t height, uint32_t frames) : m_width(width), m_height(height), m_frames(frames) {
        Init(CFilterDescriptor(FrameSourceName(kFile), 8, 24, 0, 0, 1, "1.0.0", 64000, width * height * 3));
    }
    ~FrameSource() override { Close(); }

    int OnIcp(IcpRecord* q, IcpRecord* a) override {
        if (q->kind != kIcpCommand || q->code != kFrameSourceGetFrame) return 0;
        {
            std::lock_guard lock(m_mutex);
            m_requested.push_back(q->param1);
        }
        if (q->param1 >= m_frames) return 0;
        for (uint32_t row = 0; row < m_height; ++row) {
            const bool top = row >= m_height - m_height / 5;  // rows are bottom-up
            for (uint32_t x = 0; x < m_width; ++x) {
                uint8_t* p = a->data + (size_t(row) * m_width + x) * 3;
                const bool left = x < m_width / 2;
                p[0] = top ? 255 : left ? 0 : 255;
                p[1] = top ? 255 : 0;
                p[2] = top ? 255 : left ? 255 : 0;
            }
        }
        a->kind = kIcpCommandAnswer;
        a->encoding = kIcpEncodingPicture;
        a->dataLength = m_width * m_height * 3;
        a->param3 = 0;  // no hold
        a->status = kIcpStatusDone;
        return 1;
    }
    std::vector<uint32_t> Requested() {
        std::lock_guard lock(m_mutex);
        return m_requested;
    }

private:
    uint32_t m_width, m_height, m_frames;
    std::mutex m_mutex;
    std::vector<uint32_t> m_requested;
};

class PlayerTest : public ::testing::Test {
protected:
    PlayerTest() {
        player.resize(640, 600);
        player.show();  // a hidden widget gets its resize events only when shown
        EXPECT_EQ(1, player.Create());
    }
    ~PlayerTest() override { player.Shutdown(); }

    // Opens kFile as its owner does.
    void Open(uint32_t width, uint32_t height, uint32_t frames, uint32_t first = 0) {
        const PlayerOpenBlock block = OpenBlock(kFile, width, height, frames, first);
        ASSERT_EQ(1, SendToPlayer(kStandalonePlayerName, kPlayerOpen, owner.Handle(), 7, &block));
    }
    const PlaybackState& State() { return player.State(); }

    PlayerWorld world;
    Owner owner;
    CPlayerDlg player{kStandalonePlayerName};
};

TEST_F(PlayerTest, PanelButtonsAndTheEndOfTheFileReachTheOwner) {
    FrameSource source(64, 48, 5);
    Open(64, 48, 5, 0);
    auto* panel = player.Panel();
    static_cast<QPushButton*>(panel->Control(CPlayerControlDlg::kIdStepBack))->click();  // on frame 0: nothing
    EXPECT_EQ(1u, source.Requested().size());
    SendToPlayer(kStandalonePlayerName, kPlayerClose);
    panel->Pause();  // neither playing nor paused: nothing
    EXPECT_EQ(0u, State().playing + State().paused);

    Open(64, 48, 5, 4);
    static_cast<QPushButton*>(panel->Control(CPlayerControlDlg::kIdStepForward))->click();  // on the last frame
    EXPECT_EQ(5u, source.Requested().back());  // the frame past the end is asked for
    EXPECT_EQ(4u, State().currentFrame);
    EXPECT_EQ((std::vector<uint32_t>{7}), owner.ends);

    // Frames of another size than announced are not shown, and nothing sticks.
    owner.frames.clear();
    Open(32, 24, 5, 0);  // opened after the end: plays at once
    for (int i = 0; i < 6; ++i) player.CB_Timer(kClockTimer);
    EXPECT_TRUE(owner.frames.empty());
    EXPECT_EQ(2u, owner.ends.size());
}

TEST_F(PlayerTest, LayoutExamplesAndTheFitToggle) {
    FrameSource source(320, 240, 3);
    player.PositionSlider()->resize(100, 30);
    player.Panel()->setFixedSize(400, 60);
    Open(320, 240, 3);
    EXPECT_EQ(QRect(160, 135, 320, 240), player.View()->geometry());
    EXPECT_EQ(QRect(160, 375, 320, 30), player.PositionSlider()->geometry());
    EXPECT_EQ(405, player.Panel()->y());

    // Double clicks on the slider or the panel change nothing.
    for (QPoint outside : {QPoint(200, 380), QPoint(300, 420), QPoint(5, 5)})
        DoubleClick(&player, outside, Qt::LeftButton);
    EXPECT_FALSE(player.Fit());

    FrameSource large(640, 480, 3);
    SendToPlayer(kStandalonePlayerName, kPlayerClose);
    source.Close();
    Open(640, 480, 3);
    player.resize(800, 500);  // 410 left for the video: shrunk to 546 x 410
    EXPECT_EQ(QSize(546, 410), player.View()->size());
    DoubleClick(&player, player.View()->geometry().center(), Qt::LeftButton);
    EXPECT_TRUE(player.Fit());
    player.resize(1000, 700);  // room for the natural size, but fitting fills
    EXPECT_EQ(QSize(813, 610), player.View()->size());
}

TEST_F(PlayerTest, RightDoubleClickSavesTheFrameShownWithoutSkew) {
    const QString path = QString::fromStdString(world.Dir()) + "/shot.jpg";
    SaveDialogAnswer answer(path);
    DoubleClick(&player, player.View()->geometry().center(), Qt::RightButton);  // nothing open
    QCoreApplication::processEvents();
    EXPECT_EQ(0, answer.shown);

    FrameSource source(350, 100, 3);
    Open(350, 100, 3);
    DoubleClick(&player, QPoint(2, player.height() - 2), Qt::RightButton);  // outside the video
    EXPECT_EQ(0, answer.shown);
    DoubleClick(&player, player.View()->geometry().center(), Qt::RightButton);
    EXPECT_EQ(1, answer.shown);

    QImage saved(path);
    ASSERT_EQ(QSize(350, 100), saved.size());
    auto near = [](QRgb c, int r, int g, int b) {
        return std::abs(qRed(c) - r) < 24 && std::abs(qGreen(c) - g) < 24 && std::abs(qBlue(c) - b) < 24;
    };
    // A skew would move the red and blue halves further apart row by row.
    for (int y : {25, 60, 99}) {
        EXPECT_TRUE(near(saved.pixel(170, y), 255, 0, 0)) << y;
        EXPECT_TRUE(near(saved.pixel(180, y), 0, 0, 255)) << y;
    }
    EXPECT_TRUE(near(saved.pixel(10, 5), 255, 255, 255));  // upright
}

}  // namespace
}  // namespace corvanta
