#pragma once
// Which process holds or waits for a file lock on our shared-memory objects (/proc/locks).

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>


namespace corvanta::test {

struct FileLock {
    bool waiting = false;
    pid_t pid = 0;
    unsigned major = 0, minor = 0;
    unsigned long inode = 0;
};

inline std::vector<FileLock> FlockLocks() {
    std::vector<FileLock> locks;
    std::ifstream in("/proc/locks");
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string number, kind, advisory, mode, device;
        FileLock l;
        fields >> number >> kind;
        if (kind == "->") {
            l.waiting = true;
            fields >> kind;
        }
        fields >> advisory >> mode >> l.pid >> device;
        if (kind == "FLOCK" && std::sscanf(device.c_str(), "%x:%x:%lu", &l.major, &l.minor, &l.inode) == 3)
            locks.push_back(l);
    }
    return locks;
}

// True while `pid` is blocked waiting for a file lock.
inline bool WaitingForFileLock(pid_t pid) {
    for (const auto& l : FlockLocks())
        if (l.waiting && l.pid == pid) return true;
    return false;
}

struct HeldObject {
    std::string path;
    size_t size = 0;
    ino_t inode = 0;

    // False once removed, also when a new object of the same name took its place.
    bool StillThere() const {
        struct stat st{};
        return stat(path.c_str(), &st) == 0 && st.st_ino == inode;
    }
};

// Our objects in /dev/shm that `pid` holds a lock on and no other process does.
inline std::vector<HeldObject> ObjectsHeldOnlyBy(pid_t pid) {
    auto locks = FlockLocks();
    std::string prefix = "corvanta." + std::to_string(getuid()) + ".";
    std::vector<HeldObject> held;
    DIR* dir = opendir("/dev/shm");
    if (!dir) return held;
    while (const dirent* e = readdir(dir)) {
        std::string path = std::string("/dev/shm/") + e->d_name;
        struct stat st{};
        if (std::string(e->d_name).rfind(prefix, 0) != 0 || stat(path.c_str(), &st) != 0) continue;
        std::set<pid_t> holders;
        for (const auto& l : locks)
            if (!l.waiting && l.inode == st.st_ino && l.major == major(st.st_dev) && l.minor == minor(st.st_dev))
                holders.insert(l.pid);
        if (holders == std::set<pid_t>{pid}) held.push_back({path, size_t(st.st_size), st.st_ino});
    }
    closedir(dir);
    return held;
}

}  // namespace corvanta::test
