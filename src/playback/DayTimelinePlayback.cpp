#include "playback/DayTimelinePlayback.h"

#include <algorithm>
#include <cstring>

#include "framework/CFilterIcpClient.h"
#include "playback/PlaybackRecords.h"
#include "playback/PlayerRecords.h"

namespace corvanta {

namespace {

int32_t SecondOfDay(const SystemTime& t) { return int32_t(t.hour) * 3600 + int32_t(t.minute) * 60 + int32_t(t.second); }

// Holds a day's session list locked for as long as it lives.
class ListLock {
public:
    explicit ListLock(ArchiveNodeList& list) : m_list(list) { m_list.Lock(); }
    ~ListLock() { m_list.Unlock(); }
    ListLock(const ListLock&) = delete;
    ListLock& operator=(const ListLock&) = delete;

private:
    ArchiveNodeList& m_list;
};

SessionPayload* SessionAt(DayPayload& day, size_t index) {
    ArchiveNode* node = day.sessions.At(index);
    return node ? node->Playable() : nullptr;
}

void MoveToDay(SystemTime& t, ViewedDay viewed, uint16_t hour, uint16_t minute, uint16_t second) {
    t.year = viewed.year;
    t.month = viewed.month;
    t.day = viewed.day;
    t.hour = hour;
    t.minute = minute;
    t.second = second;
}

}  // namespace

DaySession SessionSeconds(const SessionPayload& session) {
    return {session.start.day, SecondOfDay(session.start), session.stop.day, SecondOfDay(session.stop)};
}

std::vector<DaySession> DaySessions(DayPayload& day) {
    ListLock lock(day.sessions);
    std::vector<DaySession> sessions;
    for (size_t i = 0; i < day.sessions.Size(); ++i)
        if (const SessionPayload* s = SessionAt(day, i)) sessions.push_back(SessionSeconds(*s));
    return sessions;
}

std::vector<SessionPayload> DaySessionCopies(DayPayload& day) {
    ListLock lock(day.sessions);
    std::vector<SessionPayload> sessions;
    for (size_t i = 0; i < day.sessions.Size(); ++i)
        if (const SessionPayload* s = SessionAt(day, i)) sessions.push_back(*s);
    return sessions;
}

TimeQuery SecondIndexQuery(const SessionPayload& session, ViewedDay viewed) {
    TimeQuery q{};
    q.from = session.start;
    q.to = session.stop;
    if (q.from.day != viewed.day) MoveToDay(q.from, viewed, 0, 0, 0);
    if (q.to.day != viewed.day) MoveToDay(q.to, viewed, 23, 59, 59);
    std::strncpy(q.sourceId, session.sourceId.c_str(), sizeof q.sourceId - 1);
    return q;
}

std::optional<std::vector<uint32_t>> ReadSecondIndex(const IcpRecord& answer, uint32_t copied) {
    const uint32_t length = std::min(answer.dataLength, copied);
    if (length < sizeof(DayWindowHeader)) return std::nullopt;
    DayWindowHeader head;
    std::memcpy(&head, answer.data, sizeof head);
    const uint32_t count = std::min<uint32_t>(head.count, (length - sizeof head) / sizeof(uint32_t));
    if (count == 0) return std::nullopt;
    std::vector<uint32_t> table(count);
    std::memcpy(table.data(), answer.data + sizeof head, size_t(count) * sizeof(uint32_t));
    return table;
}

uint32_t FirstFrameAt(std::span<const uint32_t> table, int32_t offset) {
    if (offset < 0) return 0;
    for (size_t s = size_t(offset); s < table.size(); ++s)
        if (table[s] != kNoFrameInSecond) return table[s];
    return 0;
}

DayTimelinePlayback::DayTimelinePlayback(std::string playerName) : m_playerName(std::move(playerName)) {}

DayTimelinePlayback::~DayTimelinePlayback() { CloseCurrent(); }

void DayTimelinePlayback::SetDay(uint32_t dayHandle, ViewedDay viewed) {
    if (dayHandle != m_dayHandle) CloseCurrent();
    m_dayHandle = dayHandle;
    m_viewed = viewed;
}

void DayTimelinePlayback::PlayAtSecond(int32_t second) {
    CloseCurrent();
    DayPayload* day = Day();
    if (!day) return;
    std::optional<std::pair<size_t, int32_t>> found;
    {
        ListLock lock(day->sessions);
        found = SessionAtSecondLocked(*day, second);
    }
    if (found) PlayFile(found->first, found->second);
}

std::optional<std::pair<size_t, int32_t>> DayTimelinePlayback::SessionAtSecondLocked(DayPayload& day,
                                                                                     int32_t second) const {
    for (size_t i = 0; i < day.sessions.Size(); ++i) {
        const SessionPayload* session = SessionAt(day, i);
        const CoveredSeconds covered = session ? Covered(SessionSeconds(*session), m_viewed.day) : CoveredSeconds{};
        // A second belongs to one file; overlapping files would leave all
        // but the last open in the manager.
        if (covered.Contains(second)) return std::pair{i, second - covered.start};
    }
    return std::nullopt;
}

std::optional<ThumbnailSource> DayTimelinePlayback::ThumbnailSourceAt(int32_t second) const {
    DayPayload* day = Day();
    if (!day) return std::nullopt;
    ListLock lock(day->sessions);
    const auto found = SessionAtSecondLocked(*day, second);
    if (!found) return std::nullopt;
    const SessionPayload* session = SessionAt(*day, found->first);
    if (!session) return std::nullopt;
    return ThumbnailSource{session->fileName, SecondIndexQuery(*session, m_viewed), found->second,
                           session->secondTable};
}

DayPayload* DayTimelinePlayback::Day() const { return m_dayHandle ? FindDayPayload(m_dayHandle) : nullptr; }

// The list is locked only to read the session and to store what came back,
// never across an exchange, and the day is looked up again afterwards: the
// tree may let it go while a request is out.
bool DayTimelinePlayback::PlayFile(size_t index, int32_t offset) {
    std::string name;
    TimeQuery query{};
    std::vector<uint32_t> table;
    {
        DayPayload* day = Day();
        if (!day) return false;
        ListLock lock(day->sessions);
        const SessionPayload* session = SessionAt(*day, index);
        if (!session) return false;
        name = session->fileName;
        query = SecondIndexQuery(*session, m_viewed);
        table = session->secondTable;
    }
    FileDescription description{};
    {
        CFilterIcpClient manager;
        if (!manager.Open(kPlaybackManagerFilterName) || !manager.SendCommandText(kPlaybackOpenFile, 0, name.c_str()))
            return false;
        const IcpRecord* answer = manager.Answer();
        const uint32_t length = std::min({answer->dataLength, manager.AnswerCapacity(), uint32_t(sizeof description)});
        std::memcpy(&description, answer->data, length);
    }
    m_currentFile = name;
    // A failed or empty answer leaves the table empty, so the next play asks again.
    if (table.empty()) {
        CFilterIcpClient archive;
        if (archive.Open(kArchiveQueryFilterName) && archive.SendCommand(kArchiveSecondIndex, 0, 0, &query, sizeof query))
            table = ReadSecondIndex(*archive.Answer(), archive.AnswerCapacity()).value_or(std::vector<uint32_t>{});
    }
    if (DayPayload* day = Day()) {
        ListLock lock(day->sessions);
        if (SessionPayload* session = SessionAt(*day, index); session && session->fileName == name) {
            static_assert(sizeof description == sizeof session->fileDescription);
            std::memcpy(session->fileDescription.data(), &description, sizeof description);
            if (session->secondTable.empty()) session->secondTable = table;
        }
    }
    const PlayerOpenBlock block = MakePlayerOpenBlock(description, FirstFrameAt(table, offset), name.c_str());
    CFilterIcpClient player;
    if (player.Open(m_playerName.c_str())) {
        player.SendCommand(kPlayerOpen, uint32_t(m_owner), uint32_t(index), &block, sizeof block);
        player.SendCommand(kPlayerFileTime, 0, 0, &query, sizeof query);
    }
    return true;
}

void DayTimelinePlayback::OnStepNextAvi(uint32_t fileKey) {
    const std::string finished = m_currentFile;
    size_t count = 0;
    if (DayPayload* day = Day()) {
        ListLock lock(day->sessions);
        count = day->sessions.Size();
    }
    if (size_t(fileKey) + 1 < count && PlayFile(size_t(fileKey) + 1, 0)) {
        // The player holds the next file now; the finished one would
        // otherwise stay open in the manager until the day is left.
        if (!finished.empty() && finished != m_currentFile)
            SendIcpCommand(kPlaybackManagerFilterName, kPlaybackCloseFile, 0, 0, finished.c_str());
        return;
    }
    SendIcpCommand(m_playerName.c_str(), kPlayerEndHandled, 0, 0, static_cast<const void*>(nullptr), 0);
}

void DayTimelinePlayback::CloseCurrent() {
    if (m_currentFile.empty()) return;
    SendIcpCommand(kPlaybackManagerFilterName, kPlaybackCloseFile, 0, 0, m_currentFile.c_str());
    SendIcpCommand(m_playerName.c_str(), kPlayerClose, 0, 0, static_cast<const void*>(nullptr), 0);
    m_currentFile.clear();
}

}  // namespace corvanta
