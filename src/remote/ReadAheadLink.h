#pragma once
// The requests a stream proxy makes ahead of its player: several GETs in
// flight at once on kept-alive connections of their own, one libcurl multi
// handle per proxy, driven from the proxy's thread whenever it runs (no
// thread of its own). Destroying it cancels every request and closes every
// connection.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace corvanta {

class CReadAheadLink {
public:
    // At most `connections` connections to the recorder, and as many requests in flight.
    explicit CReadAheadLink(uint32_t connections);
    ~CReadAheadLink();

    CReadAheadLink(const CReadAheadLink&) = delete;
    CReadAheadLink& operator=(const CReadAheadLink&) = delete;

    // Starts the GET of `url` (plain HTTP, blanks allowed) for `frame`.
    // False when it cannot be started.
    bool Start(uint32_t frame, std::string_view url, uint32_t stallSeconds);
    void Cancel(uint32_t frame);
    void CancelAll();

    struct Done {
        uint32_t frame = 0;
        bool answered = false;  // an HTTP answer arrived (whatever its status)
        long status = 0;
        std::vector<uint8_t> body;  // at most CHttpRequest::kMaxBody bytes
        std::chrono::milliseconds took{0};
    };
    // Moves the requests on, waiting up to `waitMs` for one to end when none
    // has; returns those that ended.
    std::vector<Done> Pump(uint32_t waitMs);

    // A body done with, kept to take the next answer: a frame's worth of
    // memory is then not allocated and first touched again for each request.
    void GiveBack(std::vector<uint8_t> body);

    size_t InFlight() const { return m_transfers.size(); }
    bool InFlight(uint32_t frame) const;
    // When the request for `frame` started; now when there is none.
    std::chrono::steady_clock::time_point StartedAt(uint32_t frame) const;

private:
    struct Transfer;
    void Collect(std::vector<Done>& done);
    void Release(std::unique_ptr<Transfer> transfer);

    void* m_multi = nullptr;  // CURLM
    std::vector<std::unique_ptr<Transfer>> m_transfers;
    std::vector<void*> m_idle;  // easy handles to reuse
    std::vector<std::vector<uint8_t>> m_spareBodies;
    uint32_t m_connections;
};

}  // namespace corvanta
