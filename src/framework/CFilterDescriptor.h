#pragma once
#include <cstdint>
#include <string>

#include "platform/WindowTypes.h"

namespace corvanta {

// What a filter is started with: its name, its published codes, the sizes of
// its ICP regions and how its queue runs. Built with designated initialisers,
// naming only the fields that differ from the defaults given here, in the
// order they are declared:
//   CFilterDescriptor{.name = n, .classCode = kFilterClassDialog, .typeCode = kFilterTypePlayback}
struct CFilterDescriptor {
    std::string name = "Unknown";        // also the queue name and the stem of every region name
    uint32_t classCode = 0;              // published; carried into event reports (FilterCodes.h)
    uint32_t typeCode = 0;               // published; carried into event reports (FilterCodes.h)
    uint32_t thirdCode = 0;              // published, never interpreted
    uint32_t loopEnabled = 0;            // FILTER_START starts the 10 ms loop calling CB_Loop
    uint32_t ownThread = 1;              // 1: the queue runs on a thread of its own; 0: on the thread calling Init
    std::string version = "0.0.0";       // published
    uint32_t queryCapacity = 16000;      // data bytes of the ICP query region
    uint32_t answerCapacity = 16000;     // data bytes of the ICP answer region
    uint32_t spareNumber = 10;           // kept with the filter, never interpreted
    int threadPriority = 0;              // priority of the own thread
    platform::Hwnd parentWindow = 0;     // parent of the queue window
    uint32_t sequenceNumber = 0;         // overwritten by Init from a process-wide counter
    uint32_t loopArgument = 0;           // handed to CB_Loop
};

}  // namespace corvanta
