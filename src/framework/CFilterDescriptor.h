#pragma once
#include <cstdint>
#include <string>

#include "platform/WindowTypes.h"

namespace corvanta {

// What a filter is started with: its name, its published codes, the sizes of
// its ICP regions and how its queue runs. The constructor takes the fields in
// this order; every argument has the default given here.
class CFilterDescriptor {
public:
    CFilterDescriptor(std::string name = "Unknown", uint32_t classCode = 0, uint32_t typeCode = 0,
                      uint32_t thirdCode = 0, uint32_t loopEnabled = 0, uint32_t ownThread = 1,
                      std::string version = "0.0.0", uint32_t queryCapacity = 16000, uint32_t answerCapacity = 16000,
                      uint32_t spareNumber = 10, int threadPriority = 0, platform::Hwnd parentWindow = 0,
                      uint32_t sequenceNumber = 0);
    virtual ~CFilterDescriptor() = default;
    CFilterDescriptor(const CFilterDescriptor&) = default;
    CFilterDescriptor& operator=(const CFilterDescriptor&) = default;

    std::string name;            // also the queue name and the stem of every region name
    uint32_t classCode;          // published; carried into event reports
    uint32_t typeCode;           // published; carried into event reports
    uint32_t thirdCode;          // published, never interpreted
    uint32_t loopEnabled;        // FILTER_START starts the 10 ms loop calling CB_Loop
    uint32_t ownThread;          // 1: the queue runs on a thread of its own; 0: on the thread calling Init
    std::string version;         // published
    uint32_t queryCapacity;      // data bytes of the ICP query region
    uint32_t answerCapacity;     // data bytes of the ICP answer region
    uint32_t spareNumber;        // kept with the filter, never interpreted
    int threadPriority;          // priority of the own thread
    platform::Hwnd parentWindow; // parent of the queue window
    uint32_t sequenceNumber;     // overwritten by Init from a process-wide counter
    uint32_t loopArgument = 0;   // handed to CB_Loop
};

}  // namespace corvanta
