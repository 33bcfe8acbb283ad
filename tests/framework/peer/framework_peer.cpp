// The other process of the framework tests. It joins an instance by number,
// prints "ready" once set up, and plays one role until killed:
//   "filter NAME"          serves a SettingsFilter;
//   "logger"               is "Main Event Logger" and prints one line per event record;
//   "stream NAME"          a filter with a 1600x1200 RGB frame region and a mutex it holds.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "framework/FilterCodes.h"
#include "framework/InstanceNames.h"
#include "stores/CRWSMemory.h"
#include "support/TestFilters.h"

using namespace corvanta;

namespace {

// "event" type, code, class, type code and data length, then name|display name|note|text.
// Not built on test::EventCollector: its queue thread starts in the base's
// constructor and could call an override before this object is complete.
class PrintingLogger : public CFilter {
public:
    PrintingLogger() {
        Init(CFilterDescriptor{.name = kEventLoggerName, .classCode = kFilterClassService,
                               .typeCode = kFilterTypeNone, .version = "1.0.0"});
    }
    ~PrintingLogger() override { Close(); }
    int OnIcp(IcpRecord* q, IcpRecord* a) override {
        if (q->kind != kIcpCommand || q->code != kEventLogCommand || q->dataLength != sizeof(EventRecord)) return 0;
        EventRecord r;
        std::memcpy(&r, q->data, sizeof r);
        Print(r);
        a->status = kIcpStatusDone;
        return 1;
    }

private:
    static void Print(const EventRecord& r) {
        auto field = [](const char* f, size_t n) { return std::string(f, strnlen(f, n)); };
        std::printf("event %u %u %u %u %u %u %s|%s|%s|%s\n", r.valid, r.eventType, r.eventCode, r.sourceClass,
                    r.sourceType, r.dataLength, field(r.sourceName, sizeof r.sourceName).c_str(),
                    field(r.sourceDisplayName, sizeof r.sourceDisplayName).c_str(),
                    field(r.note, sizeof r.note).c_str(), test::EventCollector::Text(r).c_str());
        std::fflush(stdout);
    }
};

int ReadyAndWait(const std::string& line = "ready") {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    pause();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 1;
    InstanceNames::SetInstanceNumber(std::atoi(argv[1]));
    std::string role = argv[2];
    if (role == "logger") {
        PrintingLogger logger;
        return ReadyAndWait();
    }
    if (argc < 4) return 1;
    if (role == "filter") {
        test::SettingsFilter filter(argv[3]);
        return ReadyAndWait();
    }
    if (role == "stream") {
        test::SettingsFilter filter(argv[3]);
        CRWSMemory frame;
        CNamedMutex held;
        std::string name = argv[3];
        if (!frame.Create(5760000, (name + " frame").c_str(), true) || !held.Create((name + " held").c_str()) ||
            !held.Lock())
            return 2;
        return ReadyAndWait();
    }
    return 1;
}
