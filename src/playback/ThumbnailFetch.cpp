#include "playback/ThumbnailFetch.h"

#include <algorithm>
#include <cstring>

#include "framework/IcpRecord.h"
#include "playback/DayTimelinePlayback.h"
#include "playback/PlaybackRecords.h"
#include "remote/HttpRequest.h"
#include "remote/RecorderInterface.h"
#include "remote/RemoteSession.h"

namespace corvanta {

namespace {

// The largest record sent: a file name or a TimeQuery.
constexpr uint32_t kMaxQueryData = 1024;

}  // namespace

bool AskRecorder(std::string_view filterName, uint32_t code, uint32_t param1, const void* data, uint32_t length,
                 const std::atomic<bool>& cancel, RecorderAnswer& answer) {
    if (length > kMaxQueryData) return false;
    std::vector<uint8_t> record(kIcpOverhead + length, 0);
    IcpRecord* query = reinterpret_cast<IcpRecord*>(record.data());
    query->kind = kIcpCommand;
    query->code = code;
    query->param1 = param1;
    query->dataLength = length;
    query->capacity = length;
    if (length) std::memcpy(query->data, data, length);
    std::string url;
    if (!AppendMessageRequestUrl(url, filterName, query, length)) return false;

    CHttpRequest request;
    request.SetCancel(&cancel);
    request.SetStallTimeoutSeconds(CThumbnailFetcher::kStallTimeoutSeconds);
    if (!request.Get(url) || request.ReceivedCount() < kIcpHeaderSize) return false;
    IcpHeader header;
    std::memcpy(&header, request.Buffer(), sizeof header);
    if (header.dataLength > request.ReceivedCount() - kIcpHeaderSize) return false;
    answer.encoding = header.encoding;
    answer.data.assign(request.Buffer() + kIcpHeaderSize, request.Buffer() + kIcpHeaderSize + header.dataLength);
    return true;
}

std::optional<ScaledPicture> CThumbnailFetcher::Fetch(const ThumbnailSource& source, const std::atomic<bool>& cancel) {
    if (m_stopped) return std::nullopt;
    const std::optional<std::vector<uint32_t>> table = source.table.empty() ? Table(source, cancel) : source.table;
    if (!table || source.offset < 0 || size_t(source.offset) >= table->size()) return std::nullopt;
    const uint32_t frame = (*table)[size_t(source.offset)];
    if (frame == kNoFrameInSecond) return std::nullopt;
    return Frame(source.fileName, frame, cancel);
}

void CThumbnailFetcher::Forget() {
    std::lock_guard lock(m_mutex);
    m_tables.clear();
}

std::optional<std::vector<uint32_t>> CThumbnailFetcher::Table(const ThumbnailSource& source,
                                                              const std::atomic<bool>& cancel) {
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [name, table] : m_tables)
            if (name == source.fileName) return table;
    }
    RecorderAnswer answer;
    if (!AskRecorder(kArchiveQueryFilterName, kArchiveSecondIndex, 0, &source.indexQuery, sizeof source.indexQuery,
                     cancel, answer))
        return std::nullopt;
    // ReadSecondIndex reads a whole record: header and data as they came.
    std::vector<uint8_t> record(kIcpOverhead + answer.data.size(), 0);
    auto* read = reinterpret_cast<IcpRecord*>(record.data());
    read->dataLength = uint32_t(answer.data.size());
    std::copy(answer.data.begin(), answer.data.end(), read->data);
    std::optional<std::vector<uint32_t>> table = ReadSecondIndex(*read, read->dataLength);
    if (!table) return std::nullopt;
    std::lock_guard lock(m_mutex);
    m_tables.emplace_front(source.fileName, *table);
    if (m_tables.size() > kKeptTables) m_tables.pop_back();
    return table;
}

std::optional<ScaledPicture> CThumbnailFetcher::Frame(const std::string& fileName, uint32_t frame,
                                                      const std::atomic<bool>& cancel) {
    RecorderAnswer answer;
    const uint32_t nameLength = uint32_t(fileName.size() + 1);
    if (!AskRecorder(kPlaybackManagerFilterName, kPlaybackOpenFile, 0, fileName.c_str(), nameLength, cancel, answer))
        return std::nullopt;
    const bool got = AskRecorder(FrameSourceName(fileName), kFrameSourceGetFrame, frame, nullptr, 0, cancel, answer) &&
                     answer.encoding == kIcpEncodingPicture;
    // Closed also when the picture is no longer wanted: the open counts at the recorder.
    RecorderAnswer closed;
    AskRecorder(kPlaybackManagerFilterName, kPlaybackCloseFile, 0, fileName.c_str(), nameLength, m_stopped, closed);
    if (!got || cancel) return std::nullopt;
    return DecodeJpegScaled(answer.data.data(), uint32_t(answer.data.size()), kMinWidth);
}

}  // namespace corvanta
