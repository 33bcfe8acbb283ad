#pragma once
// A real HTTP client, requests built as the viewer builds them, answers decoded
// with bounds checks, JPEGs decoded by libjpeg-turbo rather than by anything of ours.

#include <arpa/inet.h>
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/ArchiveRecords.h"
#include "playback/PlaybackRecords.h"
#include "recorder/Protocol.h"
#include "recorder/RecorderServer.h"
#include "services/UserAccessRecords.h"

namespace corvanta::recorder::test {

using Bytes = std::vector<uint8_t>;

struct HttpResult {
    CURLcode code = CURLE_OK;
    std::string body;
    bool ok() const { return code == CURLE_OK; }
};

inline HttpResult httpGet(const std::string& url, long timeoutMs = 20000) {
    HttpResult r;
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, timeoutMs);
    curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, +[](char* p, size_t s, size_t n, void* ud) {
        static_cast<std::string*>(ud)->append(p, s * n);
        return s * n;
    });
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &r.body);
    r.code = curl_easy_perform(curl.get());
    return r;
}

// Sends bytes exactly as given (curl would refuse or repair some) and returns the whole reply.
inline std::string rawExchange(int port, const std::string& bytes) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{AF_INET, htons(uint16_t(port)), {htonl(INADDR_LOOPBACK)}, {}};
    EXPECT_EQ(::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::send(s, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    ::shutdown(s, SHUT_WR);
    std::string reply;
    char buf[65536];
    for (ssize_t n; (n = ::recv(s, buf, sizeof buf, 0)) > 0;) reply.append(buf, size_t(n));
    ::close(s);
    return reply;
}

inline std::string hexOf(std::string_view bytes) { return encodeHex({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}); }

template <typename T>
Bytes bytesOf(const T& record) {
    const auto* p = reinterpret_cast<const uint8_t*>(&record);
    return {p, p + sizeof(T)};
}

inline Bytes textData(const std::string& text) { return {text.c_str(), text.c_str() + text.size() + 1}; }

struct Decoded {
    IcpHeader header{};
    std::string data;

    template <typename T>
    T entry(size_t index) const {
        T value{};
        EXPECT_LE((index + 1) * sizeof(T), data.size()) << "entry " << index << " lies past the data";
        if ((index + 1) * sizeof(T) <= data.size()) std::memcpy(&value, data.data() + index * sizeof(T), sizeof(T));
        return value;
    }
    // The param1 entries the answer announces, which must fill its data exactly.
    template <typename T>
    std::vector<T> entries() const {
        EXPECT_EQ(data.size(), header.param1 * sizeof(T));
        std::vector<T> out;
        for (size_t i = 0; i < header.param1 && (i + 1) * sizeof(T) <= data.size(); ++i) out.push_back(entry<T>(i));
        return out;
    }
};

// Nothing is read past the body.
inline std::optional<Decoded> decodeAnswer(const std::string& body) {
    Decoded d;
    if (body.size() < kIcpHeaderSize) return std::nullopt;
    std::memcpy(&d.header, body.data(), kIcpHeaderSize);
    if (d.header.dataLength > body.size() - kIcpHeaderSize) return std::nullopt;
    d.data = body.substr(kIcpHeaderSize, d.header.dataLength);
    return d;
}

inline LoginRecord loginRecord(const std::string& user, const std::string& password) {
    LoginRecord rec{};
    std::strncpy(rec.userName, user.c_str(), sizeof rec.userName - 1);
    std::strncpy(rec.password, password.c_str(), sizeof rec.password - 1);
    std::strncpy(rec.userKind, kLoginUserKind, sizeof rec.userKind - 1);
    rec.one = 1;
    return rec;
}

inline SystemTime wireTime(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return SystemTime{uint16_t(y), uint16_t(mo), 0, uint16_t(d), uint16_t(h), uint16_t(mi), uint16_t(s), 0};
}

inline Bytes timeQuery(const SystemTime& from, const SystemTime& to, const std::string& source) {
    TimeQuery q{from, to, {}};
    std::strncpy(q.sourceId, source.c_str(), sizeof q.sourceId - 1);
    return bytesOf(q);
}

inline std::string frameSourceName(std::string fileName) {
    std::replace(fileName.begin(), fileName.end(), '\\', ' ');
    return fileName;
}

struct JpegSize { int width = 0, height = 0; };

inline std::optional<JpegSize> decodeJpeg(const std::string& jpeg) {
    std::unique_ptr<void, decltype(&tjDestroy)> tj(tjInitDecompress(), tjDestroy);
    int width = 0, height = 0, subsamp = 0, colorspace = 0;
    auto* src = reinterpret_cast<const unsigned char*>(jpeg.data());
    if (tjDecompressHeader3(tj.get(), src, jpeg.size(), &width, &height, &subsamp, &colorspace) != 0) return std::nullopt;
    std::vector<unsigned char> rgb(size_t(width) * height * 3);
    if (tjDecompress2(tj.get(), src, jpeg.size(), rgb.data(), width, 0, height, TJPF_RGB, TJFLAG_STOPONWARNING) != 0)
        return std::nullopt;
    return JpegSize{width, height};
}

// The archive's last day in every test: the previous month is a leap February.
inline constexpr CivilDate kAnchor{2024, 3, 2};

inline RecorderConfig testConfig() {
    return {.port = 0, .threads = 4, .seed = 7, .rates = {}, .anchorDate = kAnchor, .frames = {.readAhead = 2},
            .folder = {}, .sessions = {}, .faults = {}, .log = [](const std::string&) {}};
}

// A server on a free port and a logged-in client that speaks to it as the viewer does.
class RecorderFixture : public ::testing::Test {
protected:
    void SetUp() override { startServer(testConfig()); }

    void startServer(RecorderConfig config) {
        server_ = std::make_unique<RecorderServer>(std::move(config));
        ASSERT_TRUE(server_->start());
        sid_ = logIn();
        ASSERT_FALSE(sid_.empty());
    }

    // Every request carries a marker in a reserved word, which its answer must echo.
    static constexpr uint32_t kMarker = 0x5A5A1234;

    HttpResult send(const std::string& name, const std::string& sid, uint32_t code, uint32_t p1 = 0, uint32_t p2 = 0,
                    const Bytes& data = {}, long timeoutMs = 20000) const {
        std::string record = makeRequestRecord(kIcpCommand, code, p1, p2, data), escaped;
        std::memcpy(record.data() + offsetof(IcpHeader, reserved) + 5 * 4, &kMarker, 4);
        for (char c : name) escaped += c == ' ' ? std::string("%20") : std::string(1, c);
        return httpGet(server_->baseUrl() + "/Filter?Message&SID=" + sid + "&Name=" + escaped + "&Data=" + hexOf(record),
                       timeoutMs);
    }

    bool refused(const std::string& name, uint32_t code, uint32_t p1 = 0, uint32_t p2 = 0, const Bytes& data = {}) const {
        const HttpResult r = send(name, sid_, code, p1, p2, data);
        EXPECT_TRUE(r.ok()) << curl_easy_strerror(r.code);
        return r.ok() && r.body.empty();
    }

    // A command that must be answered: a done answer to it, with the 4 spare bytes behind its data.
    Decoded ask(const std::string& name, const std::string& sid, uint32_t code, uint32_t p1 = 0, uint32_t p2 = 0,
                const Bytes& data = {}) const {
        const HttpResult r = send(name, sid, code, p1, p2, data);
        auto d = decodeAnswer(r.body);
        EXPECT_TRUE(d.has_value()) << name << " code " << code << " gave " << r.body.size() << " bytes";
        if (!d) return {};
        EXPECT_EQ(std::tuple(r.body.size(), d->header.status, d->header.kind, d->header.code, d->header.reserved[5]),
                  std::tuple(kIcpOverhead + d->header.dataLength, kIcpStatusDone, kIcpCommandAnswer, code, kMarker));
        return *d;
    }

    std::string logIn(const std::string& user = "demo", const std::string& password = "demo") const {
        auto d = decodeAnswer(send(kUserPrivilegeFilterName, "", kPrivilegeLogIn, 0, 0, bytesOf(loginRecord(user, password))).body);
        return d ? std::string(d->data.c_str()) : std::string();
    }

    std::vector<SessionEntry> sessionsOn(const std::string& source, unsigned day, unsigned month = kAnchor.month) const {
        const uint32_t yearMonth = (uint32_t(kAnchor.year) << 16) | month;
        return ask(kArchiveQueryFilterName, sid_, kArchiveListSessions, yearMonth, day, textData(source)).entries<SessionEntry>();
    }

    FileDescription open(const std::string& fileName) const {
        const Decoded d = ask(kPlaybackManagerFilterName, sid_, kPlaybackOpenFile, 0, 0, textData(fileName));
        const auto fd = d.entry<FileDescription>(0);
        EXPECT_EQ(std::tuple(d.data.size(), d.header.param1), std::tuple(sizeof fd, fd.frameCount));
        return fd;
    }

    std::unique_ptr<RecorderServer> server_;
    std::string sid_;
};

}  // namespace corvanta::recorder::test
