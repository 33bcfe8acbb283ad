#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "remote/ConnectionState.h"

namespace corvanta {
namespace {

using State = ConnectionState::State;
constexpr int kLimit = ConnectionState::kFailuresBeforeNotAnswering;

TEST(ConnectionState, SaysNotAnsweringOnlyAfterFailuresInARowAndClearsWithAnAnswer) {
    ConnectionState c;
    EXPECT_EQ(c.Current(), State::NotLoggedIn);
    EXPECT_EQ(c.Text(), "Not logged in");
    for (int i = 0; i < kLimit + 2; ++i) c.Failed();
    EXPECT_EQ(c.Current(), State::NotLoggedIn) << "failures before a login say nothing new";

    c.LoggedIn("http://10.0.0.5:8080", "demo");
    EXPECT_EQ(c.Text(), "Connected to http://10.0.0.5:8080 as demo") << "a login starts the count afresh";
    // An answer between failures breaks the row.
    for (int i = 0; i < kLimit - 1; ++i) c.Failed();
    c.Answered();
    for (int i = 0; i < kLimit - 1; ++i) c.Failed();
    EXPECT_EQ(c.Current(), State::Connected);
    c.Failed();
    EXPECT_EQ(c.Current(), State::NotAnswering);
    EXPECT_EQ(c.Text(), "The recorder at http://10.0.0.5:8080 is not answering \u2014 retrying");
    const uint64_t changes = c.Changes();
    for (int i = 0; i < 100; ++i) c.Failed();
    EXPECT_EQ(c.Changes(), changes) << "more failures change nothing";

    c.Answered();
    EXPECT_EQ(c.Current(), State::Connected);
    EXPECT_GT(c.Changes(), changes);
    for (int i = 0; i < kLimit - 1; ++i) c.Failed();
    EXPECT_EQ(c.Current(), State::Connected) << "the count started again after the answer";

    c.LoggedOff();
    EXPECT_EQ(c.Text(), "Not logged in");
    c.LoggedIn("http://10.0.0.6", "other");
    EXPECT_EQ(c.Text(), "Connected to http://10.0.0.6 as other") << "the failures before the log-off are gone";
}

TEST(ConnectionState, ANewLoginIsAChangeEvenWhenConnectedBefore) {
    ConnectionState c;
    c.LoggedIn("http://a", "one");
    const uint64_t changes = c.Changes();
    c.LoggedIn("http://b", "two");
    EXPECT_GT(c.Changes(), changes);
    c.Answered();
    EXPECT_EQ(c.Changes(), changes + 1) << "an answer while connected is no change";
}

// Proxies report from their own threads while the user interface reads.
TEST(ConnectionState, TakesReportsFromManyThreads) {
    ConnectionState c;
    c.LoggedIn("http://a", "demo");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&c, t] {
            for (int i = 0; i < 2000; ++i) t % 2 ? c.Failed() : c.Answered();
        });
    for (int i = 0; i < 2000; ++i) (void)c.Text();
    for (auto& thread : threads) thread.join();
    for (int i = 0; i < kLimit; ++i) c.Failed();
    EXPECT_EQ(c.Current(), State::NotAnswering);
}

}  // namespace
}  // namespace corvanta
