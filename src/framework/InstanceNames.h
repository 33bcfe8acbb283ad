#pragma once
// The names every shared region and the manager queue of one instance carry.
// An instance is one number; processes that know it reach each other's filters.

#include <string>

namespace corvanta {

// Draws a number from 0 to 32767 as the C library's rand() would after
// srand(seconds): two instances started in the same second share one.
int DrawInstanceNumber(long long seconds);
int DrawInstanceNumber();

class InstanceNames {
public:
    // Process-wide; set once at start-up, before any queue or filter exists.
    static void SetInstanceNumber(int number);
    static int InstanceNumber();

    static std::string ManagerQueueName();   // "Message Queue Manager %d"
    static std::string DirectoryRegion();    // "MessageQueueManager Memory %d"
    static std::string QueueRecordSuffix();  // " QueueMemory %d"
    static std::string FilterInfoSuffix();   // " FilterMemory %d"
    static std::string QueryRegionSuffix();  // " IPCQMemory %d"
    static std::string AnswerRegionSuffix(); // " IPCAMemory %d"
    static std::string PinRegionSuffix();    // " PINMemory %d"

    // Region names: the name followed by the suffix ("%s%s").
    static std::string QueueRecordRegion(const std::string& queue) { return queue + QueueRecordSuffix(); }
    static std::string FilterInfoRegion(const std::string& filter) { return filter + FilterInfoSuffix(); }
    static std::string QueryRegion(const std::string& filter) { return filter + QueryRegionSuffix(); }
    static std::string AnswerRegion(const std::string& filter) { return filter + AnswerRegionSuffix(); }
    // "%s PIN %d%s": owner filter, pin number, suffix.
    static std::string PinRegion(const std::string& filter, int pin);
};

}  // namespace corvanta
