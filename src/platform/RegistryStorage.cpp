#include "platform/RegistryStorage.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string_view>
#include <utility>

namespace corvanta::platform {
namespace {

// Larger files are not a registry this program wrote; they are set aside
// like any other unreadable file instead of being loaded into memory.
constexpr size_t kMaxFileBytes = 64u << 20;

std::string FolderOf(const std::string& file) {
    size_t slash = file.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return file.substr(0, slash);
}

SysResult<bool> MakeFolders(const std::string& folder) {
    std::string partial;
    size_t pos = 0;
    while (pos <= folder.size()) {
        size_t next = folder.find('/', pos);
        if (next == std::string::npos) next = folder.size();
        partial = folder.substr(0, next);
        pos = next + 1;
        if (partial.empty()) continue;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return LastError("mkdir");
    }
    return true;
}

// An open descriptor that is closed on every way out.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (m_fd >= 0) ::close(m_fd);
    }
    int Get() const { return m_fd; }
    int Release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

SysResult<int> OpenFile(const std::string& path, int flags, mode_t mode = 0600) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return LastError("open");
    return fd;
}

SysResult<bool> LockExclusive(int fd) {
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) return LastError("flock");
    }
    return true;
}

SysResult<bool> WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return LastError("write");
        }
        done += size_t(n);
    }
    return true;
}

// The whole file, or "missing" through the bool.
SysResult<bool> ReadAll(const std::string& path, std::string& out) {
    out.clear();
    auto opened = OpenFile(path, O_RDONLY);
    if (!opened) {
        if (opened.Error().error == ENOENT) return false;
        return opened.Error();
    }
    Fd fd(opened.Value());
    char buf[65536];
    while (true) {
        ssize_t n = ::read(fd.Get(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return LastError("read");
        }
        if (n == 0) break;
        out.append(buf, size_t(n));
        if (out.size() > kMaxFileBytes) return SysError{"read", EFBIG};
    }
    return true;
}

std::string AsideName(const std::string& file) {
    char stamp[32];
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &tm);
    std::string base = file + ".damaged-" + stamp + "-" + std::to_string(::getpid());
    std::string name = base;
    for (int i = 1; ::access(name.c_str(), F_OK) == 0; ++i) name = base + "-" + std::to_string(i);
    return name;
}

// Removes temporary files that a writer killed mid-write left behind. Only
// called under the lock, so no live writer is using one.
void RemoveStaleTemporaries(const std::string& folder, const std::string& file) {
    std::string prefix = file.substr(file.rfind('/') + 1) + ".tmp-";
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    while (dirent* entry = ::readdir(dir)) {
        if (std::string_view(entry->d_name).substr(0, prefix.size()) == prefix)
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

}  // namespace

RegistryStorage::RegistryStorage(std::string file) : m_file(std::move(file)) {}

std::string RegistryStorage::DefaultFile() {
    std::string base;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            passwd* pw = ::getpwuid(::getuid());
            home = pw ? pw->pw_dir : "/tmp";
        }
        base = std::string(home) + "/.config";
    }
    return base + "/corvanta/registry.reg";
}

SysResult<RegistryTree> RegistryStorage::ReadLocked() const {
    std::string text;
    auto read = ReadAll(m_file, text);
    bool big = !read && read.Error().error == EFBIG;
    if (!read && !big) return read.Error();
    if (read && !read.Value()) return RegistryTree{};

    RegistryTree tree;
    RegistryParseError err;
    if (!big && ParseRegistryText(text, tree, &err)) return tree;
    if (big) err = RegistryParseError{0, "file too large"};

    // The lock is held, so exactly one process moves the file and reports it.
    std::string aside = AsideName(m_file);
    if (::rename(m_file.c_str(), aside.c_str()) != 0) return LastError("rename");
    std::fprintf(stderr, "corvanta: registry file %s could not be read (line %zu: %s); kept as %s, starting empty\n",
                 m_file.c_str(), err.line, err.reason.c_str(), aside.c_str());
    return RegistryTree{};
}

SysResult<bool> RegistryStorage::WriteLocked(const RegistryTree& tree) const {
    std::string folder = FolderOf(m_file);
    RemoveStaleTemporaries(folder, m_file);
    std::string temp = m_file + ".tmp-XXXXXX";
    int raw = ::mkstemp(temp.data());
    if (raw < 0) return LastError("mkstemp");
    Fd fd(raw);
    ::fchmod(fd.Get(), 0600);
    auto cleanup = [&](SysError e) -> SysResult<bool> {
        ::unlink(temp.c_str());
        return e;
    };
    if (auto w = WriteAll(fd.Get(), FormatRegistryText(tree)); !w) return cleanup(w.Error());
    if (::fsync(fd.Get()) != 0) return cleanup(LastError("fsync"));
    if (::close(fd.Release()) != 0) return cleanup(LastError("close"));
    if (::rename(temp.c_str(), m_file.c_str()) != 0) return cleanup(LastError("rename"));
    // Make the rename itself durable.
    if (auto dir = OpenFile(folder, O_RDONLY | O_DIRECTORY)) {
        Fd dfd(dir.Value());
        ::fsync(dfd.Get());
    }
    return true;
}

SysResult<RegistryTree> RegistryStorage::Load() const {
    if (auto made = MakeFolders(FolderOf(m_file)); !made) return made.Error();
    auto opened = OpenFile(m_file + ".lock", O_RDWR | O_CREAT);
    if (!opened) return opened.Error();
    Fd lock(opened.Value());
    if (auto l = LockExclusive(lock.Get()); !l) return l.Error();
    return ReadLocked();  // the lock goes with the descriptor
}

SysResult<bool> RegistryStorage::Update(const std::function<bool(RegistryTree&)>& change) const {
    if (auto made = MakeFolders(FolderOf(m_file)); !made) return made.Error();
    auto opened = OpenFile(m_file + ".lock", O_RDWR | O_CREAT);
    if (!opened) return opened.Error();
    Fd lock(opened.Value());
    if (auto l = LockExclusive(lock.Get()); !l) return l.Error();
    auto tree = ReadLocked();
    if (!tree) return tree.Error();
    if (!change(tree.Value())) return false;
    if (auto w = WriteLocked(tree.Value()); !w) return w.Error();
    return true;
}

}  // namespace corvanta::platform
