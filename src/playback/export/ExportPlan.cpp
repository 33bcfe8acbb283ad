#include "playback/export/ExportPlan.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "archive/ArchiveRecords.h"
#include "playback/PlaybackRecords.h"
#include "playback/export/ExportFrameTimes.h"
#include "remote/RawRecorderChannel.h"

namespace corvanta {

namespace {

// H.264 at the encoder's settings makes files about this many times smaller than the JPEGs.
constexpr uint64_t kH264Shrink = 8;

std::vector<uint8_t> TextData(const std::string& text) {
    std::vector<uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    return data;
}

int64_t FrameMs(const ExportCandidate& c, const ExportFrameTimes& times, uint32_t frame) {
    return RecorderTimeMs(c.file.start) + times.OffsetMs(frame);
}

}  // namespace

int64_t RecorderTimeMs(const platform::SystemTime& t) {
    using namespace std::chrono;
    const sys_days day{year{t.year} / month{t.month} / std::chrono::day{t.day}};
    return duration_cast<milliseconds>(day.time_since_epoch()).count() +
           ((int64_t(t.hour) * 60 + t.minute) * 60 + t.second) * 1000 + t.milliseconds;
}

platform::SystemTime RecorderTimeOf(int64_t ms) {
    using namespace std::chrono;
    const sys_time<milliseconds> at{milliseconds{ms}};
    const sys_days day = floor<days>(at);
    const year_month_day ymd{day};
    const hh_mm_ss<milliseconds> clock{at - day};
    platform::SystemTime t{};
    t.year = uint16_t(int(ymd.year()));
    t.month = uint16_t(unsigned(ymd.month()));
    t.day = uint16_t(unsigned(ymd.day()));
    t.dayOfWeek = uint16_t(weekday{day}.c_encoding());
    t.hour = uint16_t(clock.hours().count());
    t.minute = uint16_t(clock.minutes().count());
    t.second = uint16_t(clock.seconds().count());
    t.milliseconds = uint16_t(clock.subseconds().count());
    return t;
}

std::vector<uint32_t> FetchSecondIndex(CRawRecorderChannel& channel, const ExportPiece& file) {
    TimeQuery query{};
    query.from = file.start;
    query.to = file.stop;
    std::strncpy(query.sourceId, file.sourceId.c_str(), sizeof query.sourceId - 1);
    if (!channel.Command(kArchiveQueryFilterName, kArchiveSecondIndex, 0, 0,
                         {reinterpret_cast<const uint8_t*>(&query), sizeof query}) ||
        channel.Data().size() < sizeof(DayWindowHeader))
        return {};
    DayWindowHeader header;
    std::memcpy(&header, channel.Data().data(), sizeof header);
    // The count is bounded by the data that came.
    const size_t count = std::min<size_t>(header.count, (channel.Data().size() - sizeof header) / sizeof(uint32_t));
    std::vector<uint32_t> table(count);
    if (count) std::memcpy(table.data(), channel.Data().data() + sizeof header, count * sizeof(uint32_t));
    return table;
}

bool FetchCandidate(CRawRecorderChannel& channel, const ExportPiece& file, ExportCandidate& out) {
    out = ExportCandidate{};
    out.file = file;
    const auto name = TextData(file.fileName);
    if (!channel.Command(kPlaybackManagerFilterName, kPlaybackOpenFile, 0, 0, name) ||
        channel.Data().size() < sizeof(FileDescription))
        return false;
    FileDescription description;
    std::memcpy(&description, channel.Data().data(), sizeof description);
    out.width = description.info.width;
    out.height = description.info.height;
    out.scale = description.info.scale;
    out.rate = description.info.rate;
    out.frameCount = description.frameCount;
    if (out.frameCount > 0 && channel.GetFrame(file.fileName, 0)) out.sampleJpegBytes = uint32_t(channel.Data().size());
    out.secondIndex = FetchSecondIndex(channel, file);
    channel.Command(kPlaybackManagerFilterName, kPlaybackCloseFile, 0, 0, name);
    return true;
}

void ExportPlan::SetCandidates(std::vector<ExportCandidate> candidates) {
    m_candidates = std::move(candidates);
    Plan();
}

void ExportPlan::SetRange(int64_t fromMs, int64_t toMs) {
    m_fromMs = fromMs;
    m_toMs = toMs;
    Plan();
}

int64_t ExportPlan::FirstFrameMs() const {
    for (const ExportCandidate& c : m_candidates)
        if (c.frameCount) return FrameMs(c, ExportFrameTimes(c.scale, c.rate, c.secondIndex), 0);
    return 0;
}

int64_t ExportPlan::LastFrameMs() const {
    for (auto c = m_candidates.rbegin(); c != m_candidates.rend(); ++c)
        if (c->frameCount) return FrameMs(*c, ExportFrameTimes(c->scale, c->rate, c->secondIndex), c->frameCount - 1);
    return 0;
}

void ExportPlan::Plan() {
    m_pieces.clear();
    m_pieceCandidate.clear();
    for (size_t i = 0; i < m_candidates.size(); ++i) {
        const ExportCandidate& c = m_candidates[i];
        if (c.frameCount == 0) continue;
        const ExportFrameTimes times(c.scale, c.rate, c.secondIndex);
        // Frame times never go back, so the frames in the range are one run.
        uint32_t lo = 0, hi = c.frameCount;
        while (lo < hi) {
            const uint32_t mid = lo + (hi - lo) / 2;
            if (FrameMs(c, times, mid) < m_fromMs) lo = mid + 1; else hi = mid;
        }
        const uint32_t first = lo;
        hi = c.frameCount;
        while (lo < hi) {
            const uint32_t mid = lo + (hi - lo) / 2;
            if (FrameMs(c, times, mid) <= m_toMs) lo = mid + 1; else hi = mid;
        }
        if (lo == first) continue;
        ExportPiece piece = c.file;
        piece.firstFrame = first;
        piece.lastFrame = lo - 1;
        m_pieces.push_back(std::move(piece));
        m_pieceCandidate.push_back(uint32_t(i));
    }
}

uint64_t ExportPlan::FrameCount() const {
    uint64_t frames = 0;
    for (const ExportPiece& p : m_pieces) frames += uint64_t(p.lastFrame) - p.firstFrame + 1;
    return frames;
}

uint64_t ExportPlan::EstimatedBytes() const {
    uint64_t bytes = 0;
    for (size_t i = 0; i < m_pieces.size(); ++i) {
        const ExportCandidate& c = m_candidates[m_pieceCandidate[i]];
        // Without a sample, a JPEG of average quality takes about a fifth of a byte per pixel.
        const uint64_t perFrame = c.sampleJpegBytes ? c.sampleJpegBytes : uint64_t(c.width) * c.height / 5;
        bytes += perFrame * (uint64_t(m_pieces[i].lastFrame) - m_pieces[i].firstFrame + 1);
    }
    return m_format == ExportFormat::H264Mp4 ? bytes / kH264Shrink : bytes;
}

std::string ExportPlan::Reason() const {
    if (m_toMs < m_fromMs) return "The end of the range is before its start.";
    if (m_pieces.empty()) return "Nothing was recorded in this range.";
    const ExportCandidate& first = m_candidates[m_pieceCandidate.front()];
    for (uint32_t i : m_pieceCandidate)
        if (m_candidates[i].width != first.width || m_candidates[i].height != first.height)
            return "The recordings in this range have different picture sizes.";
    return {};
}

std::string ExportPlan::DefaultFileName() const {
    std::string source = m_candidates.empty() ? std::string("export")
                         : !m_candidates.front().sourceName.empty() ? m_candidates.front().sourceName
                                                                    : m_candidates.front().file.sourceId;
    // A name that is safe in any folder of any system.
    for (char& c : source)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_') c = '_';
    const platform::SystemTime from = RecorderTimeOf(m_fromMs), to = RecorderTimeOf(m_toMs);
    char text[64];
    std::snprintf(text, sizeof text, "_%04u%02u%02u_%02u%02u%02u-%02u%02u%02u.%s", from.year, from.month, from.day,
                  from.hour, from.minute, from.second, to.hour, to.minute, to.second,
                  m_format == ExportFormat::H264Mp4 ? "mp4" : "avi");
    return source + text;
}

std::string ExportPlan::Summary() const {
    char text[96];
    const double mb = double(EstimatedBytes()) / 1e6;
    std::snprintf(text, sizeof text, "%llu frames, about %.1f MB", static_cast<unsigned long long>(FrameCount()), mb);
    return text;
}

ExportJob ExportPlan::Job(const std::string& serverUrl, const std::string& sessionId, const std::string& path) const {
    ExportJob job;
    job.serverUrl = serverUrl;
    job.sessionId = sessionId;
    job.pieces = m_pieces;
    job.outputPath = path;
    job.format = m_format;
    return job;
}

}  // namespace corvanta
