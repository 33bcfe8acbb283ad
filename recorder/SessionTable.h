#pragma once
// Users, login sessions and the files each session has open. A session ends
// by log-off or after it has been idle for longer than the idle limit; the
// number of sessions and of open files per session is bounded so that a
// misbehaving client cannot make the recorder grow.

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "recorder/RecordedArchive.h"

namespace corvanta::recorder {

struct UserAccount {
    std::string name;
    std::string password;
};

// The account a fresh demo offers.
std::vector<UserAccount> defaultUsers();

// Reads "name:password" lines; blank lines and lines starting with '#' are
// skipped. Names and passwords must fit the login record (40 and 20
// characters). On failure `error` says which line is wrong.
std::optional<std::vector<UserAccount>> parseUsers(std::string_view text, std::string* error);

struct SessionOptions {
    uint32_t idleTimeoutMs = 30 * 60 * 1000;
    size_t maxSessions = 256;
    size_t maxOpenFiles = 64;
    // Milliseconds of a monotonic clock; tests replace it to expire sessions.
    std::function<int64_t()> clockMs;
};

class SessionTable {
public:
    SessionTable(std::vector<UserAccount> users, SessionOptions options);

    // A new session id (16 upper-case hex digits) when name and password match.
    std::optional<std::string> logIn(std::string_view name, std::string_view password);
    bool logOff(std::string_view sessionId);

    // True for a session that exists and has not expired; marks it as used.
    bool touch(std::string_view sessionId);

    // Files are named as the client named them; the frame source of a file is
    // that name with every backslash replaced by a blank. Names compare
    // without regard to letter case. Opening twice needs closing twice.
    bool openFile(std::string_view sessionId, std::string_view fileName, FileRef file);
    bool closeFile(std::string_view sessionId, std::string_view fileName);
    FileRef frameSource(std::string_view sessionId, std::string_view sourceName);

    size_t sessionCount();

private:
    struct OpenFile {
        FileRef file;
        uint32_t uses = 0;
    };
    struct Session {
        std::string user;
        int64_t lastUse = 0;
        std::map<std::string, OpenFile> files;  // keyed by frame source name, lower case
    };

    int64_t now() const;
    Session* liveLocked(std::string_view sessionId);
    void sweepLocked();

    std::vector<UserAccount> users_;
    SessionOptions options_;
    std::mutex mutex_;
    std::map<std::string, Session, std::less<>> sessions_;
    std::mt19937_64 idSource_;
};

}  // namespace corvanta::recorder
