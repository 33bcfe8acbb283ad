#pragma once
// A keep-alive HTTP client that sends Message requests to the recorder
// stand-in as the viewer does, for the benchmarks that pull frames.

#include <curl/curl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "archive/ArchiveRecords.h"
#include "playback/PlaybackRecords.h"
#include "recorder/Protocol.h"
#include "services/UserAccessRecords.h"

namespace corvanta::bench {

class RecorderClient {
public:
    explicit RecorderClient(std::string base) : base_(std::move(base)), curl_(curl_easy_init(), curl_easy_cleanup) {
        curl_easy_setopt(curl_.get(), CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl_.get(), CURLOPT_WRITEFUNCTION, +[](char* p, size_t s, size_t n, void* ud) {
            static_cast<std::string*>(ud)->append(p, s * n);
            return s * n;
        });
        curl_easy_setopt(curl_.get(), CURLOPT_WRITEDATA, &body_);
    }

    const std::string& send(const std::string& name, const std::string& sid, uint32_t code, uint32_t p1,
                            const std::string& data) {
        const std::string rec = recorder::makeRequestRecord(
            kIcpCommand, code, p1, 0, {reinterpret_cast<const uint8_t*>(data.data()), data.size()});
        std::string escaped;
        for (char c : name) escaped += c == ' ' ? std::string("%20") : std::string(1, c);
        const std::string url = base_ + "/Filter?Message&SID=" + sid + "&Name=" + escaped + "&Data=" +
                                recorder::encodeHex({reinterpret_cast<const uint8_t*>(rec.data()), rec.size()});
        body_.clear();
        curl_easy_setopt(curl_.get(), CURLOPT_URL, url.c_str());
        if (curl_easy_perform(curl_.get()) != CURLE_OK) body_.clear();
        return body_;
    }

    // The session id, or exit: a benchmark cannot go on without it.
    std::string logIn(const char* user, const char* password) {
        LoginRecord login{};
        std::strncpy(login.userName, user, sizeof login.userName - 1);
        std::strncpy(login.password, password, sizeof login.password - 1);
        std::strcpy(login.userKind, kLoginUserKind);
        login.one = 1;
        const std::string answer = send(kUserPrivilegeFilterName, "", kPrivilegeLogIn, 0,
                                        std::string(reinterpret_cast<const char*>(&login), sizeof login));
        if (answer.size() <= kIcpOverhead) {
            std::fprintf(stderr, "login failed\n");
            std::exit(1);
        }
        return answer.c_str() + kIcpHeaderSize;
    }

    // Opens a file; returns its frame source name, or exits.
    std::string open(const std::string& sid, const std::string& fileName) {
        if (send(kPlaybackManagerFilterName, sid, kPlaybackOpenFile, 0, fileName + '\0').empty()) {
            std::fprintf(stderr, "open of %s failed\n", fileName.c_str());
            std::exit(1);
        }
        std::string source = fileName;
        for (char& c : source)
            if (c == '\\') c = ' ';
        return source;
    }

    // Whether the answer is frame `index` as a picture.
    bool frame(const std::string& source, const std::string& sid, uint32_t index) {
        const std::string& body = send(source, sid, kFrameSourceGetFrame, index, {});
        IcpHeader h{};
        if (body.size() < sizeof h) return false;
        std::memcpy(&h, body.data(), sizeof h);
        return h.encoding == kIcpEncodingPicture && h.param1 == index;
    }

private:
    std::string base_;
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl_;
    std::string body_;
};

}  // namespace corvanta::bench
