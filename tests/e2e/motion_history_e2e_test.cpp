// A day of the recorder stand-in in the motion history view: its sessions
// and activity asked from "AVIArchive Query" as the archive tree asks them,
// handed over by handle, a click on the timeline, and the second player
// showing the frame of that second, through the real proxies and HTTP.

#include <gtest/gtest.h>

#include <QSlider>

#include <cstdlib>
#include <cstring>

#include "archive/ArchiveNodes.h"
#include "playback/DayTimelinePlayback.h"
#include "playback/TimelineColumns.h"
#include "playback/ui/CArchiveViewDlg.h"
#include "playback/ui/CDayTimelineDlg.h"
#include "playback/ui/CMotionHistoryDlg.h"
#include "playback/ui/CPlayerControlDlg.h"
#include "playback/ui/CPlayerDlg.h"
#include "playback/ui/CRangeSlider.h"
#include "playback/ui/CTimelineBar.h"
#include "playback/ui/PlayerTestSupport.h"
#include "recorder/FrameRenderer.h"
#include "recorder/RecorderServer.h"
#include "remote/RemoteFilter.h"
#include "remote/RemotePlaybackManager.h"
#include "remote/RemoteSession.h"
#include "services/CUserPrivilegeProxy.h"
#include "services/UserAccess.h"

namespace corvanta {
namespace {

using namespace test;

constexpr recorder::CivilDate kDay{2026, 12, 4};  // CAM01's night files reach into it and out of it

recorder::RecorderConfig Config() {
    recorder::RecorderConfig config;
    config.port = 0;
    config.threads = 4;
    config.anchorDate = recorder::CivilDate{2026, 12, 5};
    config.log = [](const std::string&) {};
    return config;
}

// Pixels of a player's picture (bottom-up BGR) that are far from those of a
// rendered frame (top-down RGB): the burned-in time and frame number differ
// in many, compression noise in few.
size_t DifferingPixels(const CFrameImage& shown, const recorder::RgbImage& rendered) {
    if (shown.Width() != rendered.width || shown.Height() != rendered.height) return SIZE_MAX;
    size_t n = 0;
    for (uint32_t y = 0; y < rendered.height; ++y) {
        const uint8_t* row = shown.Bits() + size_t(shown.Height() - 1 - y) * shown.Width() * 3;
        for (uint32_t x = 0; x < rendered.width; ++x) {
            const uint8_t* want = &rendered.pixels[(size_t(y) * rendered.width + x) * 3];
            int most = 0;
            for (int c = 0; c < 3; ++c) most = std::max(most, std::abs(int(row[x * 3 + 2 - c]) - int(want[c])));
            n += most > 100;
        }
    }
    return n;
}

class MotionHistoryEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(server.start(&error)) << error;
        SetFilterServerURL(server.baseUrl());
        ASSERT_EQ(1, privilege.Startup());
        ASSERT_EQ(1, LogIn("demo", "demo").loggedIn);
        for (CRemoteFilter* proxy : std::initializer_list<CRemoteFilter*>{&playback, &archive}) {
            proxy->Init(proxy == &playback ? CRemotePlaybackManager::MakeDescriptor() : CRemoteArchiveQuery::MakeDescriptor());
            proxy->PublishInfo();
        }
        view = std::make_unique<CArchiveViewDlg>();
        view->resize(1000, 760);
        view->show();
    }
    void TearDown() override {
        view.reset();
        archive.Close();
        playback.Close();
        privilege.Close();
        SetSessionId("");
        SetFilterServerURL("");
    }

    // The day's sessions (command 3) and activity (command 7) as the tree keeps them.
    void LoadDay(const char* sourceId) {
        day.year = uint16_t(kDay.year);
        day.month = uint16_t(kDay.month);
        day.day = uint16_t(kDay.day);
        day.sourceId = sourceId;
        CFilterIcpClient query;
        ASSERT_EQ(1, query.Open(kArchiveQueryFilterName));
        ASSERT_NE(0, query.SendCommandText(kArchiveListSessions, uint32_t(kDay.year) << 16 | kDay.month, sourceId, kDay.day));
        const IcpRecord* a = query.Answer();
        ASSERT_GE(a->dataLength, a->param1 * sizeof(SessionEntry));
        for (uint32_t i = 0; i < a->param1; ++i) {
            SessionEntry e;
            std::memcpy(&e, a->data + i * sizeof e, sizeof e);
            auto node = std::make_unique<ArchiveNode>(NodeKind::Session);
            node->session->index = i;
            node->session->fileName = e.fileName;
            node->session->sourceId = sourceId;
            node->session->start = e.start;
            node->session->stop = e.stop;
            day.sessions.Add(std::move(node));
        }
        TimeQuery q{};
        q.from = {day.year, day.month, 0, day.day, 0, 0, 0, 0};
        q.to = {day.year, day.month, 0, day.day, 23, 59, 59, 0};
        std::strcpy(q.sourceId, sourceId);
        ASSERT_NE(0, query.SendCommand(kArchiveDayActivity, 0, 0, &q, sizeof q));
        ASSERT_GE(query.Answer()->dataLength, sizeof(DayWindowHeader));
        day.activityDataLength = query.Answer()->dataLength;
        day.activity.assign(query.Answer()->data + sizeof(DayWindowHeader), query.Answer()->data + day.activityDataLength);
    }

    PlayerWorld world;
    recorder::RecorderServer server{Config()};
    CUserPrivilegeProxy privilege;
    CRemotePlaybackManager playback;
    CRemoteArchiveQuery archive;
    DayPayload day;
    std::unique_ptr<CArchiveViewDlg> view;
};

TEST_F(MotionHistoryEndToEnd, AClickedSecondShowsItsFrameAndTheFileHandsOverToTheNext) {
    const recorder::DemoArchive& demo = server.archive();
    const recorder::DemoSource& source = *demo.findSource("CAM01");
    LoadDay(source.id.c_str());
    const recorder::Seconds midnight = recorder::startOfDay(kDay);
    const auto recordings = demo.overlapping(source.index, midnight, midnight + recorder::kSecondsPerDay);
    ASSERT_GE(recordings.size(), 3u);
    ASSERT_EQ(recordings.size(), day.sessions.Size());
    ASSERT_LT(recordings.front()->start, midnight);  // began the day before

    platform::SendMessage(view->Window(), platform::RegisterWindowMessage(kShowPlayerMessage), 1, 1);
    CMotionHistoryDlg* history = view->MotionHistory();
    ASSERT_TRUE(history->isVisible());
    EXPECT_EQ(0, SendIcpCommand(kMotionHistoryFilterName, kMotionHistoryShowDay, day.Handle() + 1000, 0,
                                static_cast<const void*>(nullptr), 0));
    ASSERT_EQ(1, SendIcpCommand(kMotionHistoryFilterName, kMotionHistoryShowDay, day.Handle(), 0,
                                static_cast<const void*>(nullptr), 0));
    CDayTimelineDlg* timeline = history->Timeline();
    EXPECT_EQ(QDate(2026, 12, 4), timeline->Day());
    // What the recorder says is what the timeline draws; it keeps 86399 seconds.
    for (int32_t s = 0; s < kDayTimelineSeconds; s += 97)
        ASSERT_EQ(demo.activityAt(source.index, midnight + s), timeline->Activity()[size_t(s)]) << s;

    // The second session magnified on the upper bar, and a click in its middle.
    const recorder::Recording& rec = *recordings[1];
    const int32_t start = int32_t(rec.start - midnight), stop = int32_t(rec.stop - midnight);
    timeline->RangeSlider()->SetRange(start - 600, stop + 600, CDayTimelineDlg::kMinimumGap);
    platform::SendMessage(timeline->Window(), RangeChangedMessage(), kRangeWhole, CDayTimelineDlg::kIdRange);
    CTimelineBar* upper = timeline->UpperBar();
    int x = upper->width() / 2;
    const int32_t second = TimelineScale{start - 600, stop + 600, upper->width()}.SecondAt(x);
    ASSERT_TRUE(second > start && second < stop);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(x, 5), upper->mapToGlobal(QPointF(x, 5)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(upper, &press);

    CPlayerDlg* player = history->Player();
    const PlaybackState& state = player->State();
    ASSERT_TRUE(PumpUntil([&] { return player->FramesShown() > 0; }, 20000));
    const auto expected = demo.frameInSecond(rec, midnight + second);
    ASSERT_TRUE(expected.has_value());
    EXPECT_EQ(*expected, state.currentFrame);
    EXPECT_EQ(rec.frameCount, state.frameCount);
    EXPECT_EQ(rec.fileName, timeline->Playback().CurrentFile());
    const SessionPayload& played = *day.sessions.At(1)->session;
    EXPECT_EQ(demo.frameTable(source.index, rec.start, uint32_t(rec.stop - rec.start + 1)), played.secondTable);
    // The picture is the frame of that second, not the one a second later.
    recorder::FrameRenderer renderer(demo);
    recorder::RgbImage right, later;
    renderer.render(rec, *expected, right);
    renderer.render(rec, *expected + source.rate / source.scale, later);
    const size_t near = DifferingPixels(player->Snapshot(), right), far = DifferingPixels(player->Snapshot(), later);
    EXPECT_LT(near * 10, far) << near << " " << far;
    EXPECT_TRUE(history->grab().save(SCREENSHOT_DIR "/motion_history.png"));

    // A click near its end, played at full speed to the end: the next session follows, playing.
    const TimelineScale scale{start - 600, stop + 600, upper->width()};
    x = scale.X(stop - 1);
    const int32_t nearEnd = scale.SecondAt(x);
    ASSERT_TRUE(nearEnd >= stop - 10 && nearEnd < stop) << nearEnd;
    QMouseEvent again(QEvent::MouseButtonPress, QPointF(x, 5), upper->mapToGlobal(QPointF(x, 5)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(upper, &again);
    const uint32_t nearEndFrame = demo.frameInSecond(rec, midnight + nearEnd).value_or(0);
    ASSERT_TRUE(PumpUntil([&] { return state.currentFrame == nearEndFrame && state.paused; }, 20000));
    player->Panel()->SpeedSlider()->setValue(kSpeedMax);
    player->Panel()->SpeedReleased();
    player->Panel()->Play();
    ASSERT_TRUE(PumpUntil([&] { return timeline->Playback().CurrentFile() == recordings[2]->fileName; }, 20000));
    EXPECT_EQ(1u, state.playing);
    EXPECT_EQ(recordings[2]->frameCount, state.frameCount);
    // Only the file that plays is open on the recorder.
    EXPECT_EQ(1u, playback.StreamCount());
}

}  // namespace
}  // namespace corvanta
