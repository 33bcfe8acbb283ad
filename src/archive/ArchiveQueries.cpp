#include "archive/ArchiveQueries.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <span>

#include "framework/CFilterIcpClient.h"

namespace corvanta {

namespace {

// One command to "AVIArchive Query". `answer` gets the data that arrived
// (never more than the answer region holds) and `count` its param1.
struct Exchange {
    bool ok = false;
    uint32_t count = 0;
    uint32_t dataLength = 0;
    std::vector<uint8_t> data;
};

Exchange Ask(uint32_t code, uint32_t param1, uint32_t param2, const void* data, uint32_t length) {
    Exchange out;
    CFilterIcpClient client;
    if (!client.Open(kArchiveQueryFilterName)) return out;
    out.ok = client.SendCommand(code, param1, param2, data, length) != 0;
    if (const IcpRecord* answer = client.Answer(); out.ok && answer) {
        out.count = answer->param1;
        out.dataLength = answer->dataLength;
        const uint32_t present = std::min(answer->dataLength, client.AnswerCapacity());
        out.data.assign(answer->data, answer->data + present);
    }
    client.Close();
    return out;
}

Exchange AskText(uint32_t code, uint32_t param1, uint32_t param2, const std::string& text) {
    return Ask(code, param1, param2, text.c_str(), uint32_t(text.size() + 1));
}

// At most `count` entries, and only whole ones that arrived.
template <typename Entry>
bool Entries(const Exchange& e, std::vector<Entry>& out) {
    out.clear();
    if (!e.ok) return false;
    const size_t n = std::min<size_t>(e.count, e.data.size() / sizeof(Entry));
    out.resize(n);
    if (n) std::memcpy(out.data(), e.data.data(), n * sizeof(Entry));
    return true;
}

bool Sessions(const Exchange& e, SessionList& out) {
    const bool ok = Entries(e, out.entries);
    out.more = ok && (out.entries.size() >= kMaxSessionsPerAnswer || e.count > out.entries.size());
    return ok;
}

SystemTime Clock(uint16_t year, uint16_t month, uint16_t day, uint16_t h, uint16_t m, uint16_t s) {
    SystemTime t{};
    t.year = year;
    t.month = month;
    t.day = day;
    t.hour = h;
    t.minute = m;
    t.second = s;
    return t;
}

}  // namespace

bool ListSources(std::vector<SourceEntry>& sources) { return Entries(Ask(kArchiveListSources, 0, 0, nullptr, 0), sources); }

bool ListMonths(const std::string& sourceId, std::vector<MonthEntry>& months) {
    return Entries(AskText(kArchiveListMonths, 0, 0, sourceId), months);
}

bool ListDays(const std::string& sourceId, uint16_t year, uint16_t month, std::vector<uint8_t>& days) {
    return Entries(AskText(kArchiveListDays, year, month, sourceId), days);
}

bool ListSessions(const std::string& sourceId, uint16_t year, uint16_t month, uint16_t day, SessionList& sessions) {
    return Sessions(AskText(kArchiveListSessions, uint32_t(year) << 16 | month, day, sourceId), sessions);
}

bool SelectSessionFile(const std::string& sourceId, uint32_t fileNumber) {
    return AskText(kArchiveSelectFile, fileNumber, 0, sourceId).ok;
}

bool SearchSessions(const TimeQuery& query, SessionList& sessions) {
    return Sessions(Ask(kArchiveSearch, 0, 0, &query, sizeof query), sessions);
}

bool DayActivity(const TimeQuery& query, std::vector<uint8_t>& activity, uint32_t& dataLength) {
    activity.clear();
    dataLength = 0;
    const Exchange e = Ask(kArchiveDayActivity, 0, 0, &query, sizeof query);
    if (!e.ok) return false;
    dataLength = e.dataLength;
    if (e.data.size() < sizeof(DayWindowHeader)) return true;
    DayWindowHeader header;
    std::memcpy(&header, e.data.data(), sizeof header);
    const size_t present = std::min<size_t>(header.count, e.data.size() - sizeof header);
    activity.assign(e.data.begin() + sizeof header, e.data.begin() + std::ptrdiff_t(sizeof header + present));
    return true;
}

TimeQuery MakeTimeQuery(const SystemTime& from, const SystemTime& to, const std::string& sourceId) {
    TimeQuery q{};
    q.from = Clock(from.year, from.month, from.day, from.hour, from.minute, from.second);
    q.to = Clock(to.year, to.month, to.day, to.hour, to.minute, to.second);
    std::strncpy(q.sourceId, sourceId.c_str(), sizeof q.sourceId - 1);
    return q;
}

TimeQuery MakeDayQuery(uint16_t year, uint16_t month, uint16_t day, const std::string& sourceId) {
    return MakeTimeQuery(Clock(year, month, day, 0, 0, 0), Clock(year, month, day, 23, 59, 59), sourceId);
}

std::string MonthLabel(uint16_t year, uint16_t month) {
    char text[32];
    std::snprintf(text, sizeof text, "%d/%02d", year, month);
    return text;
}

std::string DayLabel(uint16_t year, uint16_t month, uint16_t day) {
    char text[32];
    std::snprintf(text, sizeof text, "%d/%02d/%02d", year, month, day);
    return text;
}

std::string SessionLabel(const SessionEntry& e, bool withDate) {
    char text[64];
    if (withDate)
        std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d-%02d:%02d:%02d", e.start.year, e.start.month,
                      e.start.day, e.start.hour, e.start.minute, e.start.second, e.stop.hour, e.stop.minute,
                      e.stop.second);
    else
        std::snprintf(text, sizeof text, "%02d:%02d:%02d-%02d:%02d:%02d", e.start.hour, e.start.minute,
                      e.start.second, e.stop.hour, e.stop.minute, e.stop.second);
    return text;
}

}  // namespace corvanta
