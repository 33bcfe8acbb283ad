#pragma once
// The archive trees' questions to "AVIArchive Query" and their answers,
// read within the bytes that actually arrived: an entry count larger than
// the data is cut to the entries present. Every call opens its own client,
// sends one command and closes it again. false when the filter cannot be
// reached or the command failed.

#include <cstdint>
#include <string>
#include <vector>

#include "archive/ArchiveRecords.h"
#include "framework/IcpRecord.h"
#include "remote/HttpRequest.h"

namespace corvanta {

// A list of recordings. One answer of the recorder holds at most
// kMaxSessionsPerAnswer entries: a list that fills it to the last whole
// entry, or whose count promises more than arrived, may have been cut.
struct SessionList {
    std::vector<SessionEntry> entries;
    bool more = false;  // the recorder may have more than these
};
inline constexpr size_t kMaxSessionsPerAnswer = (CHttpRequest::kMaxBody - kIcpHeaderSize) / sizeof(SessionEntry);

bool ListSources(std::vector<SourceEntry>& sources);
bool ListMonths(const std::string& sourceId, std::vector<MonthEntry>& months);
bool ListDays(const std::string& sourceId, uint16_t year, uint16_t month, std::vector<uint8_t>& days);
bool ListSessions(const std::string& sourceId, uint16_t year, uint16_t month, uint16_t day, SessionList& sessions);
bool SelectSessionFile(const std::string& sourceId, uint32_t fileNumber);
bool SearchSessions(const TimeQuery& query, SessionList& sessions);
// The activity bytes of a day (at most as many as arrived) and the answer's
// dataLength, which is 0 when the recorder had nothing.
bool DayActivity(const TimeQuery& query, std::vector<uint8_t>& activity, uint32_t& dataLength);

// A query for a window of one source; only the date and time fields are set.
TimeQuery MakeTimeQuery(const SystemTime& from, const SystemTime& to, const std::string& sourceId);
// The whole day: 00:00:00 to 23:59:59.
TimeQuery MakeDayQuery(uint16_t year, uint16_t month, uint16_t day, const std::string& sourceId);

// Tree labels.
std::string MonthLabel(uint16_t year, uint16_t month);
std::string DayLabel(uint16_t year, uint16_t month, uint16_t day);
// "HH:MM:SS-HH:MM:SS", with the start date in front for the time tree.
std::string SessionLabel(const SessionEntry& entry, bool withDate);

// A fixed text field up to its NUL, never past its end.
template <size_t N>
std::string FieldText(const char (&field)[N]) {
    size_t n = 0;
    while (n < N && field[n]) ++n;
    return std::string(field, n);
}

}  // namespace corvanta
