#pragma once
#include <cstdint>

#include "framework/IcpRecord.h"
#include "platform/WindowTypes.h"

namespace corvanta {

// What a filter queue needs of the filter it serves. The filter base
// implements it; the queue never sees anything else of the filter.
class CFilterQueueOwner {
public:
    virtual ~CFilterQueueOwner() = default;
    // One of the nine filter messages (or another registered number).
    virtual platform::LResult HandleFilterMessage(uint32_t msg, platform::WParam w, platform::LParam l) = 0;
    // The guarded loop and timer hooks.
    virtual int GuardedLoop(uint32_t argument) = 0;
    virtual int GuardedTimer(uint32_t timer) = 0;
    // Tells the pin targets again, only those not yet told.
    virtual int NotifyNewTargets() = 0;
    // The target side of an ICP exchange on the filter's two records.
    virtual int DispatchIcp(IcpRecord* query, IcpRecord* answer) = 0;
};

}  // namespace corvanta
