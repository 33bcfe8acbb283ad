#pragma once
// The served view of a folder of recordings: its cameras as sources and its
// indexed files as recordings, answering the archive's questions from what
// indexing stored. Rebuilt as a whole when the folder or the index changes;
// readers keep the files they hold (shared), so a rebuild never pulls a file
// from under a request.

#include <map>
#include <memory>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "recorder/RecordedArchive.h"
#include "recorder/folder/MediaSummary.h"

namespace corvanta::recorder::folder {

// One indexed file of the folder.
struct CatalogueEntry {
    std::string sourceId;     // from the camera's name, fitting the wire's fields
    std::string displayName;  // the camera's folder name
    std::string relPath;      // under the folder, '/'-separated bytes
    std::string absPath;      // what the media layer opens
    Seconds start = 0;        // local wall-clock time of the first frame
    uint64_t size = 0;        // the version indexed, by which its details are read again
    int64_t mtimeNs = 0;
    std::shared_ptr<const MediaSummary> summary;
};

// The seconds a file not yet indexed covers, from its container's header:
// recorded, motion not yet known.
struct PendingSpan {
    std::string sourceId;
    Seconds start = 0;
    Seconds stop = 0;  // exclusive
};

struct FolderFile final : ArchiveFile {
    std::string relPath;
    std::string absPath;
    uint64_t size = 0;
    int64_t mtimeNs = 0;
    std::shared_ptr<const MediaSummary> summary;
};

// Served name of a file: its path under the folder with backslashes, as a
// recorder's file system names it; longer than the wire's field: nothing.
std::optional<std::string> servedFileName(const std::string& relPath);

class FolderCatalogue {
public:
    // Replaces what is served: the files, and the cameras, which are listed
    // before any of their files is indexed. A file keeps its number across
    // rebuilds as long as its path does; sources keep their order of first
    // appearance. Pending spans list their days and answer their seconds'
    // activity as 0 where no indexed file says more; they are not files.
    void rebuild(std::vector<CatalogueEntry> entries, std::vector<ArchiveSource> cameras = {},
                 std::vector<PendingSpan> pending = {});

    std::vector<ArchiveSource> sources() const;
    std::optional<ArchiveSource> findSource(std::string_view id) const;
    std::vector<uint32_t> months(uint32_t source) const;
    std::vector<uint8_t> days(uint32_t source, int year, unsigned month) const;
    std::vector<FileRef> overlapping(uint32_t source, Seconds from, Seconds until) const;
    bool hasFileNumber(uint32_t source, uint32_t fileNumber) const;
    FileRef findFile(std::string_view fileName) const;
    std::vector<uint8_t> activity(uint32_t source, Seconds from, uint32_t count) const;
    std::vector<uint32_t> frameTable(uint32_t source, Seconds from, uint32_t count) const;

    size_t fileCount() const;

private:
    struct Source {
        ArchiveSource info;
        std::vector<std::shared_ptr<const FolderFile>> files;  // by start, then path
        Seconds longest = 0;                                    // longest file, bounds overlap searches
        std::vector<std::pair<Seconds, Seconds>> pending;       // [start, stop) of files being indexed
    };
    bool pendingOverlaps(const Source& s, Seconds from, Seconds until) const;
    std::vector<std::shared_ptr<const FolderFile>> overlappingLocked(uint32_t source, Seconds from,
                                                                     Seconds until) const;

    mutable std::shared_mutex mutex_;
    std::vector<Source> sources_;
    std::unordered_map<std::string, std::shared_ptr<const FolderFile>> byName_;  // lower-case served name
    std::map<std::string, uint32_t> numbers_;  // path -> file number, kept across rebuilds
    uint32_t nextNumber_ = 1;
    std::vector<std::string> sourceOrder_;  // ids in order of first appearance, kept across rebuilds
    size_t fileCount_ = 0;
};

}  // namespace corvanta::recorder::folder
