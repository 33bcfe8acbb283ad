#pragma once
// What the user is told about the recorder: connected to it, not logged in,
// or not answering. The login and the log-off set it; every request a proxy
// makes reports whether the recorder answered, and a few failures in a row
// turn a connection into "not answering" until an answer comes back. Any
// thread may report; readers poll Changes() to learn that the text changed.

#include <cstdint>
#include <mutex>
#include <string>

namespace corvanta {

class ConnectionState {
public:
    // One failed request is a hiccup; this many in a row is a recorder gone.
    static constexpr int kFailuresBeforeNotAnswering = 3;

    enum class State { NotLoggedIn, Connected, NotAnswering };

    void LoggedIn(const std::string& url, const std::string& user);
    void LoggedOff();
    // A request reached the recorder and it answered (a refusal is an answer).
    void Answered();
    // A request got no answer at all: the connection failed or stalled.
    void Failed();

    State Current() const;
    // "Connected to <URL> as <user>", "Not logged in", or "The recorder at
    // <URL> is not answering — retrying".
    std::string Text() const;
    // Goes up with every change of the state.
    uint64_t Changes() const;

private:
    void Become(State state);  // with m_mutex held

    mutable std::mutex m_mutex;
    State m_state = State::NotLoggedIn;
    std::string m_url;
    std::string m_user;
    int m_failures = 0;
    uint64_t m_changes = 0;
};

// The process's connection, as FilterServerURL is the process's recorder.
ConnectionState& RecorderConnection();

}  // namespace corvanta
