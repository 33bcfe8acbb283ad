#include "framework/CFilterQueue.h"

#include "framework/QueueTimers.h"

namespace corvanta {

CFilterQueue::~CFilterQueue() {
    // Close here, while the filter can still be called from the queue's thread.
    Close();
}

int CFilterQueue::OnLoop(uint32_t argument) { return m_filter->GuardedLoop(argument); }

platform::LResult CFilterQueue::OnMessage(uint32_t msg, platform::WParam w, platform::LParam l) {
    return m_filter->HandleFilterMessage(msg, w, l);
}

int CFilterQueue::OnTimer(uint32_t timer) {
    if (timer == kTimerNotifyPins) {
        StopTimer(kTimerNotifyPins);
        return m_filter->NotifyNewTargets();
    }
    return m_filter->GuardedTimer(timer);
}

int CFilterQueue::OnIcpRecords(IcpRecord* query, IcpRecord* answer) { return m_filter->DispatchIcp(query, answer); }

}  // namespace corvanta
