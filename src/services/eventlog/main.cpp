// corvanta-eventlog: joins a running instance by its number, registers as
// the filter "Main Event Logger" and prints every event report it receives
// as one line. It starts no queue manager of its own: it only announces its
// queue to the instance's manager, so it never takes over the directory.

#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "framework/CFilter.h"
#include "framework/CMessageQueueManager.h"
#include "framework/EventReport.h"
#include "framework/FilterCodes.h"
#include "framework/InstanceNames.h"

using namespace corvanta;

namespace {

constexpr const char* kUsage =
    "Usage: corvanta-eventlog INSTANCE\n"
    "       corvanta-eventlog --help\n"
    "\n"
    "Joins the running instance numbered INSTANCE (the InstanceNumber of a control,\n"
    "0 to 32767 for a control started normally), registers as the filter\n"
    "\"Main Event Logger\" and prints every event report the instance's filters\n"
    "send, one line each:\n"
    "\n"
    "  YYYY-MM-DD hh:mm:ss.mmm | source (display name) | type T | code C | [note N | ]text\n"
    "\n"
    "Data that is not text is printed as hexadecimal after \"data\". The logger is\n"
    "entered in the instance's directory by its queue manager within half a second\n"
    "of starting, or of the manager coming up. Reports sent before that are lost.\n"
    "Stop it with Ctrl+C (SIGINT) or SIGTERM.\n";

// Prints what command 9 brings; refuses everything else it is not built for.
class CEventLogFilter : public CFilter {
public:
    ~CEventLogFilter() override { Close(); }
    int OnIcp(IcpRecord* query, IcpRecord* answer) override {
        if (query->kind != kIcpCommand || query->code != kEventLogCommand) {
            answer->status = kIcpStatusFailed;
            return 0;
        }
        if (query->dataLength != sizeof(EventRecord)) {
            std::fprintf(stderr, "corvanta-eventlog: ignored a report of %u bytes\n", query->dataLength);
            answer->status = kIcpStatusFailed;
            return 0;
        }
        EventRecord record;
        std::memcpy(&record, query->data, sizeof record);
        std::string line = FormatEventRecord(record);
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
        answer->kind = kIcpCommandAnswer;
        answer->status = kIcpStatusDone;
        return 1;
    }
};

bool ParseInstance(const char* text, int* number) {
    char* end = nullptr;
    errno = 0;
    long n = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || n < 0 || n > 0x7FFFFFFF) return false;
    *number = int(n);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    int instance = 0;
    if (argc != 2 || !ParseInstance(argv[1], &instance)) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    // Every thread made from here on inherits the blocked signals, so only
    // sigwait below sees them and shutdown runs on the main thread.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    InstanceNames::SetInstanceNumber(instance);
    // Two filters of one name would share their request regions.
    if (CMessageQueueManager::FindQueue(kEventLoggerName)) {
        std::fprintf(stderr, "corvanta-eventlog: instance %d already has a \"%s\"\n", instance, kEventLoggerName);
        return 1;
    }

    CEventLogFilter logger;
    if (!logger.Init(CFilterDescriptor{.name = kEventLoggerName, .classCode = kFilterClassService,
                                       .typeCode = kFilterTypeNone, .version = "1.0.0"})) {
        std::fprintf(stderr, "corvanta-eventlog: cannot register \"%s\"\n", kEventLoggerName);
        return 1;
    }
    logger.PublishInfo();
    std::printf("corvanta-eventlog: listening on instance %d as \"%s\"\n", instance, kEventLoggerName);
    std::fflush(stdout);

    int received = 0;
    sigwait(&stopSignals, &received);
    logger.Disconnect();
    logger.Close();
    std::fprintf(stderr, "corvanta-eventlog: stopped (%s)\n", received == SIGINT ? "SIGINT" : "SIGTERM");
    return 0;
}
