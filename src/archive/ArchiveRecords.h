#pragma once
// Records of the recorder's archive service "AVIArchive Query". Each answer
// carries an entry count in param1 and fixed-size entries in its data; the
// two per-second answers (activity of a day, frame numbers of a file) start
// with a DayWindowHeader instead.

#include <cstddef>
#include <cstdint>

#include "platform/SystemTime.h"

namespace corvanta {

inline constexpr char kArchiveQueryFilterName[] = "AVIArchive Query";

// Command codes of "AVIArchive Query". "Text" is a NUL-terminated source id.
// The recorder answers them too: a new one takes the next code after the last
// one here, on both sides.
enum ArchiveQueryCommand : uint32_t {
    kArchiveListMonths = 1,     // text; answer: MonthEntry[param1]
    kArchiveListDays = 2,       // param1 year, param2 month, text; answer: param1 day bytes
    kArchiveListSessions = 3,   // param1 year << 16 | month, param2 day, text; answer: SessionEntry[param1]
    kArchiveSelectFile = 4,     // param1 fileNumber, text; answer not read
    kArchiveSearch = 5,         // data TimeQuery; answer: SessionEntry[param1]
    kArchiveListSources = 6,    // no data; answer: SourceEntry[param1]
    kArchiveDayActivity = 7,    // data TimeQuery; answer: DayWindowHeader + count activity bytes
    kArchiveSecondIndex = 8,    // data TimeQuery; answer: DayWindowHeader + count 32-bit frame numbers
};

// Times on the wire are the eight 16-bit fields of SystemTime.
using platform::SystemTime;

struct SourceEntry {
    char sourceId[201];     // key of the source in every further command, NUL-terminated
    char displayName[207];  // text shown to the user, NUL-terminated
};
static_assert(sizeof(SourceEntry) == 408);
static_assert(offsetof(SourceEntry, sourceId) == 0);
static_assert(offsetof(SourceEntry, displayName) == 201);

struct MonthEntry {
    uint16_t year;
    uint8_t month;   // 1..12
    uint8_t spare;   // not read
};
static_assert(sizeof(MonthEntry) == 4);
static_assert(offsetof(MonthEntry, year) == 0);
static_assert(offsetof(MonthEntry, month) == 2);
static_assert(offsetof(MonthEntry, spare) == 3);

struct SessionEntry {
    char fileName[512];   // the recording's file name, NUL-terminated
    uint32_t fileNumber;  // sent back with kArchiveSelectFile
    uint32_t subItems;    // non-zero gives the tree item an expand button
    SystemTime start;     // first second of the recording
    SystemTime stop;      // end of the recording (exclusive)
};
static_assert(sizeof(SessionEntry) == 552);
static_assert(offsetof(SessionEntry, fileName) == 0);
static_assert(offsetof(SessionEntry, fileNumber) == 512);
static_assert(offsetof(SessionEntry, subItems) == 516);
static_assert(offsetof(SessionEntry, start) == 520);
static_assert(offsetof(SessionEntry, stop) == 536);

// A window of time of one source. Only year, month, day, hour, minute and
// second of the two times are filled in.
struct TimeQuery {
    SystemTime from;
    SystemTime to;
    char sourceId[202];  // NUL-terminated
};
static_assert(sizeof(TimeQuery) == 234);
static_assert(offsetof(TimeQuery, from) == 0);
static_assert(offsetof(TimeQuery, to) == 16);
static_assert(offsetof(TimeQuery, sourceId) == 32);

// Start of the answers to kArchiveDayActivity and kArchiveSecondIndex; count
// values follow, one per second of the window starting at `from`.
struct DayWindowHeader {
    SystemTime from;  // not read by the viewer; the recorder echoes the window
    SystemTime to;
    uint32_t count;   // values that follow
};
static_assert(sizeof(DayWindowHeader) == 36);
static_assert(offsetof(DayWindowHeader, from) == 0);
static_assert(offsetof(DayWindowHeader, to) == 16);
static_assert(offsetof(DayWindowHeader, count) == 32);

// Activity values of one second (kArchiveDayActivity).
inline constexpr uint8_t kActivityMax = 200;         // 0..200: recorded, level of activity
inline constexpr uint8_t kActivityNoRecording = 255; // nothing recorded in that second
inline constexpr uint32_t kActivitySecondsPerDay = 86400;

// Frame table value of a second without a frame (kArchiveSecondIndex).
inline constexpr uint32_t kNoFrameInSecond = 0xFFFFFFFFu;

}  // namespace corvanta
