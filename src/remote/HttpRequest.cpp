#include "remote/HttpRequest.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <mutex>
#include <string>

#include <curl/curl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace corvanta {
namespace {

std::atomic<int32_t> g_consecutiveFailures{0};
std::atomic<int32_t> g_consecutiveStalls{0};

// libcurl reads up to this much per receive call; a frame of a few hundred
// kilobytes then arrives in few calls.
constexpr long kReceiveBufferSize = 512 * 1024;

// Name lookups shared by every thread's handle, so that a new proxy thread
// does not resolve the recorder's host again. Connections are deliberately
// not shared: libcurl 7 does not make a shared connection cache safe for
// handles running on several threads at once (one of its known bugs), and
// each proxy's requests come from that proxy's own thread anyway, whose
// handle keeps its connections alive by itself. Made once and never
// destroyed: handles of threads still running at exit may use it.
class SharedLookups {
public:
    static CURLSH* Handle() {
        static SharedLookups* instance = new SharedLookups;
        return instance->m_share;
    }

private:
    SharedLookups() {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        m_share = curl_share_init();
        if (m_share == nullptr) {
            return;
        }
        curl_share_setopt(m_share, CURLSHOPT_LOCKFUNC, Lock);
        curl_share_setopt(m_share, CURLSHOPT_UNLOCKFUNC, Unlock);
        curl_share_setopt(m_share, CURLSHOPT_USERDATA, this);
        curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    }

    static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
        static_cast<SharedLookups*>(self)->MutexFor(data).lock();
    }
    static void Unlock(CURL*, curl_lock_data data, void* self) {
        static_cast<SharedLookups*>(self)->MutexFor(data).unlock();
    }
    std::mutex& MutexFor(curl_lock_data data) {
        return m_locks[std::clamp<int>(data, 0, CURL_LOCK_DATA_LAST - 1)];
    }

    CURLSH* m_share = nullptr;
    std::mutex m_locks[CURL_LOCK_DATA_LAST];
};

// Port of a socket's own end (local) or far end (peer); -1 if unknown.
int PortOf(curl_socket_t socket, bool peer) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    const int result = peer ? getpeername(socket, reinterpret_cast<sockaddr*>(&address), &length)
                            : getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    if (result != 0) {
        return -1;
    }
    if (address.ss_family == AF_INET) {
        return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
    }
    if (address.ss_family == AF_INET6) {
        return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    }
    return -1;
}

// One easy handle per thread, set up once and reused: it keeps its
// connections alive from one request to the next, and its receive buffer is
// not allocated and first touched again for every request.
class ThreadTransfer {
public:
    static ThreadTransfer& Current() {
        thread_local ThreadTransfer transfer;
        return transfer;
    }
    ~ThreadTransfer() {
        if (m_easy != nullptr) {
            curl_easy_cleanup(m_easy);
        }
        if (m_url != nullptr) {
            curl_url_cleanup(m_url);
        }
    }
    bool Ready() const { return m_ready; }
    // Forgets sockets noted for an earlier request that never got a connection.
    void BeginRequest() { m_newSocketCount = 0; }
    CURL* Easy() const { return m_easy; }
    CURLU* Url() const { return m_url; }

private:
    // libcurl has no send time-out of its own. The kernel's TCP_USER_TIMEOUT
    // is one: data sent but not acknowledged within it fails the
    // connection. Nothing but the request is ever sent, so it serves for
    // headers and data alike. It is set once the connection is up, so that
    // it cannot cut the handshake short; the connect time-out governs that.
    // Sockets are noted when libcurl makes them and, when a connection is
    // ready, the one matching its ports gets the time-out; a reused
    // connection already has it.
    static int NoteSocket(void* self, curl_socket_t socket, curlsocktype purpose) {
        auto* transfer = static_cast<ThreadTransfer*>(self);
        if (purpose == CURLSOCKTYPE_IPCXN && transfer->m_newSocketCount < kMaxNewSockets) {
            transfer->m_newSockets[transfer->m_newSocketCount++] = socket;
        }
        return CURL_SOCKOPT_OK;
    }

    static int SetSendTimeout(void* self, char*, char*, int remotePort, int localPort) {
        auto* transfer = static_cast<ThreadTransfer*>(self);
        for (int i = 0; i < transfer->m_newSocketCount; ++i) {
            const curl_socket_t socket = transfer->m_newSockets[i];
            if (PortOf(socket, false) == localPort && PortOf(socket, true) == remotePort) {
                const unsigned int timeout = CHttpRequest::kSendTimeoutMs;
                setsockopt(socket, IPPROTO_TCP, TCP_USER_TIMEOUT, &timeout, sizeof timeout);
                break;
            }
        }
        transfer->m_newSocketCount = 0;
        return CURL_PREREQFUNC_OK;
    }

    ThreadTransfer() {
        CURLSH* share = SharedLookups::Handle();
        m_easy = curl_easy_init();
        m_url = curl_url();
        if (m_easy == nullptr || m_url == nullptr || share == nullptr) {
            return;
        }
        curl_easy_setopt(m_easy, CURLOPT_SHARE, share);
        // Time-outs by alarm signal would be unsafe with several threads.
        curl_easy_setopt(m_easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(m_easy, CURLOPT_USERAGENT, "ZQ");
        curl_easy_setopt(m_easy, CURLOPT_PROTOCOLS_STR, "http");
        curl_easy_setopt(m_easy, CURLOPT_FOLLOWLOCATION, 0L);
        // The recorder is reached directly. Linux has no single system
        // proxy setting; the *_proxy variables a shell may carry are meant
        // for other tools and would send a local recorder's traffic
        // elsewhere, so they are not used.
        curl_easy_setopt(m_easy, CURLOPT_PROXY, "");
        curl_easy_setopt(m_easy, CURLOPT_BUFFERSIZE, kReceiveBufferSize);
        curl_easy_setopt(m_easy, CURLOPT_SOCKOPTFUNCTION, NoteSocket);
        curl_easy_setopt(m_easy, CURLOPT_SOCKOPTDATA, this);
        curl_easy_setopt(m_easy, CURLOPT_PREREQFUNCTION, SetSendTimeout);
        curl_easy_setopt(m_easy, CURLOPT_PREREQDATA, this);
        // Receive waits are not limited per call; instead a request whose
        // answer stops coming for kStallTimeoutSeconds fails, and no
        // request lasts longer than kTotalTimeoutMs.
        curl_easy_setopt(m_easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(m_easy, CURLOPT_LOW_SPEED_TIME, long{CHttpRequest::kStallTimeoutSeconds});
        curl_easy_setopt(m_easy, CURLOPT_TIMEOUT_MS, long{CHttpRequest::kTotalTimeoutMs});
        m_ready = true;
    }

    // Connecting to a name with several addresses tries a few at once.
    static constexpr int kMaxNewSockets = 8;

    CURL* m_easy = nullptr;
    CURLU* m_url = nullptr;
    bool m_ready = false;
    curl_socket_t m_newSockets[kMaxNewSockets] = {};
    int m_newSocketCount = 0;
};

bool IsHttpUrl(std::string_view url) {
    constexpr std::string_view kScheme = "http://";
    return url.size() >= kScheme.size() &&
           std::equal(kScheme.begin(), kScheme.end(), url.begin(), [](char a, char b) {
               return a == static_cast<char>(std::tolower(static_cast<unsigned char>(b)));
           });
}

// A request's answer buffer goes back to its thread when the request ends
// and is handed to the next request made there. A proxy makes one request
// per frame; a fresh 512 KiB buffer would be mapped and first touched for
// every frame.
thread_local std::unique_ptr<uint8_t[]> t_spareBuffer;

std::unique_ptr<uint8_t[]> TakeBuffer() {
    if (t_spareBuffer) {
        return std::move(t_spareBuffer);
    }
    // Written before it is read, so not zeroed: zeroing would touch it all.
    return std::make_unique_for_overwrite<uint8_t[]>(CHttpRequest::kBufferSize);
}

void GiveBackBuffer(std::unique_ptr<uint8_t[]> buffer) {
    if (!t_spareBuffer) {
        t_spareBuffer = std::move(buffer);
    }
}

}  // namespace

std::string EscapeUrlBlanks(std::string_view url) {
    std::string escaped;
    escaped.reserve(url.size() + 16);
    for (char c : url) {
        if (c == ' ') {
            escaped += "%20";
        } else {
            escaped += c;
        }
    }
    return escaped;
}

int32_t ConsecutiveFailures() {
    return g_consecutiveFailures.load(std::memory_order_relaxed);
}

void SetConsecutiveFailures(int32_t count) {
    g_consecutiveFailures.store(count, std::memory_order_relaxed);
}

int32_t ConsecutiveStalls() {
    return g_consecutiveStalls.load(std::memory_order_relaxed);
}

void SetConsecutiveStalls(int32_t count) {
    g_consecutiveStalls.store(count, std::memory_order_relaxed);
}

uint32_t CHttpRequest::StallTimeoutFor(int32_t stalls, uint32_t requested) {
    return stalls > 0 && requested == kStallTimeoutSeconds ? kAfterStallTimeoutSeconds : requested;
}

uint32_t CHttpRequest::ConnectTimeoutFor(int32_t failures) {
    if (failures > 10) {
        return kShortestConnectTimeoutMs;
    }
    if (failures > 2) {
        return kShortConnectTimeoutMs;
    }
    return kConnectTimeoutMs;
}

CHttpRequest::CHttpRequest()
    : m_connectTimeoutMs(ConnectTimeoutFor(ConsecutiveFailures())), m_buffer(TakeBuffer()) {
    m_buffer[0] = 0;
}

CHttpRequest::~CHttpRequest() {
    GiveBackBuffer(std::move(m_buffer));
}

size_t CHttpRequest::OnBody(char* data, size_t size, size_t count, void* self) {
    auto* request = static_cast<CHttpRequest*>(self);
    const size_t length = size * count;
    const size_t taken = std::min<size_t>(length, kMaxBody - request->m_received);
    std::memcpy(request->m_buffer.get() + request->m_received, data, taken);
    request->m_received += static_cast<uint32_t>(taken);
    if (taken < length) {
        // Taking less than offered stops the transfer; Get knows why.
        request->m_truncated = true;
    }
    return taken;
}

int CHttpRequest::OnProgress(void* self, int64_t, int64_t, int64_t, int64_t) {
    return static_cast<CHttpRequest*>(self)->Cancelled() ? 1 : 0;
}

int32_t CHttpRequest::Get(std::string_view url) {
    m_received = 0;
    m_status = 0;
    m_firstByteMicros = 0;
    m_sent = false;
    m_truncated = false;
    m_buffer[0] = 0;
    if (!IsHttpUrl(url) || Cancelled()) {
        return 0;
    }
    ThreadTransfer& transfer = ThreadTransfer::Current();
    if (!transfer.Ready()) {
        return 0;
    }
    const std::string escaped = EscapeUrlBlanks(url);
    if (curl_url_set(transfer.Url(), CURLUPART_URL, escaped.c_str(), 0) != CURLUE_OK) {
        return 0;
    }
    transfer.BeginRequest();
    CURL* easy = transfer.Easy();
    curl_easy_setopt(easy, CURLOPT_CURLU, transfer.Url());
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, long{m_connectTimeoutMs});
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, long{StallTimeoutFor(ConsecutiveStalls(), m_stallSeconds)});
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    if (m_cancel) {
        curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, OnProgress);
        curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
        curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    }
    m_sent = true;
    const CURLcode result = curl_easy_perform(easy);
    // The handle outlives this object; leave it pointing nowhere.
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, nullptr);
    if (m_cancel) {
        curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 1L);
        curl_easy_setopt(easy, CURLOPT_XFERINFODATA, nullptr);
    }

    if (result == CURLE_OK || (result == CURLE_WRITE_ERROR && m_truncated)) {
        m_buffer[m_received] = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &m_status);
        curl_off_t firstByte = 0;
        if (curl_easy_getinfo(easy, CURLINFO_STARTTRANSFER_TIME_T, &firstByte) == CURLE_OK) m_firstByteMicros = firstByte;
        SetConsecutiveFailures(0);
        SetConsecutiveStalls(0);
        return 1;
    }
    // The URL was checked above, so whatever failed here is the transport
    // (an answer that is not HTTP at all included).
    m_received = 0;
    m_truncated = false;
    m_buffer[0] = 0;
    if (result == CURLE_ABORTED_BY_CALLBACK) return 0;  // given up by the caller: says nothing of the recorder
    g_consecutiveFailures.fetch_add(1, std::memory_order_relaxed);
    if (result == CURLE_OPERATION_TIMEDOUT) g_consecutiveStalls.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

}  // namespace corvanta
