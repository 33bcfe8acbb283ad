#include "recorder/RecorderServer.h"

#include "recorder/DemoRecordedArchive.h"
#include "recorder/folder/FolderArchive.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <stdexcept>
#include <optional>
#include <utility>
#include <thread>

#include "recorder/Protocol.h"
#include "recorder/RecorderService.h"

namespace corvanta::recorder {
namespace {

using Clock = std::chrono::steady_clock;

// A request head longer than this is not a Message request.
constexpr size_t kMaxRequestHead = 64 * 1024;
// Waits are cut into slices so a stopping server is noticed quickly.
constexpr int kPollSliceMs = 50;
// Writes up to this size are held back until the next write or the end of
// the response; a response head is far smaller.
constexpr size_t kHeldHeadBytes = 4096;

std::string addressText(const sockaddr_storage& addr) {
    char host[INET6_ADDRSTRLEN] = {};
    if (addr.ss_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(addr).sin_addr, host, sizeof host);
    else if (addr.ss_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(addr).sin6_addr, host, sizeof host);
    return host;
}

int portOf(const sockaddr_storage& addr) {
    if (addr.ss_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in&>(addr).sin_port);
    if (addr.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6&>(addr).sin6_port);
    return -1;
}

// The viewer puts filter names into the query as they are, blanks included,
// which no HTTP parser accepts in a request line. Blanks between the method
// and the protocol version belong to the target; they are escaped before the
// request is parsed.
std::string escapeBlanksInRequestLine(std::string_view head) {
    const size_t eol = head.find("\r\n");
    const std::string_view line = head.substr(0, eol);
    const size_t first = line.find(' ');
    const size_t last = line.rfind(' ');
    if (first == std::string_view::npos || first == last || line.substr(last + 1).rfind("HTTP/", 0) != 0)
        return std::string(head);
    std::string out(line.substr(0, first + 1));
    for (char c : line.substr(first + 1, last - first - 1)) {
        if (c == ' ')
            out += "%20";
        else
            out.push_back(c);
    }
    out.append(line.substr(last));
    out.append(head.substr(eol));
    return out;
}

// One accepted connection, as httplib reads and writes it. Request heads are
// read here first so their request line can be repaired.
class ConnectionStream final : public httplib::Stream {
public:
    ConnectionStream(int sock, const std::atomic<socket_t>& listener, time_t readTimeoutSec,
                     time_t writeTimeoutSec)
        : sock_(sock), listener_(listener), readTimeoutMs_(readTimeoutSec * 1000), writeTimeoutMs_(writeTimeoutSec * 1000) {}

    bool is_readable() const override { return pos_ < buffer_.size() || waitFor(POLLIN, readTimeoutMs_); }
    bool is_writable() const override { return !dropped_ && waitFor(POLLOUT, writeTimeoutMs_); }

    ssize_t read(char* ptr, size_t size) override {
        if (pos_ < buffer_.size()) {
            const size_t n = std::min(size, buffer_.size() - pos_);
            std::memcpy(ptr, buffer_.data() + pos_, n);
            pos_ += n;
            return static_cast<ssize_t>(n);
        }
        if (!waitFor(POLLIN, readTimeoutMs_)) return -1;
        return ::recv(sock_, ptr, size, 0);
    }

    // A response head is held back and goes out with the body in one
    // segment, so the client wakes once per answer instead of twice.
    ssize_t write(const char* ptr, size_t size) override {
        if (dropped_) return -1;
        if (pending_.size() + size <= kHeldHeadBytes) {
            pending_.append(ptr, size);
            return static_cast<ssize_t>(size);
        }
        if (!sendAll(ptr, size)) return -1;
        return static_cast<ssize_t>(size);
    }

    // Sends what is held back; called once a response is complete.
    bool flush() { return dropped_ || pending_.empty() || sendAll(nullptr, 0); }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        if (!remote_) remote_ = addressOf(::getpeername);
        ip = remote_->first;
        port = remote_->second;
    }

    void get_local_ip_and_port(std::string& ip, int& port) const override {
        if (!local_) local_ = addressOf(::getsockname);
        ip = local_->first;
        port = local_->second;
    }

    socket_t socket() const override { return sock_; }

    // Waits for the next request of the connection and reads its head.
    // Returns false when the peer is gone, idles too long, sends too much or
    // the server stops.
    bool nextRequest(time_t keepAliveSec) {
        buffer_.erase(0, pos_);
        pos_ = 0;
        const auto idleDeadline = Clock::now() + std::chrono::seconds(keepAliveSec);
        while (true) {
            const size_t end = buffer_.find("\r\n\r\n");
            if (end != std::string::npos) {
                buffer_ = escapeBlanksInRequestLine(std::string_view(buffer_).substr(0, end + 4)) + buffer_.substr(end + 4);
                return true;
            }
            if (buffer_.size() > kMaxRequestHead) return false;
            const auto deadline = buffer_.empty() ? idleDeadline : Clock::now() + std::chrono::milliseconds(readTimeoutMs_);
            if (!waitUntil(POLLIN, deadline)) return false;
            char chunk[4096];
            const ssize_t n = ::recv(sock_, chunk, sizeof chunk, 0);
            if (n <= 0) return false;
            buffer_.append(chunk, static_cast<size_t>(n));
        }
    }

    void drop() { dropped_ = true; }
    bool dropped() const { return dropped_; }

private:
    bool waitFor(short events, int64_t timeoutMs) const {
        return waitUntil(events, Clock::now() + std::chrono::milliseconds(timeoutMs));
    }

    bool waitUntil(short events, Clock::time_point deadline) const {
        while (listener_.load() != INVALID_SOCKET) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) return false;
            pollfd p{sock_, events, 0};
            const int rc = ::poll(&p, 1, static_cast<int>(std::min<int64_t>(left, kPollSliceMs)));
            if (rc > 0) return (p.revents & (events | POLLHUP | POLLERR)) != 0;
            if (rc < 0 && errno != EINTR) return false;
        }
        return false;
    }

    // Held-back bytes first, then `size` bytes of `ptr`; the whole of both,
    // as httplib does not resend the rest of a short write.
    bool sendAll(const char* ptr, size_t size) {
        size_t held = pending_.size();
        size_t sent = 0;
        while (sent < held + size) {
            iovec parts[2];
            int count = 0;
            if (sent < held) parts[count++] = iovec{pending_.data() + sent, held - sent};
            const size_t bodySent = sent > held ? sent - held : 0;
            if (size > bodySent) parts[count++] = iovec{const_cast<char*>(ptr) + bodySent, size - bodySent};
            msghdr message{};
            message.msg_iov = parts;
            message.msg_iovlen = static_cast<size_t>(count);
            const ssize_t n = ::sendmsg(sock_, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                sent += static_cast<size_t>(n);
            } else if (n == 0 || (errno != EINTR && ((errno != EAGAIN && errno != EWOULDBLOCK) ||
                                                     !waitFor(POLLOUT, writeTimeoutMs_)))) {
                pending_.clear();
                return false;
            }
        }
        pending_.clear();
        return true;
    }

    using AddressCall = int (*)(int, sockaddr*, socklen_t*);
    std::pair<std::string, int> addressOf(AddressCall call) const {
        sockaddr_storage addr{};
        socklen_t len = sizeof addr;
        if (call(sock_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return {std::string(), -1};
        return {addressText(addr), portOf(addr)};
    }

    int sock_;
    const std::atomic<socket_t>& listener_;
    int64_t readTimeoutMs_;
    int64_t writeTimeoutMs_;
    std::string buffer_;
    size_t pos_ = 0;
    std::string pending_;
    // The addresses of a connection do not change; httplib asks per request.
    mutable std::optional<std::pair<std::string, int>> remote_;
    mutable std::optional<std::pair<std::string, int>> local_;
    bool dropped_ = false;
};

// The connection the current worker thread is serving, so a handler can
// close it without an answer.
thread_local ConnectionStream* tConnection = nullptr;

class HttpFront final : public httplib::Server {
public:
    uint32_t connections() const { return connections_.load(); }

private:
    bool process_and_close_socket(socket_t sock) override {
        ++connections_;
        const bool ok = serveConnection(sock);
        --connections_;
        return ok;
    }

    bool serveConnection(socket_t sock) {
        int one = 1;
        ::setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        ConnectionStream stream(sock, svr_sock_, read_timeout_sec_, write_timeout_sec_);
        tConnection = &stream;
        bool ok = false;
        for (size_t remaining = keep_alive_max_count_; remaining > 0; --remaining) {
            if (!stream.nextRequest(keep_alive_timeout_sec_)) break;
            bool closed = false;
            ok = process_request(stream, remaining == 1, closed, [](httplib::Request&) {});
            // Whatever was answered goes out, also with a failed request.
            ok = stream.flush() && ok;
            if (!ok || closed || stream.dropped()) break;
        }
        tConnection = nullptr;
        ::shutdown(sock, SHUT_RDWR);
        ::close(sock);
        return ok;
    }

    std::atomic<uint32_t> connections_{0};
};

std::string clockText() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t secs = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&secs, &local);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(ms));
    return buf;
}

}  // namespace

struct RecorderServer::Impl {
    explicit Impl(RecorderConfig cfg)
        : config(std::move(cfg)),
          archive(makeArchive(config)),
          demo(dynamic_cast<DemoRecordedArchive*>(archive.get())),
          folder(dynamic_cast<folder::FolderArchive*>(archive.get())),
          sessions(config.users, config.sessions),
          service(*archive, sessions) {
        faults.configure(config.faults);
    }

    static FrameStoreOptions withBodyLimit(FrameStoreOptions options) {
        options.maxJpegBytes = kMaxAnswerBody - kIcpOverhead;
        return options;
    }

    static std::unique_ptr<RecordedArchive> makeArchive(const RecorderConfig& config) {
        if (!config.folder.dir.empty()) {
            folder::FolderArchiveOptions o;
            o.dir = config.folder.dir;
            o.indexFile = config.folder.indexFile;
            o.indexThreads = config.folder.indexThreads;
            o.rescanSeconds = config.folder.rescanSeconds;
            o.frames.quality = config.frames.quality;
            o.frames.maxJpegBytes = kMaxAnswerBody - kIcpOverhead;
            o.log = config.log;
            return std::make_unique<folder::FolderArchive>(std::move(o));
        }
        DemoArchive demo(config.seed, config.anchorDate.value_or(localToday()), config.rates, config.busySource,
                         config.renames);
        return std::make_unique<DemoRecordedArchive>(std::move(demo), withBodyLimit(config.frames));
    }

    void log(const std::string& line) {
        if (config.log)
            config.log(line);
        else
            std::cerr << line << '\n';
    }

    void serve(const httplib::Request& req, httplib::Response& res);

    RecorderConfig config;
    std::unique_ptr<RecordedArchive> archive;
    DemoRecordedArchive* demo;      // the same archive when it is the demo, else null
    folder::FolderArchive* folder;  // the same archive when a folder is served, else null
    SessionTable sessions;
    RecorderService service;
    FaultInjector faults;
    HttpFront http;
    std::thread listener;
    int boundPort = -1;
    std::atomic<uint64_t> requests{0}, refused{0}, faulted{0};
    std::atomic<bool> listenerDone{false};
};

void RecorderServer::Impl::serve(const httplib::Request& req, httplib::Response& res) {
    const auto t0 = Clock::now();
    ++requests;
    res.status = 200;
    if (!faults.beforeRequest()) {
        res.status = 503;
        return;
    }

    ServiceAnswer answer;
    std::optional<FilterRequest> request;
    const std::string_view target = req.target;
    const size_t q = target.find('?');
    const std::string path = percentDecode(target.substr(0, q));
    if (req.method != "GET" || path.size() < 7 || path.compare(path.size() - 7, 7, "/Filter") != 0) {
        res.status = 404;
        answer.note = "not a filter request";
    } else if (!(request = parseFilterQuery(q == std::string_view::npos ? std::string_view{} : target.substr(q + 1)))) {
        res.status = 400;
        answer.note = "bad query or hex data";
    } else {
        answer = service.handle(*request);
    }
    if (answer.body.empty()) ++refused;

    FaultAction fault = FaultAction::None;
    if (faults.config().any()) fault = faults.decide(answer.picture && !answer.body.empty());
    switch (fault) {
    case FaultAction::None: break;
    case FaultAction::Drop:
        if (tConnection) tConnection->drop();
        break;
    case FaultAction::Empty: answer.body.clear(); break;
    case FaultAction::Garbage: answer.body = faults.garbage(); break;
    case FaultAction::TruncateJpeg: {
        IcpHeader h;
        std::memcpy(&h, answer.body.data(), sizeof h);
        h.dataLength = static_cast<uint32_t>(faults.cutAt(h.dataLength));
        answer.body.resize(kIcpHeaderSize + h.dataLength);
        std::memcpy(answer.body.data(), &h, sizeof h);
        answer.body.append(kIcpOverhead - kIcpHeaderSize, '\0');
        break;
    }
    }
    if (fault != FaultAction::None) ++faulted;
    // Moved rather than handed to set_content, which would copy a whole frame.
    const size_t bodySize = answer.body.size();
    res.body = std::move(answer.body);
    res.set_header("Content-Type", "application/octet-stream");

    if (config.verbosity >= 1) {
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        char line[512];
        if (request) {
            IcpHeader h{};
            std::memcpy(&h, request->record.data(), std::min(request->record.size(), sizeof h));
            std::snprintf(line, sizeof line, "%s %s:%d \"%.120s\" kind %u code %u p1=%u p2=%u data=%u -> ", clockText().c_str(),
                          req.remote_addr.c_str(), req.remote_port, request->filterName.c_str(), h.kind, h.code, h.param1,
                          h.param2, request->record.size() >= sizeof h ? h.dataLength : 0u);
        } else {
            std::snprintf(line, sizeof line, "%s %s:%d %s %.120s -> ", clockText().c_str(), req.remote_addr.c_str(),
                          req.remote_port, req.method.c_str(), req.path.c_str());
        }
        std::string text = line;
        text += bodySize == 0 ? std::string("empty") : std::to_string(bodySize) + " bytes";
        char timing[32];
        std::snprintf(timing, sizeof timing, " %.1f ms", ms);
        text += timing;
        if (!answer.note.empty() && (bodySize == 0 || config.verbosity >= 2)) text += " (" + answer.note + ")";
        if (fault != FaultAction::None) text += std::string(" [fault ") + faultName(fault) + "]";
        log(text);
    }
}

RecorderServer::RecorderServer(RecorderConfig config) : impl_(std::make_unique<Impl>(std::move(config))) {
    const unsigned threads = std::max(1u, impl_->config.threads);
    impl_->http.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    impl_->http.set_keep_alive_max_count(100);
    // httplib's default also sets SO_REUSEPORT, which lets a second recorder
    // share a busy port silently; only quick restarts are wanted.
    impl_->http.set_socket_options([](socket_t sock) {
        int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    impl_->http.set_pre_routing_handler([impl = impl_.get()](const httplib::Request& req, httplib::Response& res) {
        impl->serve(req, res);
        return httplib::Server::HandlerResponse::Handled;
    });
}

RecorderServer::~RecorderServer() { stop(); }

bool RecorderServer::start(std::string* error) {
    if (impl_->listener.joinable()) {
        if (error) *error = "already started";
        return false;
    }
    const RecorderConfig& c = impl_->config;
    if (impl_->folder && !impl_->folder->start(error)) return false;
    if (c.port == 0) {
        impl_->boundPort = impl_->http.bind_to_any_port(c.bindAddress);
    } else if (impl_->http.bind_to_port(c.bindAddress, c.port)) {
        impl_->boundPort = c.port;
    }
    if (impl_->boundPort <= 0) {
        if (error) *error = "cannot listen on " + c.bindAddress + ":" + std::to_string(c.port);
        impl_->boundPort = -1;
        return false;
    }
    impl_->listenerDone = false;
    impl_->listener = std::thread([impl = impl_.get()] {
        impl->http.listen_after_bind();
        impl->listenerDone = true;
    });
    // stop() only works once the server loop runs; wait for it (or for a
    // loop that ended at once).
    while (!impl_->http.is_running() && !impl_->listenerDone)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!impl_->http.is_running()) {
        impl_->listener.join();
        if (error) *error = "the server loop ended at start";
        return false;
    }
    return true;
}

void RecorderServer::stop() {
    if (!impl_->listener.joinable()) return;
    impl_->faults.shutdown();
    impl_->http.stop();
    impl_->listener.join();
    if (impl_->folder) impl_->folder->stop();
}

bool RecorderServer::running() const { return impl_->http.is_running(); }

int RecorderServer::port() const { return impl_->boundPort; }

std::string RecorderServer::baseUrl() const {
    const std::string& host = impl_->config.bindAddress;
    const bool v6 = host.find(':') != std::string::npos;
    return "http://" + (v6 ? "[" + host + "]" : host) + ":" + std::to_string(impl_->boundPort);
}

void RecorderServer::setFaults(const FaultConfig& faults) { impl_->faults.configure(faults); }
FaultConfig RecorderServer::faults() const { return impl_->faults.config(); }
void RecorderServer::stallFor(uint32_t ms) { impl_->faults.stallFor(ms); }

const DemoArchive& RecorderServer::archive() const {
    if (!impl_->demo) throw std::logic_error("the recorder serves a folder, not the demo archive");
    return impl_->demo->demo();
}

RecordedArchive& RecorderServer::recorded() const { return *impl_->archive; }

folder::FolderArchive* RecorderServer::folderArchive() const { return impl_->folder; }

RecorderStats RecorderServer::stats() const {
    RecorderStats s;
    s.requests = impl_->requests.load();
    s.refused = impl_->refused.load();
    s.faulted = impl_->faulted.load();
    s.connections = impl_->http.connections();
    s.waits = impl_->faults.stats();
    if (impl_->demo) s.frames = impl_->demo->frameStats();
    return s;
}

}  // namespace corvanta::recorder
