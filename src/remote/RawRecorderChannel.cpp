#include "remote/RawRecorderChannel.h"

#include <algorithm>
#include <cstring>

#include "remote/ReadAhead.h"
#include "remote/ReadAheadLink.h"
#include "remote/RecorderInterface.h"
#include "remote/RemoteSession.h"

namespace corvanta {
namespace {

// Requests in flight ahead of the reader: as many as a player's proxy keeps,
// which a recorder limiting connections per client is known to bear.
constexpr uint32_t kAheadInFlight = CReadAhead::Limits{}.inFlight;
// How long one wait for an answer lasts before the cancel flag is looked at.
constexpr uint32_t kAheadPumpMs = 50;
// A request ending this close to the stall time-out ended by it.
constexpr std::chrono::milliseconds kStallSlack{250};

}  // namespace

struct CRawRecorderChannel::Ahead {
    std::string fileName;
    std::string filterName;
    uint32_t next = 0;  // the next frame to start
    uint32_t last = 0;
    // Requests in flight: more while the reader waits for them, fewer after
    // one fails.
    uint32_t limit = CReadAhead::kFirstInFlight;
    bool started = false;  // whether `next` .. is still to start (false once past `last`)
    CReadAheadLink link{kAheadInFlight};
    std::map<uint32_t, CReadAheadLink::Done> arrived;
    std::vector<uint8_t> held;  // the body Data() points into
};

CRawRecorderChannel::CRawRecorderChannel(std::string serverUrl, std::string sessionId)
    : m_serverUrl(std::move(serverUrl)), m_sessionId(std::move(sessionId)) {}

CRawRecorderChannel::~CRawRecorderChannel() = default;

bool CRawRecorderChannel::CommandUrl(std::string& url, std::string_view filterName, uint32_t code, uint32_t param1,
                                     uint32_t param2, std::span<const uint8_t> data) {
    m_query.assign(kIcpOverhead + data.size(), '\0');
    IcpHeader query{};
    query.kind = kIcpCommand;
    query.code = code;
    query.param1 = param1;
    query.param2 = param2;
    query.dataLength = static_cast<uint32_t>(data.size());
    std::memcpy(m_query.data(), &query, sizeof query);
    if (!data.empty()) std::memcpy(m_query.data() + kIcpHeaderSize, data.data(), data.size());
    url.clear();
    const auto* record = reinterpret_cast<const IcpRecord*>(m_query.data());
    return AppendMessageRequestUrl(url, m_serverUrl, m_sessionId, filterName, record, query.dataLength) != 0;
}

// The record a body holds: false for one shorter than its own dataLength (cut),
// so nothing is read past the body.
bool CRawRecorderChannel::ReadRecord(const uint8_t* body, size_t size, IcpHeader& header) {
    if (size < kIcpHeaderSize) return false;
    std::memcpy(&header, body, kIcpHeaderSize);
    return header.dataLength <= size - kIcpHeaderSize;
}

bool CRawRecorderChannel::Command(std::string_view filterName, uint32_t code, uint32_t param1, uint32_t param2,
                                  std::span<const uint8_t> data) {
    m_data = {};
    m_header = IcpHeader{};
    m_noAnswer = false;
    if (!CommandUrl(m_url, filterName, code, param1, param2, data)) return false;
    if (!m_request.Get(m_url)) {
        m_noAnswer = m_request.Sent() && !m_request.Cancelled();
        return false;
    }
    if (m_request.Status() != 200 || !ReadRecord(m_request.Buffer(), m_request.ReceivedCount(), m_header)) return false;
    m_data = {m_request.Buffer() + kIcpHeaderSize, m_header.dataLength};
    return true;
}

bool CRawRecorderChannel::GetFrame(std::string_view fileName, uint32_t index) {
    if (m_ahead && m_ahead->fileName == fileName && FrameFromAhead(index)) return true;
    if (m_cancel && m_cancel->load()) return false;
    return Command(FrameSourceName(fileName), kFrameSourceGetFrame, index, 0) &&
           m_header.encoding == kIcpEncodingPicture && !m_data.empty();
}

void CRawRecorderChannel::ReadAhead(std::string_view fileName, uint32_t first, uint32_t last) {
    StopReadAhead();
    if (first > last) return;
    m_ahead = std::make_unique<Ahead>();
    m_ahead->fileName = fileName;
    m_ahead->filterName = FrameSourceName(fileName);
    m_ahead->next = first;
    m_ahead->last = last;
    m_ahead->started = true;
    m_ahead->limit = std::min(m_ahead->limit, m_aheadCeiling);
    StartAhead();
}

void CRawRecorderChannel::StopReadAhead() { m_ahead.reset(); }

void CRawRecorderChannel::StartAhead() {
    Ahead& a = *m_ahead;
    while (a.started && a.link.InFlight() + a.arrived.size() < a.limit) {
        std::string url;
        if (!CommandUrl(url, a.filterName, kFrameSourceGetFrame, a.next, 0) ||
            !a.link.Start(a.next, url, CHttpRequest::kStallTimeoutSeconds))
            return;  // what is not started is asked directly
        a.started = a.next++ < a.last;
    }
}

// The answer for `index` from what went ahead; false when it is not among
// them or its request failed, and the caller asks it directly.
bool CRawRecorderChannel::FrameFromAhead(uint32_t index) {
    Ahead& a = *m_ahead;
    // Whatever came before the frame asked is no longer wanted.
    while (!a.arrived.empty() && a.arrived.begin()->first < index) {
        a.link.GiveBack(std::move(a.arrived.begin()->second.body));
        a.arrived.erase(a.arrived.begin());
    }
    bool waited = false;
    for (;;) {
        auto it = a.arrived.find(index);
        if (it != a.arrived.end()) {
            CReadAheadLink::Done done = std::move(it->second);
            a.arrived.erase(it);
            StartAhead();
            return done.answered && done.status == 200 && TakeAnswer(std::move(done.body), index);
        }
        if (!a.link.InFlight(index)) return false;
        if (m_cancel && m_cancel->load()) return false;
        if (!waited) {
            waited = true;  // the reader waits for the link: more can go ahead
            a.limit = std::min({a.limit + 1, m_aheadCeiling, kAheadInFlight});
        }
        for (CReadAheadLink::Done& done : a.link.Pump(kAheadPumpMs)) {
            if (!done.answered) Failed(done);
            a.arrived.emplace(done.frame, std::move(done));
        }
        StartAhead();
    }
}

// A request that waited out the stall time-out found no connection served:
// a recorder serving few connections at a time, which more requests would
// only keep waiting; one at a time from then on. Any other failure (a
// dropped connection) costs one request in flight for now.
void CRawRecorderChannel::Failed(const CReadAheadLink::Done& done) {
    Ahead& a = *m_ahead;
    if (done.took >= std::chrono::seconds(CHttpRequest::kStallTimeoutSeconds) - kStallSlack) m_aheadCeiling = 1;
    a.limit = std::clamp<uint32_t>(a.limit - 1, 1, m_aheadCeiling);
}

bool CRawRecorderChannel::TakeAnswer(std::vector<uint8_t> body, uint32_t index) {
    IcpHeader header{};
    // An answer for another frame is not this one.
    if (!ReadRecord(body.data(), body.size(), header) || header.encoding != kIcpEncodingPicture ||
        header.dataLength == 0 || header.param1 != index)
        return false;
    m_ahead->link.GiveBack(std::move(m_ahead->held));
    m_ahead->held = std::move(body);
    m_header = header;
    m_data = {m_ahead->held.data() + kIcpHeaderSize, header.dataLength};
    m_noAnswer = false;
    return true;
}

}  // namespace corvanta
