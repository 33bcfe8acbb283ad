#include "recorder/folder/FolderScanner.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <utility>

namespace corvanta::recorder::folder {
namespace {

constexpr int kMaxFolderDepth = 4;  // the dated layout's day folder

class Walker {
public:
    explicit Walker(const ScanOptions& options) : options_(options) {}

    ScanResult run(const std::string& root) {
        const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat st{};
        if (fd < 0 || ::fstat(fd, &st) != 0) {
            if (fd >= 0) ::close(fd);
            note(root, std::strerror(errno));
            result_.rootReadable = false;
        } else {
            visited_.insert({st.st_dev, st.st_ino});
            walk(fd, "", 0);
        }
        finish();
        return std::move(result_);
    }

private:
    void note(const std::string& what, const std::string& why) {
        ++result_.skipped;
        if (result_.notes.size() < options_.maxNotes) result_.notes.push_back("skipped " + what + ": " + why);
    }

    void finish() {
        const size_t noted = result_.notes.size();
        if (result_.skipped > noted)
            result_.notes.push_back("skipped " + std::to_string(result_.skipped - noted) + " more entries");
        std::sort(result_.files.begin(), result_.files.end(),
                  [](const ScannedFile& a, const ScannedFile& b) { return a.relPath < b.relPath; });
    }

    // Takes ownership of fd. Entries are taken in name order so which of two
    // paths to the same folder wins does not depend on the file system's order.
    void walk(int fd, const std::string& rel, int depth) {
        DIR* dir = ::fdopendir(fd);
        if (!dir) {
            ::close(fd);
            note(rel, std::strerror(errno));
            return;
        }
        std::vector<std::pair<bool, std::string>> entries;  // (is a link, name)
        errno = 0;
        while (const dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] != '.') entries.emplace_back(isLink(::dirfd(dir), *entry), entry->d_name);
            errno = 0;
        }
        if (errno != 0) note(rel, std::string("listing stopped: ") + std::strerror(errno));
        // Real entries before links, so a folder reached both ways keeps its real path.
        std::sort(entries.begin(), entries.end());
        for (const auto& [link, name] : entries) visit(::dirfd(dir), rel.empty() ? name : rel + "/" + name, name, depth);
        ::closedir(dir);
    }

    static bool isLink(int dirFd, const dirent& entry) {
        if (entry.d_type != DT_UNKNOWN) return entry.d_type == DT_LNK;
        struct stat st{};
        return ::fstatat(dirFd, entry.d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
    }

    void visit(int dirFd, const std::string& rel, const std::string& name, int depth) {
        struct stat st{};
        if (::fstatat(dirFd, name.c_str(), &st, 0) != 0) {
            if (isVideoName(name) || errno != ENOENT) note(rel, std::strerror(errno));  // ENOENT: a dangling link
            return;
        }
        if (S_ISDIR(st.st_mode)) return enter(dirFd, rel, name, st, depth);
        if (!isVideoName(name)) return;  // thumbnails, logs, databases: not ours, not worth a note
        if (!S_ISREG(st.st_mode)) return note(rel, "not a regular file");
        auto match = matchLayout(rel);
        if (!match) return note(rel, "fits no folder layout");
        result_.files.push_back(ScannedFile{rel, std::move(match->camera), match->layout, match->start,
                                            static_cast<uint64_t>(st.st_size),
                                            int64_t{st.st_mtim.tv_sec} * 1'000'000'000 + st.st_mtim.tv_nsec});
    }

    void enter(int dirFd, const std::string& rel, const std::string& name, const struct stat& st, int depth) {
        if (depth >= kMaxFolderDepth) return;
        if (!visited_.insert({st.st_dev, st.st_ino}).second) return note(rel, "folder already listed (a link loop or a second path)");
        const int fd = ::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return note(rel, std::strerror(errno));
        walk(fd, rel, depth + 1);
    }

    const ScanOptions& options_;
    ScanResult result_;
    std::set<std::pair<dev_t, ino_t>> visited_;
};

}  // namespace

ScanResult scanFolder(const std::string& root, const ScanOptions& options) { return Walker(options).run(root); }

}  // namespace corvanta::recorder::folder
