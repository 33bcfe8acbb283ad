#pragma once
// Event reports: one fixed record per noteworthy event (above all, an
// exception caught while a filter handled a message), delivered as command 9
// to the filter "Main Event Logger" when one is registered in the instance,
// and dropped silently when none is.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/SystemTime.h"

namespace corvanta {

class CFilter;

inline constexpr const char* kEventLoggerName = "Main Event Logger";
// The one command of the event logger: data = one EventRecord. A further one
// takes a code other than 9 and 65000 and above (IcpRecord.h).
inline constexpr uint32_t kEventLogCommand = 9;

enum EventType : uint32_t {
    kEventError = 2,   // the form the message framework uses
    kEventNote = 3,    // carries a note text
    kEventPlain = 4,
};

// An exception was raised while a filter handled a message, its loop or a timer.
inline constexpr uint32_t kEventCodeHandlerException = 19;

// What the viewer notes of a user's session (type 3: the text as data, a
// short note), so an attached event log shows the journey.
enum ViewerEventCode : uint32_t {
    kEventCodeLogin = 100,          // text: user and recorder
    kEventCodeLoginRefused = 101,   // text: user and recorder
    kEventCodeNoRecorder = 102,     // text: the URL that did not answer
    kEventCodeLogOff = 103,         // text: the recorder
    kEventCodeViewerOpened = 104,   // text: the recorder the viewer points at
    kEventCodeViewerClosed = 105,   // text: the same
    kEventCodePlay = 110,           // text: the file, or a source's live buffer
    kEventCodePlayFailed = 111,     // text: the file the recorder did not open
    kEventCodeShowDay = 112,        // text: source and day
    kEventCodeSearch = 113,         // text: source and interval
};

inline constexpr size_t kEventSourceNameSize = 101;
inline constexpr size_t kEventDisplayNameSize = 103;
inline constexpr size_t kEventNoteSize = 52;
inline constexpr size_t kEventDataSize = 100;

// One event as it travels to the logger. Texts are NUL-terminated inside
// their fields; everything is zero unless written.
struct EventRecord {
    uint32_t valid;                               // 1
    uint32_t eventType;                           // EventType
    uint32_t eventCode;                           // given by the caller
    char sourceName[kEventSourceNameSize];        // source filter's name, or "System"
    char sourceDisplayName[kEventDisplayNameSize];// its "FilterDisplayName" setting, or "System"
    uint32_t sourceClass;                         // source filter's class code; 0 without one
    uint32_t sourceType;                          // source filter's type code; 0 without one
    platform::SystemTime time;                    // local time of the report
    char note[kEventNoteSize];                    // optional text
    uint32_t reserved;                            // 0
    uint8_t data[kEventDataSize];                 // event data (code 19: the description text and its NUL)
    uint32_t dataLength;                          // bytes of `data` in use
};
static_assert(sizeof(EventRecord) == 400);
static_assert(offsetof(EventRecord, valid) == 0);
static_assert(offsetof(EventRecord, eventType) == 4);
static_assert(offsetof(EventRecord, eventCode) == 8);
static_assert(offsetof(EventRecord, sourceName) == 12);
static_assert(offsetof(EventRecord, sourceDisplayName) == 113);
static_assert(offsetof(EventRecord, sourceClass) == 216);
static_assert(offsetof(EventRecord, sourceType) == 220);
static_assert(offsetof(EventRecord, time) == 224);
static_assert(offsetof(EventRecord, note) == 240);
static_assert(offsetof(EventRecord, reserved) == 292);
static_assert(offsetof(EventRecord, data) == 296);
static_assert(offsetof(EventRecord, dataLength) == 396);

// Fills a record the way ReportEvent sends it. Texts longer than their
// fields and data longer than 100 bytes are cut; data that ended in a NUL
// (a text) still ends in one after the cut.
EventRecord MakeEventRecord(uint32_t type, uint32_t code, CFilter* source, const void* data, uint32_t length,
                            const char* note);

// 1 when the record was handed to "Main Event Logger", 0 when no such filter
// could be opened. The logger's answer is not used. Of the source filter it
// only reads the display name (under its settings lock, briefly), so it is
// safe inside a filter's exception handlers.
int ReportEvent(uint32_t type, uint32_t code, CFilter* source, const void* data, uint32_t length,
                const char* note = nullptr);
// Type 2 and type 4 reports; both return 1 whether or not a logger took them.
int ReportEventError(uint32_t code, CFilter* source, const void* data, uint32_t length);
int ReportEventPlain(uint32_t code, CFilter* source, const void* data, uint32_t length);
// Type 3: the text with its NUL as data, and a note. ReportEvent's result.
int ReportEventNote(uint32_t code, CFilter* source, const char* text, const char* note);

// One readable line for a record (no newline): time, source, type, code, the
// note when there is one, and the data as text (or hexadecimal when it is not
// text). Reads nothing past the record's fields whatever their contents.
std::string FormatEventRecord(const EventRecord& record);

}  // namespace corvanta
