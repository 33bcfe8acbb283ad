#pragma once
// A folder of camera recordings served as the recorder's archive. The
// folder is scanned at start and again every few seconds; files the index
// database does not know yet are probed by background threads, newest first,
// and show up in the archive as they are indexed. Names the viewer sends
// are looked up among the files handed out, never opened as paths.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "recorder/RecordedArchive.h"
#include "recorder/folder/FolderCatalogue.h"
#include "recorder/folder/FolderIndexer.h"
#include "recorder/folder/FolderScanner.h"
#include "recorder/folder/FrameReader.h"
#include "recorder/folder/FramePool.h"

namespace corvanta::recorder::folder {

class IndexDatabase;
struct MediaSpan;

struct FolderArchiveOptions {
    std::string dir;
    std::string indexFile;  // empty: IndexDatabase::defaultPath()
    unsigned indexThreads = 2;
    unsigned rescanSeconds = 10;
    FrameReaderOptions frames;
    std::function<void(const std::string&)> log;  // notes and progress; default standard error
    MediaProbe probe;                              // reads a file through; empty: probeMedia
};

// The start of a recording: the layout's time for dated and segment files;
// for flat files the container's creation time, else the name's, else the
// modification time less the duration.
Seconds recordingStart(const ScannedFile& file, std::optional<int64_t> creationTimeUtc, int64_t durationMs);

// Local wall-clock seconds of a time in seconds since 1970 UTC.
Seconds localFromUtc(int64_t utcSeconds);

class FolderArchive final : public RecordedArchive {
public:
    explicit FolderArchive(FolderArchiveOptions options);
    ~FolderArchive() override;

    // Opens the index, scans, serves what the index knows and starts the
    // background work. False with `error` when the folder cannot be listed
    // or the index cannot be opened.
    bool start(std::string* error);
    void stop();

    // Looks for new, changed and removed files now.
    void rescan();
    // Waits until every file of the last scan is indexed (or failed); false on timeout.
    bool waitIndexed(int timeoutMs);

    size_t servedFiles() const { return catalogue_.fileCount(); }
    size_t cameras() const { return catalogue_.sources().size(); }
    const std::string& indexPath() const { return indexPath_; }

    std::vector<ArchiveSource> sources() const override { return catalogue_.sources(); }
    std::optional<ArchiveSource> findSource(std::string_view id) const override { return catalogue_.findSource(id); }
    std::vector<uint32_t> months(uint32_t source) const override { return catalogue_.months(source); }
    std::vector<uint8_t> days(uint32_t source, int year, unsigned month) const override {
        return catalogue_.days(source, year, month);
    }
    std::vector<FileRef> overlapping(uint32_t source, Seconds from, Seconds until) const override {
        return catalogue_.overlapping(source, from, until);
    }
    bool hasFileNumber(uint32_t source, uint32_t fileNumber) const override {
        return catalogue_.hasFileNumber(source, fileNumber);
    }
    FileRef findFile(std::string_view fileName) const override;
    std::vector<uint8_t> activity(uint32_t source, Seconds from, uint32_t count) const override;
    std::vector<uint32_t> frameTable(uint32_t source, Seconds from, uint32_t count) const override {
        return catalogue_.frameTable(source, from, count);
    }
    std::optional<ServedFrame> frame(const FileRef& file, uint32_t index) override;

private:
    struct Known {
        ScannedFile scanned;
        std::shared_ptr<const MediaSummary> summary;  // null until indexed, or when it failed
        bool done = false;                       // indexed or failed
        std::shared_ptr<const MediaSpan> span;   // from the header, while not indexed
        bool spanRead = false;                   // its header was read, telling a span or not
    };
    void log(const std::string& line) const;
    std::unique_ptr<FrameDecoder> openFile(const FolderFile& file, std::string* error);
    void indexed(const ScannedFile& file, const IndexEntry& entry, bool probed);
    void publish();
    void backgroundLoop();
    void spanLoop();
    std::optional<std::string> nextSpanToProbe();

    FolderArchiveOptions options_;
    std::string indexPath_;
    FolderCatalogue catalogue_;
    mutable FramePool pool_;
    std::unique_ptr<IndexDatabase> database_;
    std::unique_ptr<FolderIndexer> indexer_;

    std::mutex rescanMutex_;  // one scan at a time: the background's and a caller's
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::string, Known> known_;  // by relative path
    size_t pending_ = 0;                  // files of the last scan not yet indexed
    size_t failuresSaid_ = 0;             // broken files noted, up to a cap
    bool dirty_ = false;                  // indexed files not yet published
    bool stopping_ = false;
    // Files of the last scan whose header is still to be read, newest day first.
    std::vector<std::string> spansToProbe_;
    size_t nextSpan_ = 0;
    std::thread background_;
    std::thread spans_;
};

}  // namespace corvanta::recorder::folder
