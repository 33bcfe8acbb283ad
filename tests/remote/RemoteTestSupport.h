#pragma once
// Shared by the channel tests: a process of its own instance with a running
// queue manager, the recorder stand-in on a free port, a logged-in session,
// and small helpers to build and read records.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "framework/CFilterIcpClient.h"
#include "framework/CMessageQueueManager.h"
#include "recorder/RecorderServer.h"
#include "remote/HttpRequest.h"
#include "remote/RecorderInterface.h"
#include "remote/RemoteFilter.h"
#include "remote/RemoteSession.h"
#include "support/Instance.h"
#include "support/WaitFor.h"

namespace corvanta::test {

inline bool Registered(const std::string& name) {
    return WaitFor([&] { return CMessageQueueManager::FindQueue(name) != 0; }, 3000);
}

// Bytes of a whole record as the recorder sends it: header, data, 4 spare bytes.
inline std::string RecordBody(const IcpHeader& header, const std::string& data) {
    std::string body(kIcpHeaderSize + data.size() + 4, '\0');
    std::memcpy(body.data(), &header, kIcpHeaderSize);
    std::memcpy(body.data() + kIcpHeaderSize, data.data(), data.size());
    return body;
}

inline std::string AnswerData(const IcpRecord* answer) {
    return std::string(reinterpret_cast<const char*>(answer->data), answer->dataLength);
}

// The first `count` fixed-size entries of an answer, or a test failure when
// the data does not hold them.
template <typename T>
std::vector<T> Entries(const IcpRecord* answer, uint32_t count) {
    std::vector<T> entries;
    if (uint64_t{count} * sizeof(T) > answer->dataLength) {
        ADD_FAILURE() << count << " entries of " << sizeof(T) << " bytes do not fit " << answer->dataLength;
        return entries;
    }
    entries.resize(count);
    std::memcpy(entries.data(), answer->data, size_t{count} * sizeof(T));
    return entries;
}

inline recorder::RecorderConfig RecorderTestConfig() {
    recorder::RecorderConfig config;
    config.port = 0;
    config.threads = 4;
    config.seed = 7;
    config.anchorDate = recorder::CivilDate{2024, 3, 2};
    config.frames.readAhead = 2;
    config.frames.cacheBytes = 32u << 20;
    config.log = [](const std::string&) {};
    return config;
}

// A control's view of the recorder: own instance, queue manager, the stand-in
// on a free port as FilterServerURL, and a session logged in through a plain
// proxy of "Main User Privilege".
class RecorderChannelFixture : public ::testing::Test {
protected:
    void SetUp() override {
        UseOwnInstance();
        ASSERT_EQ(1, manager.Start());
        SetConsecutiveFailures(0);
        server = std::make_unique<recorder::RecorderServer>(RecorderTestConfig());
        std::string error;
        ASSERT_TRUE(server->start(&error)) << error;
        SetFilterServerURL(server->baseUrl());
        SetSessionId("");
        ASSERT_NO_FATAL_FAILURE(LogIn());
    }

    void TearDown() override {
        SetFilterServerURL("");
        SetSessionId("");
        SetConsecutiveFailures(0);
    }

    void LogIn() {
        CRemoteFilter privilege;
        ASSERT_EQ(1, privilege.Init(CFilterDescriptor(kUserPrivilegeFilterName, 8, 17, 0, 0, 1, "1.0.0", 64000, 64000)));
        ASSERT_TRUE(Registered(kUserPrivilegeFilterName));
        CFilterIcpClient client;
        ASSERT_EQ(1, client.Open(kUserPrivilegeFilterName));
        LoginRecord login{};
        std::strcpy(login.userName, "demo");
        std::strcpy(login.password, "demo");
        std::strcpy(login.userKind, kLoginUserKind);
        login.one = 1;
        ASSERT_EQ(1, client.SendCommand(kPrivilegeLogIn, 0, 0, &login, sizeof login));
        const IcpRecord* answer = client.Answer();
        const char* text = reinterpret_cast<const char*>(answer->data);
        const std::string id(text, strnlen(text, answer->dataLength));
        ASSERT_FALSE(id.empty());
        ASSERT_LE(id.size(), kMaxSessionIdLength);
        SetSessionId(id);
    }

    CMessageQueueManager manager;
    std::unique_ptr<recorder::RecorderServer> server;
};

}  // namespace corvanta::test
