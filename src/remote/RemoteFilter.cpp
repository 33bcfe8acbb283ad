#include "remote/RemoteFilter.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>

#include "framework/FilterCodes.h"
#include "remote/ConnectionState.h"
#include "remote/HttpRequest.h"
#include "remote/ReadAhead.h"
#include "remote/ReadAheadLink.h"
#include "remote/RecorderInterface.h"
#include "remote/RemoteSession.h"

namespace corvanta {
namespace {

std::atomic<bool> g_readAheadEnabled{true};
std::atomic<uint64_t> g_kept{0}, g_waited{0}, g_direct{0}, g_cancelled{0}, g_gaveUp{0};

// A request made ahead may take this much longer than the slowest answer
// lately before the player gives up waiting for it and asks itself: a
// recorder that takes fewer connections than are opened leaves the others
// waiting unanswered.
constexpr uint32_t kPatienceFactor = 4;
constexpr uint32_t kMinPatienceMs = 250;
constexpr uint32_t kWaitSliceMs = 50;
// Frames are read ahead only while the recorder's answers to the last few
// frames asked for when needed all took this long to begin, and no longer
// once one of them came in under half of it. On a faster link a frame comes
// well within its period anyway, and requests ahead would only compete with
// the player for the processor. The least of a few is taken, so that a
// moment's hold-up of this machine does not count as a slow link.
constexpr int64_t kSlowLinkMicros = 10000;
constexpr size_t kLinkSamples = 4;

}  // namespace

CRemoteFilter::CRemoteFilter() : m_stallSeconds(CHttpRequest::kStallTimeoutSeconds) {
    Queue().SetPassThrough(true);
}

CRemoteFilter::~CRemoteFilter() {
    Close();
}

int CRemoteFilter::Exchange(const IcpRecord* query, uint32_t queryCapacity, CHttpRequest& request) {
    m_url.clear();
    if (!AppendMessageRequestUrl(m_url, Name(), query, queryCapacity)) {
        return 0;
    }
    return request.Get(m_url) && request.ReceivedCount() > 0 ? 1 : 0;
}

int CRemoteFilter::OnIcp(IcpRecord* query, IcpRecord* answer) {
    CHttpRequest request;
    request.SetStallTimeoutSeconds(m_stallSeconds);
    const int written = Exchange(query, Descriptor().queryCapacity, request)
                            ? m_writer.Write(request.Buffer(), request.ReceivedCount(), answer,
                                             Descriptor().answerCapacity)
                            : 0;
    m_lastReply = ReplyOf(request, written);
    if (m_lastReply == Reply::NoAnswer) {
        RecorderConnection().Failed();
    } else if (m_lastReply != Reply::NotSent) {
        RecorderConnection().Answered();
    }
    m_lastFirstByteMicros = request.FirstByteMicros();
    return written;
}

int CRemoteFilter::Deliver(const uint8_t* body, uint32_t size, IcpRecord* answer) {
    const int written = m_writer.Write(body, size, answer, Descriptor().answerCapacity);
    if (written) {
        m_lastReply = Reply::Answer;
        RecorderConnection().Answered();
    }
    return written;
}

CRemoteFilter::Reply CRemoteFilter::ReplyOf(const CHttpRequest& request, int written) {
    if (written) return Reply::Answer;
    if (request.Status() == 0) return request.Sent() ? Reply::NoAnswer : Reply::NotSent;
    if (request.Status() == 200 && request.ReceivedCount() == 0) return Reply::Empty;
    return Reply::Foreign;
}

CRemoteArchiveQuery::CRemoteArchiveQuery() {
    SetStallTimeoutSeconds(CHttpRequest::kSlowAnswerStallTimeoutSeconds);
}

CRemoteArchiveQuery::~CRemoteArchiveQuery() {
    Close();
}

CFilterDescriptor CRemoteArchiveQuery::MakeDescriptor() {
    return CFilterDescriptor{.name = kArchiveQueryFilterName, .classCode = kFilterClassQuery,
                             .typeCode = kFilterTypeArchiveQuery, .version = "1.0.0", .queryCapacity = 1024000,
                             .answerCapacity = 4096000};
}

// The read-ahead of one stream proxy; used on the proxy's thread only.
struct CRemoteStreamFilter::ReadAhead {
    CReadAhead plan;
    std::unique_ptr<CReadAheadLink> link;  // made with the first request ahead
    std::string session;                   // the server and session the plan was made in
    uint32_t slowestMs = 0;                // of the answers lately, decaying
    int64_t firstByteMicros[kLinkSamples] = {};  // of the last frames asked for when needed
    size_t samples = 0;
    bool slowLink = false;
    std::string url;
    std::vector<uint32_t> record;          // the player's query, copied (32-bit words keep it aligned)

    void Cancel(const std::vector<uint32_t>& frames) {
        if (!link) return;
        for (uint32_t frame : frames) link->Cancel(frame);
        g_cancelled += frames.size();
    }
    void Drop() { Cancel(plan.Reset()); }

    void Measured(int64_t micros) {
        firstByteMicros[samples++ % kLinkSamples] = micros;
        const int64_t least = *std::min_element(std::begin(firstByteMicros), std::end(firstByteMicros));
        slowLink = least >= (slowLink ? kSlowLinkMicros / 2 : kSlowLinkMicros);
    }

    void Settle(std::vector<CReadAheadLink::Done> done) {
        for (CReadAheadLink::Done& ended : done) {
            slowestMs = std::max(static_cast<uint32_t>(ended.took.count()), slowestMs - slowestMs / 8);
            // Whatever is no record at all is forgotten here; a body that is
            // no valid answer is refused when the player asks for its frame.
            if (ended.answered && ended.body.size() >= kIcpHeaderSize)
                plan.Arrived(ended.frame, std::move(ended.body));
            else
                plan.Failed(ended.frame, !ended.answered);
        }
    }

    // Waits for the answer to `frame` in flight; the frame's answer when it
    // arrived, Fetch when its request failed or took too long. No longer
    // than a request of the player's own would wait (less once the recorder
    // has stalled), so that a Pause still gets through.
    CReadAhead::Lookup WaitFor(uint32_t frame, uint32_t stallSeconds) {
        const uint32_t stallMs = CHttpRequest::StallTimeoutFor(ConsecutiveStalls(), stallSeconds) * 1000;
        const uint32_t patienceMs = std::clamp(kPatienceFactor * slowestMs, std::min(kMinPatienceMs, stallMs), stallMs);
        const auto deadline = link->StartedAt(frame) + std::chrono::milliseconds(patienceMs);
        while (plan.IsInFlight(frame)) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                GiveUp(frame);
                break;
            }
            Settle(link->Pump(static_cast<uint32_t>(std::min<int64_t>(left.count(), kWaitSliceMs))));
        }
        return plan.Ask(frame);
    }

    // Nothing came for `frame`: the recorder stalls, or left its connection
    // waiting. What else is on its way would most likely wait as long, so it
    // is all forgotten; the answers kept stay.
    void GiveUp(uint32_t frame) {
        SetConsecutiveStalls(ConsecutiveStalls() + 1);
        for (uint32_t other : plan.InFlightFrames()) {
            link->Cancel(other);
            if (other == frame)
                plan.GaveUp(other);
            else
                plan.Failed(other, false);
            ++g_cancelled;
        }
        // Its idle connections may be what holds the recorder's last ones:
        // they close, and the next link keeps no more than may be in flight.
        link.reset();
        ++g_gaveUp;
    }
};

CRemoteStreamFilter::CRemoteStreamFilter() : m_ahead(std::make_unique<ReadAhead>()) {}

CRemoteStreamFilter::~CRemoteStreamFilter() {
    Close();
}

void CRemoteStreamFilter::SetReadAheadEnabled(bool on) { g_readAheadEnabled = on; }
bool CRemoteStreamFilter::ReadAheadEnabled() { return g_readAheadEnabled; }

CRemoteStreamFilter::Figures CRemoteStreamFilter::ReadAheadFigures() {
    return Figures{.kept = g_kept, .waited = g_waited, .direct = g_direct, .cancelled = g_cancelled, .gaveUp = g_gaveUp};
}

int CRemoteStreamFilter::OnIcp(IcpRecord* query, IcpRecord* answer) {
    if (!ReadAheadEnabled()) m_ahead->Drop();
    // Archive questions, logins and every other record go as they are.
    if (!ReadAheadEnabled() || query->kind != kIcpCommand || query->code != kFrameSourceGetFrame)
        return CRemoteFilter::OnIcp(query, answer);
    // Deliberately reads ahead over a slow link, beyond one request per frame asked
    // for: users expect a recording to play at its rate from a recorder far away.
    int written = FrameFromAhead(query, answer);
    if (!written) {
        written = CRemoteFilter::OnIcp(query, answer);
        // A request that got no answer says nothing of the link's speed.
        if (LastFirstByteMicros() > 0) m_ahead->Measured(LastFirstByteMicros());
        ++g_direct;
    }
    if (m_ahead->slowLink)
        RequestAhead(query);
    else if (m_ahead->plan.InFlightCount() + m_ahead->plan.KeptCount() > 0)
        m_ahead->Drop();
    return written;
}

int CRemoteStreamFilter::FrameFromAhead(const IcpRecord* query, IcpRecord* answer) {
    ReadAhead& ahead = *m_ahead;
    // A log-off, or another login, ends what was asked in the old session.
    std::string session = FilterServerURL() + '\n' + SessionId();
    if (session != ahead.session) {
        ahead.Drop();
        ahead.session = std::move(session);
    }
    // Answers that came in since the last request count as arrived.
    if (ahead.link) ahead.Settle(ahead.link->Pump(0));
    const uint32_t frame = query->param1;
    CReadAhead::Lookup lookup = ahead.plan.Ask(frame);
    ahead.Cancel(lookup.cancelled);
    const bool waited = lookup.kind == CReadAhead::Lookup::Kind::InFlight;
    if (waited) {
        ahead.plan.Behind();
        lookup = ahead.WaitFor(frame, StallTimeoutSeconds());
    }
    if (lookup.kind != CReadAhead::Lookup::Kind::Kept) return 0;
    // The answer as the recorder sent it for this frame: its number and hold time come with it.
    const int written = Deliver(lookup.body.data(), static_cast<uint32_t>(lookup.body.size()), answer);
    if (written) ++(waited ? g_waited : g_kept);
    if (ahead.link) ahead.link->GiveBack(std::move(lookup.body));
    return written;
}

void CRemoteStreamFilter::RequestAhead(const IcpRecord* query) {
    ReadAhead& ahead = *m_ahead;
    const std::vector<uint32_t> frames = ahead.plan.ToRequest();
    if (!frames.empty() && !ahead.link) ahead.link = std::make_unique<CReadAheadLink>(ahead.plan.MostInFlight());
    const uint32_t capacity = Descriptor().queryCapacity;
    if (query->dataLength <= capacity) {
        const size_t size = kIcpOverhead + size_t{query->dataLength};
        ahead.record.assign((size + 3) / 4, 0);
        std::memcpy(ahead.record.data(), query, size);
    }
    auto* copy = reinterpret_cast<IcpRecord*>(ahead.record.data());
    for (uint32_t frame : frames) {
        ahead.url.clear();
        bool started = query->dataLength <= capacity;
        if (started) {
            copy->param1 = frame;
            started = AppendMessageRequestUrl(ahead.url, Name(), copy, capacity) &&
                      ahead.link->Start(frame, ahead.url, StallTimeoutSeconds());
        }
        if (!started) ahead.plan.Failed(frame, false);
    }
    // Sends what can go at once; the rest moves on while the player waits next time.
    if (ahead.link) ahead.Settle(ahead.link->Pump(0));
}

CFilterDescriptor CRemoteStreamFilter::MakeDescriptor(std::string_view fileName) {
    return CFilterDescriptor{.name = FrameSourceName(fileName), .classCode = kFilterClassService,
                             .typeCode = kFilterTypePlayback, .version = "1.0.0", .queryCapacity = 64000,
                             .answerCapacity = kFrameAnswerCapacity, .spareNumber = 200};
}

}  // namespace corvanta
