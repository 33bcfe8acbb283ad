#pragma once
// The one HTTP exchange every request to the recorder uses: a GET whose
// whole answer body lands in a buffer owned by the request object.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace corvanta {

// Requests that failed in a row with a transport error, process-wide. It
// only shortens the connect time-out of later requests; any success resets
// it to 0.
int32_t ConsecutiveFailures();
void SetConsecutiveFailures(int32_t count);

// Requests that ended in a row because the recorder sent nothing for their
// stall time-out, process-wide. While it is above 0, requests with the
// ordinary stall time-out give up after kAfterStallTimeoutSeconds instead,
// so a recorder that stalls blocks a playing player for one long wait and
// then only short ones; any answer resets it.
int32_t ConsecutiveStalls();
void SetConsecutiveStalls(int32_t count);

// Filter names carry blanks into the query. A raw blank is not allowed in
// an HTTP request line and libcurl refuses it, so blanks travel as %20,
// which the recorder decodes back; every other character goes as it is.
std::string EscapeUrlBlanks(std::string_view url);

// One GET at a time. The connect time-out is fixed when the object is
// made, from ConsecutiveFailures() at that moment.
class CHttpRequest {
public:
    static constexpr uint32_t kBufferSize = 524288;
    // Longest body kept; one byte stays free for the terminating NUL.
    static constexpr uint32_t kMaxBody = kBufferSize - 1;

    static constexpr uint32_t kConnectTimeoutMs = 2000;
    static constexpr uint32_t kShortConnectTimeoutMs = 100;     // after more than 2 failures
    static constexpr uint32_t kShortestConnectTimeoutMs = 50;   // after more than 10
    static constexpr uint32_t kSendTimeoutMs = 500;
    // No byte of the answer for this long ends the request: frames come at
    // once from a live recorder, so a silent one is given up soon.
    static constexpr uint32_t kStallTimeoutSeconds = 5;
    // Archive questions (a search over a large archive, a day's activity)
    // take a live recorder many seconds before the first byte.
    static constexpr uint32_t kSlowAnswerStallTimeoutSeconds = 20;
    // The ordinary stall time-out once the recorder has stalled.
    static constexpr uint32_t kAfterStallTimeoutSeconds = 1;

    // The stall time-out a request asking for `requested` seconds gets
    // after `stalls` stalls in a row. Longer waits asked for on purpose
    // (archive questions) are kept.
    static uint32_t StallTimeoutFor(int32_t stalls, uint32_t requested);
    // Upper bound on a whole request, however slowly the answer trickles.
    static constexpr uint32_t kTotalTimeoutMs = 30000;

    // The connect time-out that `failures` consecutive failures call for.
    static uint32_t ConnectTimeoutFor(int32_t failures);

    CHttpRequest();
    ~CHttpRequest();

    CHttpRequest(const CHttpRequest&) = delete;
    CHttpRequest& operator=(const CHttpRequest&) = delete;

    // Fetches `url`, which must start with "http://". Returns 1 when an
    // answer arrived, whatever its HTTP status: the buffer then holds
    // ReceivedCount() body bytes and a NUL. A body longer than kMaxBody is
    // cut to its first kMaxBody bytes and the rest is not read.
    // Returns 0 with ReceivedCount() 0 otherwise. A URL that is not plain
    // HTTP or cannot be parsed fails at once and leaves
    // ConsecutiveFailures() alone; a transport error adds 1 to it.
    int32_t Get(std::string_view url);

    // While `cancel` is set and true, a Get gives up: at once before it is
    // sent, within about a second while the recorder is silent. A request
    // given up this way fails without counting as a transport failure.
    // Null (the default) never gives up.
    void SetCancel(const std::atomic<bool>* cancel) { m_cancel = cancel; }
    bool Cancelled() const { return m_cancel && m_cancel->load(std::memory_order_relaxed); }

    uint32_t ConnectTimeoutMs() const { return m_connectTimeoutMs; }
    // For the requests after this call; kStallTimeoutSeconds until then.
    void SetStallTimeoutSeconds(uint32_t seconds) { m_stallSeconds = seconds; }
    uint32_t ReceivedCount() const { return m_received; }
    // Whether the last Get went out to the network at all.
    bool Sent() const { return m_sent; }
    // The HTTP status of the last answer; 0 when none arrived.
    long Status() const { return m_status; }
    // From the start of the last Get to the first byte of its answer (the
    // link's round trip and the recorder's work), in microseconds; 0 when none came.
    int64_t FirstByteMicros() const { return m_firstByteMicros; }
    // True when the last answer was longer than kMaxBody and was cut.
    bool Truncated() const { return m_truncated; }
    const uint8_t* Buffer() const { return m_buffer.get(); }
    const char* Text() const { return reinterpret_cast<const char*>(m_buffer.get()); }

private:
    static size_t OnBody(char* data, size_t size, size_t count, void* self);
    static int OnProgress(void* self, int64_t, int64_t, int64_t, int64_t);

    uint32_t m_connectTimeoutMs;
    uint32_t m_stallSeconds = kStallTimeoutSeconds;
    uint32_t m_received = 0;
    long m_status = 0;
    int64_t m_firstByteMicros = 0;
    bool m_sent = false;
    bool m_truncated = false;
    std::unique_ptr<uint8_t[]> m_buffer;
    const std::atomic<bool>* m_cancel = nullptr;
};

}  // namespace corvanta
