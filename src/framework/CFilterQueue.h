#pragma once
#include <atomic>

#include "framework/CFilterQueueOwner.h"
#include "framework/CMessageQueueBase.h"
#include "framework/FilterMessages.h"
#include "stores/CLockedPtrArray.h"

namespace corvanta {

// The queue of one filter: hands filter messages, the loop, timers and ICP
// records to its filter.
class CFilterQueue : public CMessageQueueBase {
public:
    explicit CFilterQueue(CFilterQueueOwner* filter) : m_filter(filter) {}
    ~CFilterQueue() override;

    int OnLoop(uint32_t argument) override;
    platform::LResult OnMessage(uint32_t msg, platform::WParam w, platform::LParam l) override;
    int OnTimer(uint32_t timer) override;
    int OnIcpRecords(IcpRecord* query, IcpRecord* answer) override;

    // Set by remote proxies: every ICP record goes to the filter's own handler.
    void SetPassThrough(bool on) { m_passThrough = on; }
    bool PassThrough() const { return m_passThrough; }
    const FilterMessageNumbers& Messages() const { return m_messages; }
    // Numbers the filter handles itself as user messages (none in this system).
    CLockedPtrArray& UserMessages() { return m_userMessages; }

private:
    std::atomic<bool> m_passThrough{false};
    CFilterQueueOwner* m_filter;
    CLockedPtrArray m_userMessages;
    FilterMessageNumbers m_messages;
};

}  // namespace corvanta
