#include "recorder/SessionTable.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>

namespace corvanta::recorder {
namespace {

std::string frameSourceKey(std::string_view name) {
    std::string key(name);
    for (char& c : key) c = c == '\\' ? ' ' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return key;
}

}  // namespace

std::vector<UserAccount> defaultUsers() { return {{"demo", "demo"}}; }

std::optional<std::vector<UserAccount>> parseUsers(std::string_view text, std::string* error) {
    std::vector<UserAccount> users;
    int lineNumber = 0;
    while (!text.empty()) {
        const size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        const size_t colon = line.find(':');
        const std::string_view name = line.substr(0, colon);
        const std::string_view password = colon == std::string_view::npos ? std::string_view{} : line.substr(colon + 1);
        if (colon == std::string_view::npos || name.empty() || name.size() > 40 || password.size() > 20) {
            if (error) *error = "line " + std::to_string(lineNumber) + ": expected name:password (name 1..40, password up to 20 characters)";
            return std::nullopt;
        }
        users.push_back({std::string(name), std::string(password)});
    }
    if (users.empty()) {
        if (error) *error = "no users";
        return std::nullopt;
    }
    return users;
}

SessionTable::SessionTable(std::vector<UserAccount> users, SessionOptions options)
    : users_(std::move(users)), options_(std::move(options)), idSource_(std::random_device{}()) {}

int64_t SessionTable::now() const {
    if (options_.clockMs) return options_.clockMs();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SessionTable::sweepLocked() {
    const int64_t t = now();
    std::erase_if(sessions_, [&](const auto& kv) { return t - kv.second.lastUse > options_.idleTimeoutMs; });
}

SessionTable::Session* SessionTable::liveLocked(std::string_view sessionId) {
    auto it = sessions_.find(sessionId);
    if (it == sessions_.end()) return nullptr;
    const int64_t t = now();
    if (t - it->second.lastUse > options_.idleTimeoutMs) {
        sessions_.erase(it);
        return nullptr;
    }
    it->second.lastUse = t;
    return &it->second;
}

std::optional<std::string> SessionTable::logIn(std::string_view name, std::string_view password) {
    const bool known = std::any_of(users_.begin(), users_.end(),
                                   [&](const UserAccount& u) { return u.name == name && u.password == password; });
    if (!known) return std::nullopt;
    std::lock_guard lock(mutex_);
    sweepLocked();
    if (sessions_.size() >= options_.maxSessions) {
        // Make room by ending the session that has waited longest.
        auto oldest = std::min_element(sessions_.begin(), sessions_.end(),
                                       [](const auto& a, const auto& b) { return a.second.lastUse < b.second.lastUse; });
        sessions_.erase(oldest);
    }
    std::string id;
    do {
        char buf[17];
        std::snprintf(buf, sizeof buf, "%016llX", static_cast<unsigned long long>(idSource_()));
        id = buf;
    } while (sessions_.count(id));
    sessions_.emplace(id, Session{std::string(name), now(), {}});
    return id;
}

bool SessionTable::logOff(std::string_view sessionId) {
    std::lock_guard lock(mutex_);
    auto it = sessions_.find(sessionId);
    if (it == sessions_.end()) return false;
    sessions_.erase(it);
    return true;
}

bool SessionTable::touch(std::string_view sessionId) {
    std::lock_guard lock(mutex_);
    return liveLocked(sessionId) != nullptr;
}

bool SessionTable::openFile(std::string_view sessionId, std::string_view fileName, FileRef file) {
    std::lock_guard lock(mutex_);
    Session* s = liveLocked(sessionId);
    if (!s || !file) return false;
    const std::string key = frameSourceKey(fileName);
    auto it = s->files.find(key);
    if (it == s->files.end()) {
        if (s->files.size() >= options_.maxOpenFiles) return false;
        it = s->files.emplace(key, OpenFile{std::move(file), 0}).first;
    }
    ++it->second.uses;
    return true;
}

bool SessionTable::closeFile(std::string_view sessionId, std::string_view fileName) {
    std::lock_guard lock(mutex_);
    Session* s = liveLocked(sessionId);
    if (!s) return false;
    auto it = s->files.find(frameSourceKey(fileName));
    if (it == s->files.end()) return false;
    if (--it->second.uses == 0) s->files.erase(it);
    return true;
}

FileRef SessionTable::frameSource(std::string_view sessionId, std::string_view sourceName) {
    std::lock_guard lock(mutex_);
    Session* s = liveLocked(sessionId);
    if (!s) return nullptr;
    auto it = s->files.find(frameSourceKey(sourceName));
    return it == s->files.end() ? nullptr : it->second.file;
}

size_t SessionTable::sessionCount() {
    std::lock_guard lock(mutex_);
    sweepLocked();
    return sessions_.size();
}

}  // namespace corvanta::recorder
