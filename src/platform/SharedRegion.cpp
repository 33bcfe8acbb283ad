#include "platform/SharedRegion.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>

namespace corvanta::platform {
namespace {

uint64_t Fnv1a(std::string_view s) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : s) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

// Serialises open and close of regions between the threads of this process
// (std::mutex) and between processes (a file lock), so that "am I the last
// user" and "is this region stale" are answered without races.
class RegionLock {
public:
    RegionLock() {
        s_threads.lock();
        if (s_fd < 0) {
            std::string name = "/corvanta." + std::to_string(getuid()) + ".regions.lock";
            s_fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        }
        if (s_fd >= 0) {
            int rc;
            while ((rc = flock(s_fd, LOCK_EX)) != 0 && errno == EINTR) {
            }
            m_held = rc == 0;
        }
    }
    ~RegionLock() {
        if (m_held) flock(s_fd, LOCK_UN);
        s_threads.unlock();
    }
    // Without it other processes may be half-way through an open.
    bool Held() const { return m_held; }

private:
    bool m_held = false;
    static inline std::mutex s_threads;
    static inline int s_fd = -1;
};

std::string UserPrefix() { return "corvanta." + std::to_string(getuid()) + "."; }

// "<prefix><readable>.<16 hex digits>", as ObjectName makes them; the lock
// file and anything else of ours does not match.
bool IsRegionObject(std::string_view entry, std::string_view prefix) {
    constexpr size_t kHash = 16;
    if (entry.size() < prefix.size() + kHash + 1 || entry.substr(0, prefix.size()) != prefix) return false;
    if (entry[entry.size() - kHash - 1] != '.') return false;
    for (char c : entry.substr(entry.size() - kHash))
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

bool SameFile(int fd, const std::string& object) {
    struct stat a{}, b{};
    std::string path = "/dev/shm" + object;
    return fstat(fd, &a) == 0 && stat(path.c_str(), &b) == 0 && a.st_ino == b.st_ino && a.st_dev == b.st_dev;
}

}  // namespace

std::string SharedRegion::ObjectName(std::string_view name) {
    std::string readable;
    for (char c : name.substr(0, 60)) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        readable += plain ? c : '_';
    }
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(Fnv1a(name)));
    return "/" + UserPrefix() + readable + "." + hash;
}

SysResult<SharedRegion> SharedRegion::Open(std::string_view name, size_t size, Mode mode, const InitFn& init) {
    if (size == 0) return SysError{"region size", EINVAL};
    SharedRegion r;
    r.m_object = ObjectName(name);
    RegionLock lock;

    bool created = false;
    for (int attempt = 0; attempt < 2 && r.m_fd < 0; ++attempt) {
        if (mode == Mode::CreateOrOpen) {
            r.m_fd = shm_open(r.m_object.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (r.m_fd >= 0) {
                created = true;
                break;
            }
            if (errno != EEXIST) return LastError("shm_open");
        }
        r.m_fd = shm_open(r.m_object.c_str(), O_RDWR | O_CLOEXEC, 0600);
        if (r.m_fd < 0) return LastError("shm_open");
        // Nobody holds a lock: every user is gone, so whatever is in it is
        // left over from a killed process. Drop it and start clean.
        if (flock(r.m_fd, LOCK_EX | LOCK_NB) == 0) {
            shm_unlink(r.m_object.c_str());
            ::close(r.m_fd);
            r.m_fd = -1;
            if (mode == Mode::OpenExisting) return SysError{"shm_open", ENOENT};
        }
    }
    if (r.m_fd < 0) return SysError{"shm_open", EAGAIN};

    if (created) {
        if (ftruncate(r.m_fd, off_t(size)) != 0) {
            SysError e = LastError("ftruncate");
            shm_unlink(r.m_object.c_str());
            return e;
        }
    } else {
        struct stat st{};
        if (fstat(r.m_fd, &st) != 0) return LastError("fstat");
        if (size_t(st.st_size) < size) return SysError{"region size", EINVAL};
    }
    void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, r.m_fd, 0);
    if (p == MAP_FAILED) {
        SysError e = LastError("mmap");
        if (created) shm_unlink(r.m_object.c_str());
        return e;
    }
    r.m_data = p;
    r.m_size = size;
    r.m_existed = !created;
    if (created && init) init(p, size);
    // Until this lock is taken only the region lock keeps the object from
    // looking stale, to an opener and to a sweep alike.
    if (flock(r.m_fd, LOCK_SH) != 0) {
        SysError e = LastError("flock");
        if (created) shm_unlink(r.m_object.c_str());
        return e;
    }
    return r;
}

bool SharedRegion::InUse(std::string_view name) {
    std::string object = ObjectName(name);
    RegionLock lock;
    int fd = shm_open(object.c_str(), O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool used = flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return used;
}

size_t SharedRegion::RemoveUnused() {
    const std::string prefix = UserPrefix();
    RegionLock lock;
    DIR* dir = lock.Held() ? opendir("/dev/shm") : nullptr;
    if (!dir) return 0;
    int dirFd = dirfd(dir);
    size_t removed = 0;
    while (const dirent* e = readdir(dir)) {
        if (e->d_type != DT_REG || !IsRegionObject(e->d_name, prefix)) continue;
        int fd = openat(dirFd, e->d_name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        // Every user of a region holds a shared lock on it for as long as it
        // has it open, and nobody is half-way through opening one while we
        // hold the region lock: an exclusive lock means nobody uses it.
        if (flock(fd, LOCK_EX | LOCK_NB) == 0 && unlinkat(dirFd, e->d_name, 0) == 0) ++removed;
        ::close(fd);
    }
    closedir(dir);
    return removed;
}

SharedRegion::SharedRegion(SharedRegion&& o) noexcept { *this = std::move(o); }

SharedRegion& SharedRegion::operator=(SharedRegion&& o) noexcept {
    if (this != &o) {
        Close();
        m_object = std::move(o.m_object);
        m_fd = std::exchange(o.m_fd, -1);
        m_data = std::exchange(o.m_data, nullptr);
        m_size = std::exchange(o.m_size, 0);
        m_existed = o.m_existed;
    }
    return *this;
}

SharedRegion::~SharedRegion() { Close(); }

void SharedRegion::Close() {
    if (m_fd < 0) return;
    RegionLock lock;
    if (m_data) munmap(m_data, m_size);
    // Trading our shared lock for an exclusive one only works when nobody
    // else holds one: then we were the last user.
    if (flock(m_fd, LOCK_EX | LOCK_NB) == 0 && SameFile(m_fd, m_object)) shm_unlink(m_object.c_str());
    ::close(m_fd);
    m_fd = -1;
    m_data = nullptr;
    m_size = 0;
}

}  // namespace corvanta::platform
