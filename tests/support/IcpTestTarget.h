#pragma once
// A minimal ICP target for tests: a filter queue with the two ICP regions
// that answers a few requests the way a filter would. GET "answer" gives
// "42", GET "empty" an empty value, any other GET fails; command 100 answers
// its data reversed with param1 + 1; command 101 answers `dataLength` bytes
// of 'z' (param1 of them).

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>

#include "framework/CFilterQueue.h"
#include "framework/InstanceNames.h"
#include "stores/CYSMemory.h"

namespace corvanta::test {

class IcpTestTarget : public CFilterQueueOwner {
public:
    IcpTestTarget(const std::string& name, bool ownThread, uint32_t capacity = 16000)
        : m_queue(this), m_capacity(capacity) {
        m_query.Create(capacity + kIcpOverhead, InstanceNames::QueryRegion(name).c_str());
        m_answer.Create(capacity + kIcpOverhead, InstanceNames::AnswerRegion(name).c_str());
        for (CYSMemory* r : {&m_query, &m_answer}) {
            r->Lock(true);
            static_cast<IcpRecord*>(r->Data())->capacity = capacity;
            r->Unlock();
        }
        m_queue.Create(name, kFilterQueue, 0, ownThread, 0);
        m_queue.RegisterMessage(m_queue.Messages()[FILTER_ICP]);
    }
    ~IcpTestTarget() override { m_queue.Close(); }

    CFilterQueue& Queue() { return m_queue; }
    int Handled() const { return m_handled; }
    std::thread::id HandledOn() const { return m_handledOn; }

    platform::LResult HandleFilterMessage(uint32_t msg, platform::WParam, platform::LParam) override {
        if (msg != m_queue.Messages()[FILTER_ICP]) return 1;
        if (!m_query.Lock(false)) return 0;
        if (!m_answer.Lock(false)) {
            m_query.Unlock();
            return 0;
        }
        int r = DispatchIcp(static_cast<IcpRecord*>(m_query.Data()), static_cast<IcpRecord*>(m_answer.Data()));
        m_answer.Unlock();
        m_query.Unlock();
        return r;
    }
    int GuardedLoop(uint32_t) override { return 1; }
    int GuardedTimer(uint32_t) override { return 1; }
    int NotifyNewTargets() override { return 1; }

    int DispatchIcp(IcpRecord* q, IcpRecord* a) override {
        ++m_handled;
        m_handledOn = std::this_thread::get_id();
        a->param1 = a->param2 = a->param3 = a->param4 = 0;
        a->dataLength = 0;
        if (q->kind == kIcpGet) return Get(reinterpret_cast<const char*>(q->data), a);
        if (q->kind == kIcpCommand && q->code == 100) {
            uint32_t n = std::min(q->dataLength, m_capacity);
            std::reverse_copy(q->data, q->data + n, a->data);
            a->dataLength = n;
            a->param1 = q->param1 + 1;
            a->kind = kIcpCommandAnswer;
            a->status = kIcpStatusDone;
            return 1;
        }
        if (q->kind == kIcpCommand && q->code == 101) {
            uint32_t n = std::min(q->param1, m_capacity);
            std::memset(a->data, 'z', n);
            a->dataLength = n;
            a->status = kIcpStatusDone;
            return 1;
        }
        a->status = kIcpStatusFailed;
        return 0;
    }

private:
    int Get(const char* name, IcpRecord* a) {
        a->kind = kIcpGetAnswer;
        if (std::strcmp(name, "answer") == 0) {
            std::memcpy(a->data, "42", 3);
            a->dataLength = 3;
            a->status = kIcpStatusDone;
            return 1;
        }
        if (std::strcmp(name, "empty") == 0) {
            a->status = kIcpStatusEmpty;
            return 0;
        }
        a->status = kIcpStatusFailed;
        return 0;
    }

    CFilterQueue m_queue;
    CYSMemory m_query;
    CYSMemory m_answer;
    uint32_t m_capacity;
    int m_handled = 0;
    std::thread::id m_handledOn;
};

}  // namespace corvanta::test
