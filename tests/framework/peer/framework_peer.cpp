// The other process of the framework tests. It joins an instance by number
// and plays one role:
//   "target NAME"   serves ICP as IcpTestTarget until killed;
//   "get NAME SETTING"  prints what a GET of SETTING answers;
//   "set NAME SETTING VALUE"  sets a text and prints "set <result> <status>";
//   "lock REGION"   makes a region and holds it and a mutex named after it until killed;
//   "filter NAME"   serves a SettingsFilter until killed;
//   "logger"        registers "Main Event Logger" and prints one line per event record;
//   "pinowner NAME DATA"  a filter with ready pin 3 holding DATA, until killed.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "framework/CFilterIcpClient.h"
#include "framework/InstanceNames.h"
#include "stores/CSMemory.h"
#include "support/IcpTestTarget.h"
#include "support/TestFilters.h"

using namespace corvanta;

namespace {

// Prints every record: type, code, class, type code, data length, then the
// texts separated by '|'.
class PrintingLogger : public CFilter {
public:
    PrintingLogger() { Init(CFilterDescriptor(kEventLoggerName, 8, 0, 0, 0, 1, "1.0.0")); }
    int OnIcp(IcpRecord* q, IcpRecord* a) override {
        if (q->kind != kIcpCommand || q->code != kEventLogCommand || q->dataLength != sizeof(EventRecord)) return 0;
        EventRecord r;
        std::memcpy(&r, q->data, sizeof r);
        std::printf("event %u %u %u %u %u %u %s|%s|%s|%s\n", r.valid, r.eventType, r.eventCode, r.sourceClass,
                    r.sourceType, r.dataLength, std::string(r.sourceName, strnlen(r.sourceName, sizeof r.sourceName)).c_str(),
                    std::string(r.sourceDisplayName, strnlen(r.sourceDisplayName, sizeof r.sourceDisplayName)).c_str(),
                    std::string(r.note, strnlen(r.note, sizeof r.note)).c_str(), test::EventCollector::Text(r).c_str());
        std::fflush(stdout);
        a->status = kIcpStatusDone;
        return 1;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 1;
    InstanceNames::SetInstanceNumber(std::atoi(argv[1]));
    std::string role = argv[2];
    if (role == "logger") {
        PrintingLogger logger;
        std::printf("ready\n");
        std::fflush(stdout);
        pause();
        return 0;
    }
    if (argc < 4) return 1;
    if (role == "target") {
        test::IcpTestTarget target(argv[3], true);
        std::printf("ready %u\n", target.Queue().Window());
        std::fflush(stdout);
        pause();
        return 0;
    }
    if (role == "filter") {
        test::SettingsFilter filter(argv[3]);
        std::printf("ready\n");
        std::fflush(stdout);
        pause();
        return 0;
    }
    if (role == "pinowner" && argc == 5) {
        CFilter owner;
        owner.Init(CFilterDescriptor(argv[3]));
        auto* pin = new CPin(3);
        pin->text2 = "peer pin";
        std::string data = argv[4];
        pin->CreateMemory(argv[3], uint32_t(data.size()));
        pin->Write(data.data(), uint32_t(data.size()));
        pin->ready = true;
        owner.AddPin(pin);
        owner.Start(true);
        std::printf("ready %u\n", owner.Window());
        std::fflush(stdout);
        pause();
        return 0;
    }
    if (role == "get" && argc == 5) {
        CFilterIcpClient client;
        if (!client.Open(argv[3])) {
            std::printf("open failed\n");
            return 0;
        }
        std::string value;
        int ok = client.GetString(argv[4], &value);
        std::printf("get %d %s\n", ok, value.c_str());
        return 0;
    }
    if (role == "set" && argc == 6) {
        CFilterIcpClient client;
        if (!client.Open(argv[3])) {
            std::printf("open failed\n");
            return 0;
        }
        int ok = client.SetString(argv[4], argv[5]);
        std::printf("set %d %d\n", ok, client.Answer()->status);
        return 0;
    }
    if (role == "lock") {
        CSMemory region;
        CNamedMutex held;
        if (!region.Create(64, argv[3]) || !held.Create((std::string(argv[3]) + " held").c_str()) || !held.Lock())
            return 2;
        static_cast<char*>(region.Data())[0] = 'p';
        std::printf("ready\n");
        std::fflush(stdout);
        pause();
        return 0;
    }
    return 1;
}
