#pragma once
// The recorder stand-in as a library: an HTTP server that answers
// "GET .../Filter?Message&SID=..&Name=..&Data=.." over the demo archive.
// Tests start it on port 0 and stop it again; the executable wraps it.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "recorder/Calendar.h"
#include "recorder/DemoArchive.h"
#include "recorder/FaultInjector.h"
#include "recorder/FrameStore.h"
#include "recorder/RecordedArchive.h"
#include "recorder/SessionTable.h"

namespace corvanta::recorder {

namespace folder {
class FolderArchive;
}

// A folder of camera recordings to serve instead of the demo archive.
struct FolderConfig {
    std::string dir;          // empty: the demo archive
    std::string indexFile;    // empty: the default under the user's cache folder
    unsigned indexThreads = 2;
    unsigned rescanSeconds = 10;
};

struct RecorderConfig {
    std::string bindAddress = "127.0.0.1";
    int port = 8080;       // 0 picks a free port; port() tells which
    unsigned threads = 8;  // connections served at the same time
    uint64_t seed = 1;     // the demo archive's seed
    std::vector<SourceRate> rates = {};  // sources recorded at another rate than the demo's
    bool busySource = false;        // adds a source with some 540 files a day
    std::optional<CivilDate> anchorDate;  // the archive's last day; default today
    std::vector<UserAccount> users = defaultUsers();
    FrameStoreOptions frames;
    FolderConfig folder;
    SessionOptions sessions;
    FaultConfig faults;
    int verbosity = 0;  // 0 quiet, 1 one line per request, 2 also successful answers' details
    std::function<void(const std::string&)> log;  // receives log lines; default: standard error
    std::vector<SourceRename> renames = {};  // sources with another id and name than the demo's
};

struct RecorderStats {
    uint64_t requests = 0;
    uint64_t refused = 0;   // answered with an empty body by the service
    uint64_t faulted = 0;   // answers changed by fault injection
    uint32_t connections = 0;  // connections being served now (not those waiting for a thread)
    FaultStats waits;          // requests held back by the delay or a stall
    FrameStoreStats frames;
};

class RecorderServer {
public:
    explicit RecorderServer(RecorderConfig config);
    ~RecorderServer();  // stops the server
    RecorderServer(const RecorderServer&) = delete;
    RecorderServer& operator=(const RecorderServer&) = delete;

    // Binds and starts serving on a thread of its own. Returns false (and
    // says why in `error`) when the address cannot be bound. A server is
    // started once.
    bool start(std::string* error = nullptr);
    // Stops accepting, ends waiting requests and joins every thread.
    void stop();
    bool running() const;

    int port() const;
    std::string baseUrl() const;  // "http://address:port"

    void setFaults(const FaultConfig& faults);
    FaultConfig faults() const;
    // Makes every request that arrives within the next `ms` milliseconds wait until then.
    void stallFor(uint32_t ms);

    // The demo archive; throws std::logic_error when a folder is served.
    const DemoArchive& archive() const;
    RecordedArchive& recorded() const;
    // The folder served, or null for the demo archive.
    folder::FolderArchive* folderArchive() const;
    RecorderStats stats() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace corvanta::recorder
