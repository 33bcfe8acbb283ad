#pragma once
// Helpers shared by the recorder's tests: a real HTTP client (libcurl), the
// viewer's way of building requests, answer decoding with bounds checks, and
// JPEG inspection with libjpeg-turbo.

#include <curl/curl.h>
#include <gtest/gtest.h>
#include <turbojpeg.h>

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

struct HttpResult {
    CURLcode code = CURLE_OK;
    long status = 0;
    std::string body;
    bool ok() const { return code == CURLE_OK; }
};

// One GET of `url` as given; curl is told not to touch the URL.
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
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &r.status);
    return r;
}

inline std::string escapeBlanks(const std::string& s) {
    std::string out;
    for (char c : s) out += c == ' ' ? std::string("%20") : std::string(1, c);
    return out;
}

template <typename T>
std::vector<uint8_t> bytesOf(const T& record) {
    std::vector<uint8_t> out(sizeof(T));
    std::memcpy(out.data(), &record, sizeof(T));
    return out;
}

inline std::vector<uint8_t> textData(const std::string& text) {
    std::vector<uint8_t> out(text.size() + 1, 0);
    std::memcpy(out.data(), text.data(), text.size());
    return out;
}

// An answer record decoded from a body; nothing is read past the body.
struct Decoded {
    IcpHeader header{};
    std::string data;

    template <typename T>
    T entry(size_t index) const {
        T value{};
        if ((index + 1) * sizeof(T) <= data.size()) std::memcpy(&value, data.data() + index * sizeof(T), sizeof(T));
        else ADD_FAILURE() << "entry " << index << " lies past the data";
        return value;
    }
};

inline std::optional<Decoded> decodeAnswer(const std::string& body) {
    if (body.size() < kIcpHeaderSize) return std::nullopt;
    Decoded d;
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

inline SystemTime wireTime(int y, int mo, int d, int h, int mi, int s) {
    SystemTime t{};
    t.year = static_cast<uint16_t>(y);
    t.month = static_cast<uint16_t>(mo);
    t.day = static_cast<uint16_t>(d);
    t.hour = static_cast<uint16_t>(h);
    t.minute = static_cast<uint16_t>(mi);
    t.second = static_cast<uint16_t>(s);
    return t;
}

inline TimeQuery timeQuery(const SystemTime& from, const SystemTime& to, const std::string& source) {
    TimeQuery q{};
    q.from = from;
    q.to = to;
    std::strncpy(q.sourceId, source.c_str(), sizeof q.sourceId - 1);
    return q;
}

struct JpegInfo {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // top row first
};

// Decodes a whole JPEG; nothing when the library reports an error.
inline std::optional<JpegInfo> decodeJpeg(const std::string& jpeg) {
    std::unique_ptr<void, decltype(&tjDestroy)> tj(tjInitDecompress(), tjDestroy);
    JpegInfo info;
    int subsamp = 0, colorspace = 0;
    auto* src = reinterpret_cast<const unsigned char*>(jpeg.data());
    if (tjDecompressHeader3(tj.get(), src, jpeg.size(), &info.width, &info.height, &subsamp, &colorspace) != 0)
        return std::nullopt;
    info.rgb.resize(static_cast<size_t>(info.width) * info.height * 3);
    if (tjDecompress2(tj.get(), src, jpeg.size(), info.rgb.data(), info.width, 0, info.height, TJPF_RGB,
                      TJFLAG_STOPONWARNING) != 0)
        return std::nullopt;
    return info;
}

// The archive's last day in every test: the previous month is a leap February.
inline constexpr CivilDate kAnchor{2024, 3, 2};

inline RecorderConfig testConfig() {
    RecorderConfig c;
    c.port = 0;
    c.threads = 4;
    c.seed = 7;
    c.anchorDate = kAnchor;
    c.frames.readAhead = 2;
    c.frames.cacheBytes = 32u << 20;
    c.log = [](const std::string&) {};
    return c;
}

// A server on a free port and a client that speaks to it as the viewer does.
class RecorderFixture : public ::testing::Test {
protected:
    void SetUp() override { startServer(testConfig()); }

    void startServer(RecorderConfig config) {
        server_ = std::make_unique<RecorderServer>(std::move(config));
        std::string error;
        ASSERT_TRUE(server_->start(&error)) << error;
        ASSERT_GT(server_->port(), 0);
    }

    std::string url(const std::string& name, const std::string& sid, const std::string& recordHex) const {
        return server_->baseUrl() + "/Filter?Message&SID=" + sid + "&Name=" + escapeBlanks(name) + "&Data=" + recordHex;
    }

    HttpResult send(const std::string& name, const std::string& sid, uint32_t code, uint32_t p1 = 0, uint32_t p2 = 0,
                    const std::vector<uint8_t>& data = {}) const {
        const std::string rec = makeRequestRecord(kIcpCommand, code, p1, p2, data);
        return httpGet(url(name, sid, encodeHex({reinterpret_cast<const uint8_t*>(rec.data()), rec.size()})));
    }

    // A command that must be answered; the test fails otherwise.
    Decoded ask(const std::string& name, const std::string& sid, uint32_t code, uint32_t p1 = 0, uint32_t p2 = 0,
                const std::vector<uint8_t>& data = {}) const {
        const HttpResult r = send(name, sid, code, p1, p2, data);
        EXPECT_TRUE(r.ok()) << curl_easy_strerror(r.code);
        auto d = decodeAnswer(r.body);
        EXPECT_TRUE(d.has_value()) << name << " code " << code << " gave " << r.body.size() << " bytes";
        return d.value_or(Decoded{});
    }

    std::string logIn(const std::string& user = "demo", const std::string& password = "demo") const {
        const Decoded d = ask(kUserPrivilegeFilterName, "", kPrivilegeLogIn, 0, 0, bytesOf(loginRecord(user, password)));
        return std::string(d.data.c_str());
    }

    std::unique_ptr<RecorderServer> server_;
};

}  // namespace corvanta::recorder::test
