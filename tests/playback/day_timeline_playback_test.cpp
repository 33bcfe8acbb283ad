#include <gtest/gtest.h>

#include <cstring>

#include "framework/IcpRecord.h"
#include "playback/DayTimelinePlayback.h"

namespace corvanta {
namespace {

constexpr uint32_t kNo = kNoFrameInSecond;

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

}  // namespace
}  // namespace corvanta
