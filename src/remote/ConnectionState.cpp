#include "remote/ConnectionState.h"

namespace corvanta {

void ConnectionState::LoggedIn(const std::string& url, const std::string& user) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_url = url;
    m_user = user;
    m_failures = 0;
    ++m_changes;  // a new URL or user changes the text even when connected before
    m_state = State::Connected;
}

void ConnectionState::LoggedOff() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failures = 0;
    Become(State::NotLoggedIn);
}

void ConnectionState::Answered() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failures = 0;
    if (m_state == State::NotAnswering) Become(State::Connected);
}

void ConnectionState::Failed() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_failures < kFailuresBeforeNotAnswering) ++m_failures;
    if (m_state == State::Connected && m_failures >= kFailuresBeforeNotAnswering) Become(State::NotAnswering);
}

ConnectionState::State ConnectionState::Current() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state;
}

std::string ConnectionState::Text() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    switch (m_state) {
        case State::Connected: return "Connected to " + m_url + " as " + m_user;
        case State::NotAnswering: return "The recorder at " + m_url + " is not answering \u2014 retrying";
        default: return "Not logged in";
    }
}

uint64_t ConnectionState::Changes() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_changes;
}

void ConnectionState::Become(State state) {
    if (m_state == state) return;
    m_state = state;
    ++m_changes;
}

ConnectionState& RecorderConnection() {
    static ConnectionState connection;
    return connection;
}

}  // namespace corvanta
