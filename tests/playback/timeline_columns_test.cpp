#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "framework/IcpRecord.h"
#include "playback/DayActivity.h"
#include "playback/DayTimelinePlayback.h"
#include "playback/TimelineColumns.h"

namespace corvanta {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kNo = kNoFrameInSecond;
constexpr uint32_t kGrey = 0x969696, kGreen = 0x64FA64, kBlue = 0x6464FA, kRed = 0xFA6464, kLightGrey = 0xD2D2D2;

Bytes ColumnValues(const TimelineColumns& c) {
    return Bytes(c.Columns().begin(), c.Columns().end());
}

// The column is `height` rows of `rgb` from the bottom (row 0), grey above.
void ExpectBar(const CFrameImage& picture, uint32_t column, uint32_t height, uint32_t rgb) {
    for (uint32_t row = 0; row < picture.Height(); ++row) {
        const uint8_t* p = picture.Bits() + (size_t(row) * picture.Width() + column) * 3;
        EXPECT_EQ(row < height ? rgb : kGrey, uint32_t(p[2] << 16 | p[1] << 8 | p[0])) << "column " << column << " row " << row;
    }
}

TEST(TimelineColumns, EachColumnShowsTheHighestActivityOfItsSeconds) {
    TimelineColumns columns;
    ASSERT_TRUE(columns.Resize(7, 25));  // rounded down to 4
    ASSERT_EQ(4u, columns.Picture().Width());
    const Bytes activity{255, 50, 0, 255, 255, 255, 200, 10};
    columns.Rebuild(activity, 0, 8);  // two seconds per column
    EXPECT_EQ((Bytes{50, 0, 255, 200}), ColumnValues(columns));
    ExpectBar(columns.Picture(), 0, (25 - 5) * 50 / 200 + 5, kGreen);
    ExpectBar(columns.Picture(), 1, 3, kBlue);
    ExpectBar(columns.Picture(), 2, 2, kRed);

    columns.Rebuild(activity, 1, 3);  // one second for every other column
    EXPECT_EQ((Bytes{50, kColumnEmpty, 0, kColumnEmpty}), ColumnValues(columns));
    ExpectBar(columns.Picture(), 1, 0, kGrey);
    columns.Rebuild(Bytes(2, 0), 0, 8);  // seconds beyond the data: not recorded
    EXPECT_EQ((Bytes{0, 255, 255, 255}), ColumnValues(columns));

    EXPECT_FALSE(columns.Resize(3, 25));
    EXPECT_EQ(nullptr, columns.Picture().Bits());
    columns.Rebuild(activity, 0, 8);  // nothing to draw into
}

TEST(TimelineColumns, SecondsWithoutActivityDataShowGreyAndGiveWayOnlyToRecordedLevels) {
    TimelineColumns columns;
    ASSERT_TRUE(columns.Resize(4, 25));
    const uint8_t none = kNoActivityData;
    // Per column: only no data; no data after no recording; a level after
    // no data; no recording after no data.
    const Bytes activity{none, none, 255, none, none, 0, none, 255};
    columns.Rebuild(activity, 0, 8);
    EXPECT_EQ((Bytes{none, none, 0, none}), ColumnValues(columns));
    ExpectBar(columns.Picture(), 0, 2, kLightGrey);
    ExpectBar(columns.Picture(), 1, 2, kLightGrey);
    ExpectBar(columns.Picture(), 2, 3, kBlue);
    ExpectBar(columns.Picture(), 3, 2, kLightGrey);
}

TEST(DayActivity, CopyTakesTheDayOrWhatThereIsAndMissingSecondsAreNotRecorded) {
    Bytes longer(90000, 3);
    longer[kDayTimelineSeconds] = 9;  // 23:59:59 is not kept
    for (const auto& [given, copied] : {std::pair{Bytes(10, 3), size_t(10)}, {longer, size_t(86399)}}) {
        const Bytes copy = CopyDayActivity(given);
        ASSERT_EQ(size_t(kDayTimelineSeconds), copy.size());
        for (size_t s = 0; s < copy.size(); ++s) ASSERT_EQ(s < copied ? 3 : kNoRecording, copy[s]) << s << " of " << given.size();
    }
}

TEST(DayActivity, MarkGapsKeepsOnlySecondsThatASessionCovers) {
    constexpr int32_t kDay = 12;
    struct Case {
        std::vector<DaySession> sessions;
        int32_t from, to;  // the covered seconds
        const char* what;
    };
    for (const Case& c : {Case{{{kDay - 1, 80000, kDay, 3600}}, 0, 3600, "started the day before"},
                          Case{{{kDay, 86000, kDay + 1, 100}}, 86000, 86399, "ends the next day"},
                          Case{{{kDay, 100, kDay, 200}, {kDay, 150, kDay, 300}}, 100, 300, "overlapping"}}) {
        Bytes activity(kDayTimelineSeconds, 7);
        MarkGaps(activity, &c.sessions, kDay);
        for (int32_t s = 0; s < kDayTimelineSeconds; ++s)
            ASSERT_EQ(s >= c.from && s < c.to ? 7 : kNoRecording, activity[size_t(s)]) << c.what << ", second " << s;
    }
    Bytes activity(kDayTimelineSeconds, 7);
    MarkGaps(activity, nullptr, kDay);  // no list: the gaps are unknown
    EXPECT_EQ(Bytes(kDayTimelineSeconds, 7), activity);
}

TEST(DayTimelinePlayback, FirstFrameSkipsSecondsWithoutAFrame) {
    const std::vector<uint32_t> table{10, kNo, kNo, 85, kNo};
    for (auto [offset, frame] : {std::pair{0, 10u}, {1, 85u}, {4, 0u}, {5, 0u}, {-1, 0u}})
        EXPECT_EQ(frame, FirstFrameAt(table, offset)) << offset;
}

TEST(DayTimelinePlayback, FrameTableIsReadWithinWhatArrived) {
    std::vector<uint8_t> record(64 + 36 + 12);
    auto* answer = reinterpret_cast<IcpRecord*>(record.data());
    const uint32_t frames[3] = {7, kNo, 9};
    std::memcpy(answer->data + 36, frames, sizeof frames);
    struct Case {
        uint32_t count, dataLength, copied;
        std::vector<uint32_t> table;  // empty: none
    };
    for (const Case& c : {Case{1000, 48, 48, {7, kNo, 9}}, {3, 48, 44, {7, kNo}}, {3, 30, 48, {}}}) {
        std::memcpy(answer->data + 32, &c.count, 4);
        answer->dataLength = c.dataLength;
        EXPECT_EQ(c.table, ReadSecondIndex(*answer, c.copied).value_or(std::vector<uint32_t>{})) << c.count << " " << c.copied;
    }
}

TEST(TimelineScale, ConvertsBetweenSecondsAndPixelsTruncating) {
    struct Case {
        TimelineScale scale;
        int32_t second, x;       // x(second)
        int32_t pixel, atPixel;  // second at pixel
    };
    for (const Case& c : {// 43200 * 323 / 86399 = 161.5; 161 / (323 / 86399) = 43065.8
                          Case{{0, 86399, 323}, 43200, 161, 161, 43065},
                          Case{{9, 2, 400}, 9, 0, 100, 9},  // empty range: no scale
                          Case{{0, 100, 0}, 50, 0, 0, 0}}) {
        EXPECT_EQ(c.x, c.scale.X(c.second)) << c.scale.start << ".." << c.scale.end << " over " << c.scale.width;
        EXPECT_EQ(c.atPixel, c.scale.SecondAt(c.pixel)) << c.scale.start << ".." << c.scale.end << " over " << c.scale.width;
    }
}

}  // namespace
}  // namespace corvanta
