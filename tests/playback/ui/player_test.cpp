#include <gtest/gtest.h>

#include <QApplication>
#include <QBackingStore>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QWheelEvent>

#include <atomic>
#include <cstring>
#include <mutex>
#include <tuple>
#include <vector>

#include "archive/ArchiveRecords.h"
#include "framework/CFilter.h"
#include "framework/FilterCodes.h"
#include "playback/ui/CJogSlider.h"
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
// a white top band, or `numbered`: a grey of Shade(frame) all over; frames
// from `frames` on are refused.
class FrameSource : public CFilter {
public:
    static int Shade(uint32_t frame) { return int(frame * 3 % 256); }

    FrameSource(uint32_t width, uint32_t height, uint32_t frames, bool numbered = false)
        : m_width(width), m_height(height), m_frames(frames), m_numbered(numbered) {
        Init(CFilterDescriptor{.name = FrameSourceName(kFile), .classCode = kFilterClassService,
                               .typeCode = kFilterTypePlayback, .version = "1.0.0", .queryCapacity = 64000,
                               .answerCapacity = width * height * 3});
    }
    ~FrameSource() override { Close(); }

    int OnIcp(IcpRecord* q, IcpRecord* a) override {
        if (q->kind != kIcpCommand || q->code != kFrameSourceGetFrame) return 0;
        {
            std::lock_guard lock(m_mutex);
            m_requested.push_back(q->param1);
        }
        if (q->param1 >= m_frames) return 0;
        if (m_numbered) std::memset(a->data, Shade(q->param1), size_t(m_width) * m_height * 3);
        for (uint32_t row = 0; row < m_height && !m_numbered; ++row) {
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
    bool m_numbered;
    std::mutex m_mutex;
    std::vector<uint32_t> m_requested;
};

// "AVIArchive Query" answering the second index with `table`; counts the asks.
class SecondIndex : public CFilter {
public:
    explicit SecondIndex(std::vector<uint32_t> table) : m_table(std::move(table)) {
        Init(CFilterDescriptor{.name = kArchiveQueryFilterName, .classCode = kFilterClassService,
                               .typeCode = kFilterTypePlayback, .version = "1.0.0", .queryCapacity = 4096,
                               .answerCapacity = 4096});
    }
    ~SecondIndex() override { Close(); }

    int OnIcp(IcpRecord* q, IcpRecord* a) override {
        if (q->kind != kIcpCommand || q->code != kArchiveSecondIndex) return 0;
        ++asks;
        DayWindowHeader head{};
        head.count = uint32_t(m_table.size());
        std::memcpy(a->data, &head, sizeof head);
        std::memcpy(a->data + sizeof head, m_table.data(), m_table.size() * sizeof(uint32_t));
        a->kind = kIcpCommandAnswer;
        a->dataLength = uint32_t(sizeof head + m_table.size() * sizeof(uint32_t));
        a->status = kIcpStatusDone;
        return 1;
    }
    std::atomic<int> asks{0};

private:
    std::vector<uint32_t> m_table;
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
    QImage Shown() { return player.View()->grab().toImage(); }
    QRgb Background() { return player.View()->palette().window().color().rgb() & 0xFFFFFF; }

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
    player.FrameTimeLabel()->setFixedHeight(20);
    Open(320, 240, 3);
    EXPECT_EQ(QRect(160, 125, 320, 240), player.View()->geometry());
    EXPECT_EQ(QRect(160, 365, 320, 30), player.PositionSlider()->geometry());
    EXPECT_EQ(QRect(0, 395, 640, 20), player.FrameTimeLabel()->geometry());  // the player's width: text is not cut
    EXPECT_EQ(415, player.Panel()->y());

    // Double clicks on the slider or the panel change nothing.
    for (QPoint outside : {QPoint(200, 380), QPoint(300, 420), QPoint(5, 5)})
        DoubleClick(&player, outside, Qt::LeftButton);
    EXPECT_FALSE(player.Fit());

    FrameSource large(640, 480, 3);
    SendToPlayer(kStandalonePlayerName, kPlayerClose);
    source.Close();
    Open(640, 480, 3);
    player.resize(800, 500);  // 390 left for the video: shrunk to 520 x 390
    EXPECT_EQ(QSize(520, 390), player.View()->size());
    DoubleClick(&player, player.View()->geometry().center(), Qt::LeftButton);
    EXPECT_TRUE(player.Fit());
    player.resize(1000, 700);  // room for the natural size, but fitting fills
    EXPECT_EQ(QSize(786, 590), player.View()->size());
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

// The dialog opens in the pictures folder, then in the folder of the last
// save (also for a player made later), with the time as the name; a folder
// since removed falls back to the pictures folder, a missing one to home.
TEST_F(PlayerTest, TheSaveDialogOpensWherePicturesGoThenWhereTheLastSnapshotWent) {
    const QString home = QString::fromStdString(world.Dir()) + "/home";
    const QString pictures = home + "/Pictures";
    const QString shots = QString::fromStdString(world.Dir()) + "/shots";
    for (const QString& folder : {pictures, shots}) ASSERT_TRUE(QDir().mkpath(folder));
    FrameSource source(64, 48, 3);
    Open(64, 48, 3);
    auto offered = [&](CPlayerDlg& dialog, const QString& answer) {
        SaveDialogAnswer save(answer);
        DoubleClick(&dialog, dialog.View()->geometry().center(), Qt::RightButton);
        EXPECT_EQ(1, save.shown);
        EXPECT_TRUE(QFileInfo::exists(answer)) << answer.toStdString();
        EXPECT_TRUE(QRegularExpression(R"(^\d{4}(_\d\d){5}\.jpg$)").match(save.names.value(0)).hasMatch());
        return save.folders.value(0).toStdString();
    };
    EXPECT_EQ(pictures.toStdString(), offered(player, shots + "/1.jpg"));
    EXPECT_EQ(shots.toStdString(), offered(player, pictures + "/2.jpg"));
    EXPECT_EQ(pictures.toStdString(), offered(player, shots + "/3.jpg"));
    {
        CPlayerDlg later("Corvanta Later Player");
        later.resize(640, 600);
        later.show();
        const PlayerOpenBlock block = OpenBlock(kFile, 64, 48, 3);
        ASSERT_EQ(1, later.Create());
        ASSERT_EQ(1, SendToPlayer("Corvanta Later Player", kPlayerOpen, owner.Handle(), 7, &block));
        EXPECT_EQ(shots.toStdString(), offered(later, pictures + "/4.jpg"));
        later.Shutdown();
    }
    ASSERT_TRUE(QDir(pictures).removeRecursively());
    ASSERT_TRUE(QDir(shots).removeRecursively());
    EXPECT_EQ(home.toStdString(), offered(player, home + "/5.jpg"));
}

// Frames went on while the save dialog waited, and the next file opened
// with another size: the file holds the frame shown at the double click.
TEST_F(PlayerTest, ASnapshotTakenWhilePlayingSavesTheFrameShownAtTheClick) {
    FrameSource source(64, 48, 400, true);
    Open(64, 48, 400);
    player.Panel()->Play();
    ASSERT_TRUE(PumpUntil([&] { return owner.frames.size() >= 8; }, 10000));
    const uint32_t clicked = owner.frames.back();

    const QString path = QString::fromStdString(world.Dir()) + "/playing.jpg";
    SaveDialogAnswer answer(path, [&] {
        if (owner.frames.back() < clicked + 5) return false;
        Open(32, 24, 400);  // frames of 64 x 48 are then refused, but the view's picture is remade
        return true;
    });
    DoubleClick(&player, player.View()->geometry().center(), Qt::RightButton);
    ASSERT_EQ(1, answer.shown);
    const QImage saved(path);
    ASSERT_EQ(QSize(64, 48), saved.size());
    EXPECT_NEAR(FrameSource::Shade(clicked), qGray(saved.pixel(30, 20)), 3);
}

// The picture buffer is reused between files of one size and never
// cleared: until a frame of the open file came, it is not shown.
TEST_F(PlayerTest, OnlyFramesOfTheOpenFileAreShown) {
    {
        FrameSource good(64, 48, 5);
        Open(64, 48, 5);
        EXPECT_EQ(0xFF0000u, At(Shown(), 10, 40));
        // A refused frame leaves the last good one of the same file.
        player.Panel()->StepForward();
        good.Close();
        player.Panel()->StepForward();
        EXPECT_EQ(0xFF0000u, At(Shown(), 10, 40));
    }
    FrameSource refused(64, 48, 0);
    for (uint32_t first : {0u, 2u}) {
        Open(64, 48, 5, first);
        player.Panel()->StepForward();
        Mouse(*player.PositionSlider(), QEvent::MouseButtonPress, 60);  // a seek
        Mouse(*player.PositionSlider(), QEvent::MouseButtonRelease, 60);
        for (int x : {10, 50}) EXPECT_EQ(Background(), At(Shown(), x, 40)) << first;
    }
    DoubleClick(&player, player.View()->geometry().center(), Qt::RightButton);
    EXPECT_EQ(nullptr, QApplication::activeModalWidget());  // nothing to save
}

TEST_F(PlayerTest, TheNextFileShowsEachFrameOnce) {
    FrameSource source(64, 48, 3);
    Open(64, 48, 3);
    player.Panel()->Play();
    ASSERT_TRUE(PumpUntil([&] { return owner.ends.size() == 1; }, 10000));
    const size_t before = source.Requested().size();
    Open(64, 48, 3);  // the owner's answer to the end: plays at once
    ASSERT_TRUE(PumpUntil([&] { return owner.ends.size() == 2; }, 10000));
    const std::vector<uint32_t> all = source.Requested();
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 2, 3}), std::vector<uint32_t>(all.begin() + long(before), all.end()));
}

// The owner's second command after an open: the file's window from `second` past 14:00.
void SendFileTime(uint16_t second) {
    TimeQuery window{};
    window.from = {2026, 12, 0, 6, 14, 0, second, 0};
    window.to = {2026, 12, 0, 6, 14, 1, second, 0};
    std::strcpy(window.sourceId, "cam1");
    CFilterIcpClient client;
    ASSERT_TRUE(client.Open(kStandalonePlayerName));
    client.SendCommand(kPlayerFileTime, 0, 0, &window, sizeof window);
}

TEST_F(PlayerTest, TheFrameTimeFollowsOpenStepSeekPlayAndTheNextFile) {
    FrameSource source(64, 48, 100);
    SecondIndex index({0, 25, 50, 75});
    QLabel* label = player.FrameTimeLabel();
    Open(64, 48, 100, 30);
    EXPECT_EQ("frame 31 / 100", label->text());  // the time follows the open
    const char cut[10] = {};  // shorter than a window: not read
    SendToPlayer(kStandalonePlayerName, kPlayerFileTime);
    CFilterIcpClient client;
    ASSERT_TRUE(client.Open(kStandalonePlayerName));
    client.SendCommand(kPlayerFileTime, 0, 0, cut, sizeof cut);
    EXPECT_EQ("frame 31 / 100", label->text());
    EXPECT_EQ(0, index.asks.load());
    SendFileTime(0);
    EXPECT_EQ("2026-12-06 14:00:01.200   frame 31 / 100", label->text());
    EXPECT_EQ(label->geometry().top(), player.PositionSlider()->geometry().bottom() + 1);  // right under the slider

    player.Panel()->StepForward();
    EXPECT_EQ("2026-12-06 14:00:01.240   frame 32 / 100", label->text());
    Mouse(*player.PositionSlider(), QEvent::MouseButtonPress, 60);  // a seek
    Mouse(*player.PositionSlider(), QEvent::MouseButtonRelease, 60);
    ASSERT_NE(31u, State().currentFrame);
    EXPECT_TRUE(label->text().endsWith(QStringLiteral("   frame %1 / 100").arg(State().currentFrame + 1)));
    player.Panel()->Play();
    ASSERT_TRUE(PumpUntil([&] { return owner.ends.size() == 1; }, 10000));
    EXPECT_EQ("2026-12-06 14:00:03.960   frame 100 / 100", label->text());
    EXPECT_EQ(1, index.asks.load());  // once per file, not per frame

    // The next file, whose index the recorder cannot give: time by the rate, marked.
    index.Close();
    SendToPlayer(kStandalonePlayerName, kPlayerEndHandled);  // opened paused, so no frame moves on by itself
    Open(64, 48, 100, 0);
    SendFileTime(4);
    EXPECT_EQ("\u2248 2026-12-06 14:00:04.000   frame 1 / 100", label->text().toStdString());
    player.Panel()->StepForward();
    EXPECT_EQ("\u2248 2026-12-06 14:00:04.040   frame 2 / 100", label->text().toStdString());

    SendToPlayer(kStandalonePlayerName, kPlayerClose);
    EXPECT_TRUE(label->text().isEmpty());
    SendFileTime(0);  // no file open: nothing to time
    EXPECT_TRUE(label->text().isEmpty());
}

// A left click at `x` on the slider's groove (the tick marks below it take no clicks).
void ClickTrack(QSlider& slider, int x) {
    const int y = SliderPart(slider, QStyle::SC_SliderGroove).center().y();
    QTest::mouseClick(&slider, Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
}

TEST_F(PlayerTest, EveryWayOfMovingTheSpeedSliderAppliesIt) {
    FrameSource source(64, 48, 5);
    Open(64, 48, 5);
    QSlider* speed = player.Panel()->SpeedSlider();
    const uint32_t interval = player.ClockPeriod();
    ClickTrack(*speed, speed->width() * 3 / 4);  // right of the handle

    EXPECT_EQ(kSpeedMiddle + 1, speed->value());
    EXPECT_EQ(2u, State().step);
    QTest::keyClick(speed, Qt::Key_PageUp);
    EXPECT_EQ(4u, State().step);
    QTest::keyClick(speed, Qt::Key_Left);
    EXPECT_EQ(2u, State().step);
    const QPointF at(speed->width() / 2.0, speed->height() / 2.0);
    QWheelEvent wheel(at, speed->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(speed, &wheel);
    EXPECT_EQ(kSpeedMiddle, speed->value());
    EXPECT_EQ(1u, State().step);
    player.Panel()->ChangeSpeed(-1);  // the Down key's way
    EXPECT_EQ(2 * interval, player.ClockPeriod());

    // The jog springs back after a wheel step as after a release.
    CJogSlider* jog = player.Panel()->JogSlider();
    for (int delta : {120, -120}) {
        QWheelEvent step(at, jog->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                         Qt::NoScrollPhase, false);
        QApplication::sendEvent(jog, &step);
        EXPECT_EQ(kJogMiddle, jog->value()) << delta;
    }
    jog->setValue(19);
    Mouse(*jog, QEvent::MouseButtonRelease, 2);
    EXPECT_EQ(kJogMiddle, player.Panel()->JogPosition());
}

// Why there is no picture is said over the empty picture, and goes with
// the next file that opens.
TEST_F(PlayerTest, NoticesOverTheEmptyPicture) {
    FrameSource source(64, 48, 5);
    Open(2000, 1500, 5);
    EXPECT_TRUE(player.View()->Notice().contains(QStringLiteral("larger than the viewer can show")));
    EXPECT_TRUE(source.Requested().empty());

    const char text[] = "The recorder did not open clip.avi.";
    CFilterIcpClient client;
    ASSERT_TRUE(client.Open(kStandalonePlayerName));
    client.SendCommand(kPlayerNotice, 0, 0, text, sizeof text - 1);  // without its NUL
    EXPECT_FALSE(player.View()->IsOpen());
    EXPECT_EQ(QString::fromUtf8(text), player.View()->Notice());
    const QImage shown = Shown();
    bool lettered = false;
    for (int y = 2; y < shown.height() - 2 && !lettered; ++y)  // inside the border
        for (int x = 2; x < shown.width() - 2 && !lettered; ++x) lettered = qGray(shown.pixel(x, y)) < 128;
    EXPECT_TRUE(lettered);

    Open(64, 48, 5);
    EXPECT_TRUE(player.View()->Notice().isEmpty());
    EXPECT_EQ(0xFF0000u, At(Shown(), 10, 40));
}

// A bottom-up BGR frame: red and green above blue and yellow, as seen.
std::vector<uint8_t> Quarters(int w, int h) {
    std::vector<uint8_t> bgr(size_t(w) * h * 3);
    for (int row = 0; row < h; ++row) {
        const int y = h - 1 - row;  // picture row of this memory row
        for (int x = 0; x < w; ++x) {
            const bool right = x >= w / 2, bottom = y >= h / 2;
            const QRgb c = !bottom ? (right ? qRgb(0, 255, 0) : qRgb(255, 0, 0)) : (right ? qRgb(255, 255, 0) : qRgb(0, 0, 255));
            uint8_t* p = &bgr[(size_t(row) * w + x) * 3];
            p[0] = uint8_t(qBlue(c));
            p[1] = uint8_t(qGreen(c));
            p[2] = uint8_t(qRed(c));
        }
    }
    return bgr;
}

// Quarters() shown in a 64 x 48 area at `at` of `shown`.
void ExpectQuarters(const QImage& shown, QPoint at = {}) {
    for (auto [x, y, want] : {std::tuple{8, 6, qRgb(255, 0, 0)}, {56, 6, qRgb(0, 255, 0)}, {8, 42, qRgb(0, 0, 255)},
                              {56, 42, qRgb(255, 255, 0)}}) {
        const QRgb c = shown.pixel(at.x() + x, at.y() + y);
        EXPECT_TRUE(std::abs(qRed(c) - qRed(want)) < 40 && std::abs(qGreen(c) - qGreen(want)) < 40 &&
                    std::abs(qBlue(c) - qBlue(want)) < 40)
            << x << "," << y << ": " << std::hex << c;
    }
}

TEST(VideoView, ClosedIsWhiteInABlackBorderOpenStretchesTheFrameUpright) {
    test::QtTestApp();  // before any widget
    CVideoView view;
    view.resize(64, 48);
    const std::vector<uint8_t> frame = Quarters(32, 24);
    view.SetFrameSize(32, 24);
    view.SetFrame(frame.data());  // a frame without an open file draws nothing
    QImage shown = view.grab().toImage();
    for (auto [x, y] : {std::pair{0, 0}, {63, 47}}) EXPECT_EQ(0u, At(shown, x, y)) << x << "," << y;
    EXPECT_EQ(0xFFFFFFu, At(shown, 32, 24));

    // 21 * 3 bytes per row: rows that padded-row readers would misread.
    const std::vector<uint8_t> odd = Quarters(21, 15);
    view.SetFrameSize(21, 15);
    view.SetOpen(true);
    view.SetFrame(odd.data());
    ExpectQuarters(view.grab().toImage());
    view.SetOpen(false);
    EXPECT_EQ(0xFFFFFFu, At(view.grab().toImage(), 8, 6));
}

// On screen, a new frame is scaled straight into the window's pixels: at
// the view's place, and not over a sibling that covers part of it.
TEST(VideoView, OnScreenPaintsItsFrameAtItsPlaceInTheWindow) {
    test::QtTestApp();
    QWidget window;
    window.resize(160, 120);
    window.setAutoFillBackground(true);
    window.setPalette(QPalette(Qt::magenta));
    CVideoView view(&window);
    view.setGeometry(30, 20, 64, 48);
    window.show();
    const std::vector<uint8_t> frame = Quarters(32, 24);
    view.SetFrameSize(32, 24);
    view.SetOpen(true);
    for (bool covered : {false, true}) {
        SCOPED_TRACE(covered ? "covered" : "whole");
        QWidget cover(&window);
        cover.setAutoFillBackground(true);
        cover.setPalette(QPalette(Qt::cyan));
        cover.setGeometry(60, 10, 20, 20);
        cover.setVisible(covered);
        QApplication::processEvents();
        view.SetFrame(frame.data());
        const QImage shown = *static_cast<QImage*>(window.backingStore()->paintDevice());
        ExpectQuarters(shown, QPoint(30, 20));
        EXPECT_EQ(QColor(Qt::magenta).rgb(), shown.pixel(29, 19));
        EXPECT_EQ(QColor(Qt::magenta).rgb(), shown.pixel(94, 68));
        EXPECT_EQ(covered, shown.pixel(65, 25) == QColor(Qt::cyan).rgb());
        EXPECT_EQ(frame[0], view.Picture().Bits()[0]);
    }
}

}  // namespace
}  // namespace corvanta
