#include "remote/ReadAheadLink.h"

#include <algorithm>
#include <string>

#include <curl/curl.h>

#include "remote/HttpRequest.h"

namespace corvanta {
namespace {

// As for the proxy's own requests: a frame arrives in few receive calls.
constexpr long kReceiveBufferSize = 512 * 1024;

}  // namespace

struct CReadAheadLink::Transfer {
    CURL* easy = nullptr;
    uint32_t frame = 0;
    bool truncated = false;
    std::vector<uint8_t> body;
    std::chrono::steady_clock::time_point started;

    static size_t OnBody(char* data, size_t size, size_t count, void* self) {
        auto* transfer = static_cast<Transfer*>(self);
        const size_t length = size * count;
        const size_t taken = std::min<size_t>(length, CHttpRequest::kMaxBody - transfer->body.size());
        transfer->body.insert(transfer->body.end(), data, data + taken);
        // Taking less than offered ends the transfer, as CHttpRequest does.
        if (taken < length) transfer->truncated = true;
        return taken;
    }
};

CReadAheadLink::CReadAheadLink(uint32_t connections) : m_multi(curl_multi_init()), m_connections(connections) {
    if (m_multi == nullptr) return;
    const long limit = std::max<long>(connections, 1);
    curl_multi_setopt(m_multi, CURLMOPT_MAX_HOST_CONNECTIONS, limit);
    curl_multi_setopt(m_multi, CURLMOPT_MAXCONNECTS, limit);
}

CReadAheadLink::~CReadAheadLink() {
    CancelAll();
    for (void* easy : m_idle) curl_easy_cleanup(easy);
    if (m_multi != nullptr) curl_multi_cleanup(m_multi);
}

bool CReadAheadLink::Start(uint32_t frame, std::string_view url, uint32_t stallSeconds) {
    constexpr std::string_view kScheme = "http://";
    const bool plainHttp = url.size() >= kScheme.size() &&
                           std::equal(kScheme.begin(), kScheme.end(), url.begin(),
                                      [](char a, char b) { return a == (b | 0x20); });
    if (m_multi == nullptr || !plainHttp) return false;
    auto transfer = std::make_unique<Transfer>();
    if (m_idle.empty()) {
        transfer->easy = curl_easy_init();
    } else {
        transfer->easy = m_idle.back();
        m_idle.pop_back();
    }
    CURL* easy = transfer->easy;
    if (easy == nullptr) return false;
    const std::string escaped = EscapeUrlBlanks(url);
    curl_easy_setopt(easy, CURLOPT_URL, escaped.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, "ZQ");
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_PROXY, "");  // the recorder is reached directly, as CHttpRequest does
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBufferSize);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, long{CHttpRequest::ConnectTimeoutFor(ConsecutiveFailures())});
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, long{stallSeconds});
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, long{CHttpRequest::kTotalTimeoutMs});
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, Transfer::OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, transfer.get());
    curl_easy_setopt(easy, CURLOPT_PRIVATE, transfer.get());
    if (!m_spareBodies.empty()) {
        transfer->body = std::move(m_spareBodies.back());
        m_spareBodies.pop_back();
        transfer->body.clear();
    }
    transfer->frame = frame;
    transfer->started = std::chrono::steady_clock::now();
    if (curl_multi_add_handle(m_multi, easy) != CURLM_OK) {
        m_idle.push_back(easy);
        return false;
    }
    m_transfers.push_back(std::move(transfer));
    return true;
}

void CReadAheadLink::Release(std::unique_ptr<Transfer> transfer) {
    // Removing a transfer still running closes its connection: its answer
    // would otherwise arrive on a connection meant for the next request.
    curl_multi_remove_handle(m_multi, transfer->easy);
    curl_easy_setopt(transfer->easy, CURLOPT_WRITEDATA, nullptr);
    curl_easy_setopt(transfer->easy, CURLOPT_PRIVATE, nullptr);
    m_idle.push_back(transfer->easy);
}

void CReadAheadLink::GiveBack(std::vector<uint8_t> body) {
    if (m_spareBodies.size() < m_connections && body.capacity() > 0) m_spareBodies.push_back(std::move(body));
}

void CReadAheadLink::Cancel(uint32_t frame) {
    const auto it = std::find_if(m_transfers.begin(), m_transfers.end(),
                                 [frame](const auto& transfer) { return transfer->frame == frame; });
    if (it == m_transfers.end()) return;
    std::unique_ptr<Transfer> transfer = std::move(*it);
    m_transfers.erase(it);
    Release(std::move(transfer));
}

void CReadAheadLink::CancelAll() {
    while (!m_transfers.empty()) {
        std::unique_ptr<Transfer> transfer = std::move(m_transfers.back());
        m_transfers.pop_back();
        Release(std::move(transfer));
    }
}

bool CReadAheadLink::InFlight(uint32_t frame) const {
    return std::any_of(m_transfers.begin(), m_transfers.end(), [&](const auto& t) { return t->frame == frame; });
}

std::chrono::steady_clock::time_point CReadAheadLink::StartedAt(uint32_t frame) const {
    for (const auto& transfer : m_transfers)
        if (transfer->frame == frame) return transfer->started;
    return std::chrono::steady_clock::now();
}

void CReadAheadLink::Collect(std::vector<Done>& done) {
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(m_multi, &left)) {
        if (message->msg != CURLMSG_DONE) continue;
        CURL* easy = message->easy_handle;
        const CURLcode result = message->data.result;
        const auto it = std::find_if(m_transfers.begin(), m_transfers.end(),
                                     [easy](const auto& transfer) { return transfer->easy == easy; });
        if (it == m_transfers.end()) continue;
        std::unique_ptr<Transfer> transfer = std::move(*it);
        m_transfers.erase(it);
        Done ended;
        ended.frame = transfer->frame;
        ended.answered = result == CURLE_OK || (result == CURLE_WRITE_ERROR && transfer->truncated);
        if (ended.answered) {
            curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &ended.status);
            ended.body = std::move(transfer->body);
        }
        ended.took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                            transfer->started);
        Release(std::move(transfer));
        done.push_back(std::move(ended));
    }
}

std::vector<CReadAheadLink::Done> CReadAheadLink::Pump(uint32_t waitMs) {
    std::vector<Done> done;
    if (m_multi == nullptr) return done;
    int running = 0;
    curl_multi_perform(m_multi, &running);
    Collect(done);
    if (done.empty() && waitMs > 0 && running > 0) {
        curl_multi_poll(m_multi, nullptr, 0, static_cast<int>(waitMs), nullptr);
        curl_multi_perform(m_multi, &running);
        Collect(done);
    }
    return done;
}

}  // namespace corvanta
