#pragma once
// Background indexing of a scanned folder: files already in the index
// database are reported at once; the others are probed by worker threads,
// newest day first (what a user looks at first), and each result is stored
// as soon as it is known, so stopping or a kill loses at most the files
// being probed. Progress goes to a sink (standard error by default): files
// done / total and the time left, at most about once a second, and a last
// line when the run ends.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "recorder/folder/FolderScanner.h"
#include "recorder/folder/IndexDatabase.h"
#include "recorder/folder/MediaInfo.h"

namespace corvanta::recorder::folder {

// Reads a video file through; nothing (with *error) when it cannot.
using MediaProbe = std::function<std::optional<MediaInfo>(const std::string& absolutePath, std::string* error)>;

// Called once per file done, from the indexer's threads, possibly several
// at once: `probed` is false when the entry came from the index.
using IndexCallback = std::function<void(const ScannedFile& file, const IndexEntry& entry, bool probed)>;

struct IndexerOptions {
    unsigned threads = 2;
    // Gets one line at a time (never two threads at once); empty: std::cerr.
    std::function<void(const std::string& line)> progress;
};

struct IndexerStats {
    size_t total = 0;
    size_t done = 0;    // found + probed
    size_t found = 0;   // known to the index, failures included
    size_t probed = 0;  // probed in this run, failures included
    size_t failed = 0;  // probed in this run and failed
};

// start(), requestStop(), stop() and wait() belong to one controlling
// thread; stats() and running() may be asked from any thread.
class FolderIndexer {
public:
    // root is the scanned folder: files are probed at root + "/" + relPath.
    // The database must outlive the indexer.
    FolderIndexer(std::string root, IndexDatabase& database, MediaProbe probe, IndexerOptions options = {});
    ~FolderIndexer();
    FolderIndexer(const FolderIndexer&) = delete;
    FolderIndexer& operator=(const FolderIndexer&) = delete;

    // Starts a run over the files (a run in progress is stopped first).
    void start(std::vector<ScannedFile> files, IndexCallback onDone);
    // Asks the run to stop; probes in progress finish and are stored.
    void requestStop();
    // requestStop() and waits for the threads.
    void stop();
    // Waits until the run has done every file or was stopped.
    void wait();

    bool running() const { return !finished_.load(); }
    IndexerStats stats() const;

    // Newest day first (from the name's start, else the modification time),
    // in path order within a day.
    static void sortNewestDayFirst(std::vector<ScannedFile>& files);

private:
    void run();
    void work();
    void finishFile(const ScannedFile& file, const IndexEntry& entry, bool probed);
    void report(bool last);
    void say(const std::string& line);

    const std::string root_;
    IndexDatabase& database_;
    const MediaProbe probe_;
    const unsigned threads_;
    const std::function<void(const std::string&)> progress_;

    std::vector<ScannedFile> files_;
    std::vector<size_t> toProbe_;  // indexes into files_
    IndexCallback onDone_;
    std::thread runner_;
    std::atomic<size_t> next_{0};
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{true};

    std::mutex sinkMutex_;      // one progress line at a time
    mutable std::mutex mutex_;  // guards the fields below
    IndexerStats stats_;
    std::chrono::steady_clock::time_point started_, probingStarted_, lastReport_;
};

}  // namespace corvanta::recorder::folder
