#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "framework/CMessageQueueThread.h"
#include "framework/CMessageQueueWnd.h"
#include "framework/IcpRecord.h"
#include "framework/QueueDirectory.h"
#include "stores/CSMemory.h"

namespace corvanta {

// A named queue: a hidden window, optionally on a thread of its own, entered
// in the instance's queue directory by announcing itself to the manager.
class CMessageQueueBase {
public:
    CMessageQueueBase() = default;
    virtual ~CMessageQueueBase();
    CMessageQueueBase(const CMessageQueueBase&) = delete;
    CMessageQueueBase& operator=(const CMessageQueueBase&) = delete;

    virtual int OnLoop(uint32_t argument);
    virtual platform::LResult OnMessage(uint32_t msg, platform::WParam w, platform::LParam l);
    virtual int OnTimer(uint32_t timer);
    virtual int OnIcpRecords(IcpRecord* query, IcpRecord* answer);

    int Create(const std::string& name, int queueKind, platform::Hwnd parent, bool ownThread, int priority);
    int Close();
    int RegisterMessage(uint32_t msg);
    platform::Hwnd Window() const { return m_window.Handle(); }
    int StartTimer(uint32_t timer, uint32_t periodMs);
    int StopTimer(uint32_t timer);
    int StartLoop(uint32_t argument);
    int StopLoop();
    int Announce();

    const std::string& Name() const { return m_name; }
    int QueueKind() const { return m_queueKind; }
    // The manager window recorded in the directory; 0 when the lock was not
    // taken within `timeoutMs` or none is recorded.
    platform::Hwnd ManagerWindow(uint32_t timeoutMs);
    // The thread that owns the window, or 0 when it is the creating thread.
    uint32_t OwnThreadId() const { return m_thread ? m_thread->ThreadId() : 0; }

protected:
    CSMemory& Directory() { return m_directory; }
    QueueDirectory* DirectoryData() { return static_cast<QueueDirectory*>(m_directory.Data()); }

private:
    void SendRegistrationAnswer(platform::Hwnd manager, platform::LParam kind);

    std::string m_name;
    CMessageQueueWnd m_window;
    CSMemory m_directory;
    int m_queueKind = 0;
    CSMemory m_queueRecord;
    std::unique_ptr<CMessageQueueThread> m_thread;

    friend class CMessageQueueWnd;
};

}  // namespace corvanta
