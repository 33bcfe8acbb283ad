#include "framework/EventReport.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "framework/FixedText.h"
#include "framework/CFilter.h"
#include "framework/CFilterIcpClient.h"
#include "stores/TaggedRecord.h"

namespace corvanta {
namespace {

// Control characters would break the one-line form.
std::string Printable(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else {
            out += char(c);
        }
    }
    return out;
}

}  // namespace

EventRecord MakeEventRecord(uint32_t type, uint32_t code, CFilter* source, const void* data, uint32_t length,
                            const char* note) {
    EventRecord r;
    std::memset(&r, 0, sizeof r);
    r.eventType = type;
    r.eventCode = code;
    if (source) {
        CopyText(r.sourceName, sizeof r.sourceName, source->Name());
        std::string display;
        source->Settings().GetText("FilterDisplayName", display);
        CopyText(r.sourceDisplayName, sizeof r.sourceDisplayName, display);
        r.sourceClass = source->Descriptor().classCode;
        r.sourceType = source->Descriptor().typeCode;
    } else {
        CopyText(r.sourceName, sizeof r.sourceName, "System");
        CopyText(r.sourceDisplayName, sizeof r.sourceDisplayName, "System");
    }
    r.valid = 1;
    if (note) CopyText(r.note, sizeof r.note, note);
    r.time = platform::LocalSystemTime();
    if (data && length) {
        const auto* bytes = static_cast<const uint8_t*>(data);
        uint32_t n = std::min<uint32_t>(length, kEventDataSize);
        std::memcpy(r.data, bytes, n);
        if (n < length && bytes[length - 1] == 0) r.data[n - 1] = 0;
        r.dataLength = n;
    }
    return r;
}

int ReportEvent(uint32_t type, uint32_t code, CFilter* source, const void* data, uint32_t length, const char* note) {
    // The logger cannot deliver its own failures to itself: its caller holds
    // the logger's request region while the logger's handler runs.
    if (source && source->Name() == kEventLoggerName) return 0;
    EventRecord r = MakeEventRecord(type, code, source, data, length, note);
    CFilterIcpClient client;
    if (!client.Open(kEventLoggerName)) return 0;
    client.SendCommand(kEventLogCommand, 0, 0, &r, sizeof r, 0, 0, false);
    client.Close();
    return 1;
}

int ReportEventError(uint32_t code, CFilter* source, const void* data, uint32_t length) {
    ReportEvent(kEventError, code, source, data, length, nullptr);
    return 1;
}

int ReportEventPlain(uint32_t code, CFilter* source, const void* data, uint32_t length) {
    ReportEvent(kEventPlain, code, source, data, length, nullptr);
    return 1;
}

int ReportEventNote(uint32_t code, CFilter* source, const char* text, const char* note) {
    uint32_t length = text ? uint32_t(std::strlen(text) + 1) : 0;
    return ReportEvent(kEventNote, code, source, text, length, note);
}

std::string FormatEventRecord(const EventRecord& r) {
    char time[64];
    std::snprintf(time, sizeof time, "%04u-%02u-%02u %02u:%02u:%02u.%03u", r.time.year, r.time.month, r.time.day,
                  r.time.hour, r.time.minute, r.time.second, r.time.milliseconds);
    std::string line = time;
    line += " | " + Printable(FieldText(r.sourceName, sizeof r.sourceName));
    std::string display = FieldText(r.sourceDisplayName, sizeof r.sourceDisplayName);
    if (!display.empty() && display != FieldText(r.sourceName, sizeof r.sourceName))
        line += " (" + Printable(display) + ")";
    line += " | type " + std::to_string(r.eventType) + " | code " + std::to_string(r.eventCode) + " | ";
    std::string note = FieldText(r.note, sizeof r.note);
    if (!note.empty()) line += "note " + Printable(note) + " | ";
    uint32_t n = std::min<uint32_t>(r.dataLength, kEventDataSize);
    const char* bytes = reinterpret_cast<const char*>(r.data);
    size_t textLength = strnlen(bytes, n);
    // Text is what precedes a NUL and holds no other control character.
    bool isText = n > 0 && (textLength + 1 == n || textLength == n);
    for (size_t i = 0; isText && i < textLength; ++i)
        if (static_cast<unsigned char>(bytes[i]) < 0x20) isText = false;
    if (isText) {
        line += std::string(bytes, textLength);
    } else {
        std::string hex;
        AppendHex(hex, r.data, n);
        line += n ? "data " + hex : "no data";
    }
    return line;
}

}  // namespace corvanta
