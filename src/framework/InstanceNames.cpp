#include "framework/InstanceNames.h"

#include <atomic>
#include <ctime>

namespace corvanta {
namespace {

std::atomic<int> g_instance{0};

std::string WithNumber(const char* text) { return text + std::to_string(g_instance.load()); }

}  // namespace

int DrawInstanceNumber(long long seconds) {
    uint32_t state = uint32_t(seconds);
    state = state * 214013u + 2531011u;
    return int((state >> 16) & 0x7FFF);
}

int DrawInstanceNumber() { return DrawInstanceNumber(static_cast<long long>(std::time(nullptr))); }

void InstanceNames::SetInstanceNumber(int number) { g_instance = number; }
int InstanceNames::InstanceNumber() { return g_instance; }

std::string InstanceNames::ManagerQueueName() { return WithNumber("Message Queue Manager "); }
std::string InstanceNames::DirectoryRegion() { return WithNumber("MessageQueueManager Memory "); }
std::string InstanceNames::QueueRecordSuffix() { return WithNumber(" QueueMemory "); }
std::string InstanceNames::FilterInfoSuffix() { return WithNumber(" FilterMemory "); }
std::string InstanceNames::QueryRegionSuffix() { return WithNumber(" IPCQMemory "); }
std::string InstanceNames::AnswerRegionSuffix() { return WithNumber(" IPCAMemory "); }
std::string InstanceNames::PinRegionSuffix() { return WithNumber(" PINMemory "); }

std::string InstanceNames::PinRegion(const std::string& filter, int pin) {
    return filter + " PIN " + std::to_string(pin) + PinRegionSuffix();
}

}  // namespace corvanta
