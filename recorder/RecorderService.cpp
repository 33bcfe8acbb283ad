#include "recorder/RecorderService.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "archive/ArchiveRecords.h"
#include "playback/PlaybackRecords.h"
#include "services/UserAccessRecords.h"

namespace corvanta::recorder {
namespace {

ServiceAnswer refuse(std::string why) { return ServiceAnswer{{}, false, std::move(why)}; }

ServiceAnswer accept(const Answer& answer, std::string note = {}) {
    return ServiceAnswer{answer.body(), false, std::move(note)};
}

// A fixed text field is valid when it ends inside the field.
bool terminated(const char* field, size_t size) { return std::memchr(field, 0, size) != nullptr; }

template <size_t N>
void copyText(char (&field)[N], std::string_view text) {
    const size_t n = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

template <typename T>
std::optional<T> recordIn(const RequestRecord& rec) {
    if (rec.data.size() < sizeof(T)) return std::nullopt;
    T value;
    std::memcpy(&value, rec.data.data(), sizeof(T));
    return value;
}

// The largest number of entries of a kind that fits one answer body.
template <typename Entry>
constexpr size_t maxEntries() {
    return (kMaxAnswerBody - kIcpOverhead) / sizeof(Entry);
}

// The window of a TimeQuery, both ends inclusive, as a first second and a count.
struct Window {
    ArchiveSource source;
    Seconds from = 0;
    Seconds to = 0;
};

// Session entries for the recordings, as many as one answer holds; the
// count goes into param1.
void appendSessions(Answer& answer, std::vector<FileRef> recs) {
    if (recs.size() > maxEntries<SessionEntry>()) recs.resize(maxEntries<SessionEntry>());
    for (const FileRef& r : recs) {
        SessionEntry e{};
        copyText(e.fileName, r->fileName);
        e.fileNumber = r->fileNumber;
        e.start = toSystemTime(r->start);
        e.stop = toSystemTime(r->stop);
        answer.append(e);
    }
    answer.header.param1 = static_cast<uint32_t>(recs.size());
}

std::optional<Window> windowOf(const RecordedArchive& archive, const RequestRecord& rec, std::string* why) {
    auto query = recordIn<TimeQuery>(rec);
    if (!query) {
        *why = "short time query";
        return std::nullopt;
    }
    if (!terminated(query->sourceId, sizeof query->sourceId)) {
        *why = "unterminated source id";
        return std::nullopt;
    }
    Window w;
    auto source = archive.findSource(query->sourceId);
    if (!source) {
        *why = "unknown source";
        return std::nullopt;
    }
    w.source = std::move(*source);
    auto from = fromSystemTime(query->from);
    auto to = fromSystemTime(query->to);
    if (!from || !to) {
        *why = "invalid time";
        return std::nullopt;
    }
    w.from = *from;
    w.to = *to;
    return w;
}

}  // namespace

RecorderService::RecorderService(RecordedArchive& archive, SessionTable& sessions)
    : archive_(archive), sessions_(sessions) {}

ServiceAnswer RecorderService::handle(const FilterRequest& request) {
    auto rec = parseRequestRecord(request.record);
    if (!rec) return refuse("record shorter than its header says");
    if (rec->header.kind != kIcpCommand) return refuse("not a command");

    const bool login = request.filterName == kUserPrivilegeFilterName && rec->header.code == kPrivilegeLogIn;
    if (!login && !sessions_.touch(request.sessionId)) return refuse("unknown or expired session");

    if (request.filterName == kUserPrivilegeFilterName) return userPrivilege(request, *rec);
    if (request.filterName == kArchiveQueryFilterName) return archiveQuery(*rec);
    if (request.filterName == kPlaybackManagerFilterName) return playbackManager(request, *rec);
    return frameSource(request, *rec);
}

ServiceAnswer RecorderService::userPrivilege(const FilterRequest& request, const RequestRecord& rec) {
    Answer answer(rec.header);
    switch (rec.header.code) {
    case kPrivilegeLogIn: {
        auto login = recordIn<LoginRecord>(rec);
        if (!login) return refuse("short login record");
        if (!terminated(login->userName, sizeof login->userName) || !terminated(login->password, sizeof login->password))
            return refuse("unterminated login text");
        auto id = sessions_.logIn(login->userName, login->password);
        if (!id) return refuse(std::string("login refused for ") + login->userName);
        answer.data = *id;
        answer.data.push_back('\0');
        return accept(answer, std::string("user ") + login->userName);
    }
    case kPrivilegeLogOff:
        if (!sessions_.logOff(rec.text())) return refuse("log-off of an unknown session");
        return accept(answer);
    case kPrivilegeCheck: {
        auto query = recordIn<PrivilegeQuery>(rec);
        if (!query) return refuse("short privilege query");
        if (!terminated(query->privilegeName, sizeof query->privilegeName) ||
            !terminated(query->sessionId, sizeof query->sessionId))
            return refuse("unterminated privilege text");
        const std::string_view session = query->sessionId[0] ? std::string_view(query->sessionId) : request.sessionId;
        if (query->privilegeName[0] == '\0' || !sessions_.touch(session)) return refuse("privilege not granted");
        answer.header.param1 = 1;
        return accept(answer, std::string("privilege ") + query->privilegeName);
    }
    default:
        return refuse("unknown command");
    }
}

ServiceAnswer RecorderService::archiveQuery(const RequestRecord& rec) {
    Answer answer(rec.header);
    const IcpHeader& h = rec.header;
    switch (h.code) {
    case kArchiveListSources: {
        const auto sources = archive_.sources();
        for (const ArchiveSource& s : sources) {
            SourceEntry e{};
            copyText(e.sourceId, s.id);
            copyText(e.displayName, s.displayName);
            answer.append(e);
        }
        answer.header.param1 = static_cast<uint32_t>(sources.size());
        return accept(answer);
    }
    case kArchiveListMonths: {
        const auto src = archive_.findSource(rec.text());
        if (!src) return refuse("unknown source");
        const auto months = archive_.months(src->index);
        for (uint32_t ym : months) {
            MonthEntry e{};
            e.year = static_cast<uint16_t>(ym / 100);
            e.month = static_cast<uint8_t>(ym % 100);
            answer.append(e);
        }
        answer.header.param1 = static_cast<uint32_t>(months.size());
        return accept(answer);
    }
    case kArchiveListDays: {
        const auto src = archive_.findSource(rec.text());
        if (!src) return refuse("unknown source");
        if (h.param2 < 1 || h.param2 > 12 || h.param1 > 9999) return refuse("invalid month");
        const auto days = archive_.days(src->index, static_cast<int>(h.param1), h.param2);
        answer.data.assign(days.begin(), days.end());
        answer.header.param1 = static_cast<uint32_t>(days.size());
        return accept(answer);
    }
    case kArchiveListSessions: {
        const auto src = archive_.findSource(rec.text());
        if (!src) return refuse("unknown source");
        SystemTime day{};
        day.year = static_cast<uint16_t>(h.param1 >> 16);
        day.month = static_cast<uint16_t>(h.param1 & 0xFFFF);
        day.day = static_cast<uint16_t>(std::min<uint32_t>(h.param2, 0xFFFF));
        auto from = fromSystemTime(day);
        if (!from) return refuse("invalid day");
        auto recs = archive_.overlapping(src->index, *from, *from + kSecondsPerDay);
        appendSessions(answer, recs);
        return accept(answer);
    }
    case kArchiveSelectFile: {
        const auto src = archive_.findSource(rec.text());
        if (!src) return refuse("unknown source");
        if (!archive_.hasFileNumber(src->index, h.param1)) return refuse("unknown file number");
        return accept(answer);
    }
    case kArchiveSearch: {
        std::string why;
        auto w = windowOf(archive_, rec, &why);
        if (!w) return refuse(why);
        std::vector<FileRef> recs;
        if (w->to >= w->from) recs = archive_.overlapping(w->source.index, w->from, w->to + 1);
        appendSessions(answer, recs);
        return accept(answer);
    }
    case kArchiveDayActivity:
    case kArchiveSecondIndex: {
        std::string why;
        auto w = windowOf(archive_, rec, &why);
        if (!w) return refuse(why);
        // One day at most: that is what the viewer asks for, and it keeps the
        // answer well inside one body.
        if (w->to < w->from || w->to - w->from >= static_cast<Seconds>(kActivitySecondsPerDay))
            return refuse("window empty or longer than a day");
        const auto count = static_cast<uint32_t>(w->to - w->from + 1);
        DayWindowHeader head{};
        head.from = toSystemTime(w->from);
        head.to = toSystemTime(w->to);
        head.count = count;
        answer.append(head);
        if (h.code == kArchiveDayActivity) {
            const auto levels = archive_.activity(w->source.index, w->from, count);
            answer.data.append(levels.begin(), levels.end());
        } else {
            const auto table = archive_.frameTable(w->source.index, w->from, count);
            answer.data.append(reinterpret_cast<const char*>(table.data()), table.size() * sizeof(uint32_t));
        }
        answer.header.param1 = count;
        return accept(answer);
    }
    default:
        return refuse("unknown command");
    }
}

ServiceAnswer RecorderService::playbackManager(const FilterRequest& request, const RequestRecord& rec) {
    Answer answer(rec.header);
    const std::string_view name = rec.text();
    switch (rec.header.code) {
    case kPlaybackOpenFile: {
        FileRef r = archive_.findFile(name);
        if (!r) return refuse("unknown file");
        if (!sessions_.openFile(request.sessionId, name, r)) return refuse("too many open files");
        const ArchiveFile& src = *r;
        FileDescription d{};
        d.info.maxBytesPerSec = static_cast<uint32_t>(uint64_t{src.width} * src.height * src.rate / src.scale / 8);
        d.info.flags = 0x10;  // the file has an index
        d.info.caps = 0x1;    // frames can be read
        d.info.streams = 1;
        d.info.suggestedBufferSize = src.width * src.height * 3;
        d.info.width = src.width;
        d.info.height = src.height;
        d.info.scale = src.scale;
        d.info.rate = src.rate;
        d.info.length = r->frameCount;
        copyText(d.info.fileType, "Motion JPEG");
        d.frameCount = r->frameCount;
        answer.append(d);
        answer.header.param1 = r->frameCount;
        return accept(answer, r->fileName);
    }
    case kPlaybackCloseFile:
        if (!sessions_.closeFile(request.sessionId, name)) return refuse("file not open");
        return accept(answer);
    default:
        return refuse("unknown command");
    }
}

ServiceAnswer RecorderService::frameSource(const FilterRequest& request, const RequestRecord& rec) {
    FileRef r = sessions_.frameSource(request.sessionId, request.filterName);
    if (!r) return refuse("unknown filter");
    if (rec.header.code != kFrameSourceGetFrame) return refuse("unknown command");
    const uint32_t index = rec.header.param1;
    if (index >= r->frameCount) return refuse("frame past the end");
    auto frame = archive_.frame(r, index);
    if (!frame) return refuse("frame could not be read");
    Answer answer(rec.header);
    answer.header.encoding = kIcpEncodingPicture;
    answer.header.param1 = index;
    answer.header.param2 = static_cast<uint32_t>(frame->timeMs);
    answer.header.param3 = frame->holdMs;
    char note[48];
    std::snprintf(note, sizeof note, "frame %u", index);
    return ServiceAnswer{answer.body(*frame->jpeg), true, note};
}

}  // namespace corvanta::recorder
