#include "platform/ProcessLiveness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace corvanta::platform {
namespace {

// Processes found running, each with a pidfd that becomes readable when it ends.
class KnownProcesses {
public:
    // 1 running, 0 ended, -1 not known.
    int Running(int32_t pid, uint64_t startTime) {
        std::lock_guard lock(m_mutex);
        for (Entry& e : m_entries) {
            if (e.fd < 0 || e.pid != pid || e.startTime != startTime) continue;
            pollfd p{e.fd, POLLIN, 0};
            if (poll(&p, 1, 0) == 0) return 1;
            Forget(e);
            return 0;
        }
        return -1;
    }

    void Remember(int32_t pid, uint64_t startTime, int fd) {
        std::lock_guard lock(m_mutex);
        Entry& e = m_entries[m_next];
        m_next = (m_next + 1) % m_entries.size();
        Forget(e);
        e = Entry{pid, startTime, fd};
    }

private:
    struct Entry {
        int32_t pid = 0;
        uint64_t startTime = 0;
        int fd = -1;
    };
    static void Forget(Entry& e) {
        if (e.fd >= 0) close(e.fd);
        e.fd = -1;
    }
    std::mutex m_mutex;
    std::array<Entry, 32> m_entries{};
    size_t m_next = 0;
};

KnownProcesses& Known() {
    static KnownProcesses* known = new KnownProcesses;  // used until the process ends
    return *known;
}

bool IdInUse(int32_t pid) { return kill(pid, 0) == 0 || errno == EPERM; }

}  // namespace

uint64_t ProcessStartTime(int32_t pid) {
    if (pid <= 0) return 0;
    char path[32];
    std::snprintf(path, sizeof path, "/proc/%d/stat", int(pid));
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char text[1024];
    const ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    if (n <= 0) return 0;
    text[n] = '\0';
    // The name in parentheses may hold blanks and parentheses: fields are
    // counted from the last ')'. The start time is field 22; the state, 3,
    // is the first after the name.
    const char* field = std::strrchr(text, ')');
    for (int i = 3; field && i <= 22; ++i) {
        field = std::strchr(field, ' ');
        if (field) ++field;
    }
    return field ? std::strtoull(field, nullptr, 10) : 0;
}

uint64_t OwnProcessStartTime() {
    static const uint64_t start = ProcessStartTime(int32_t(getpid()));
    return start;
}

bool ProcessRunning(int32_t pid, uint64_t startTime) {
    if (pid <= 0) return false;
    if (startTime == 0) return IdInUse(pid);
    if (const int known = Known().Running(pid, startTime); known >= 0) return known == 1;
    if (ProcessStartTime(pid) != startTime) return false;
    const int fd = int(syscall(SYS_pidfd_open, pid, 0));
    if (fd < 0) return IdInUse(pid);
    // Read again: the id may have changed hands before the pidfd was taken.
    // A process that ended but was not yet reaped keeps its id and start.
    pollfd ended{fd, POLLIN, 0};
    if (ProcessStartTime(pid) != startTime || poll(&ended, 1, 0) != 0) {
        close(fd);
        return false;
    }
    Known().Remember(pid, startTime, fd);
    return true;
}

}  // namespace corvanta::platform
