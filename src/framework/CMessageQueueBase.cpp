#include "framework/CMessageQueueBase.h"

#include <cstring>

#include "framework/InstanceNames.h"
#include "framework/QueueTimers.h"
#include "platform/WindowSystem.h"

namespace corvanta {

using namespace platform;

CMessageQueueBase::~CMessageQueueBase() { Close(); }

int CMessageQueueBase::OnLoop(uint32_t) { return 1; }
LResult CMessageQueueBase::OnMessage(uint32_t, WParam, LParam) { return 1; }
int CMessageQueueBase::OnTimer(uint32_t) { return 1; }
int CMessageQueueBase::OnIcpRecords(IcpRecord*, IcpRecord*) { return 1; }

int CMessageQueueBase::Create(const std::string& name, int queueKind, Hwnd parent, bool ownThread, int priority) {
    m_name = name;
    m_queueKind = queueKind;
    m_window.queue = this;
    m_window.name = name;
    if (ownThread) {
        m_thread = std::make_unique<CMessageQueueThread>(priority);
        m_thread->Start(parent, this, &m_window, name);
    } else {
        m_window.Create();
    }

    if (m_queueRecord.Create(sizeof(QueueRecord), InstanceNames::QueueRecordRegion(name).c_str())) {
        m_queueRecord.Lock();
        auto* rec = static_cast<QueueRecord*>(m_queueRecord.Data());
        std::memset(rec->name, 0, sizeof rec->name);
        std::strncpy(rec->name, name.c_str(), sizeof rec->name - 1);
        rec->queueKind = queueKind;
        rec->window = Window();
        m_queueRecord.Unlock();
    }

    int existed = 0;
    if (m_directory.Create(sizeof(QueueDirectory), InstanceNames::DirectoryRegion().c_str(), &existed) && !existed) {
        m_directory.Lock();
        auto* dir = DirectoryData();
        uint32_t manager = dir->managerWindow;
        std::memset(dir, 0, sizeof *dir);
        dir->managerWindow = manager;
        m_directory.Unlock();
    }

    StartTimer(kTimerAnnounce, 0);
    Announce();
    return 1;
}

int CMessageQueueBase::Close() {
    Hwnd h = Window();
    if (h && IsWindow(h)) SendMessage(h, WM_CLOSE, 0, 0);
    if (m_thread) {
        m_thread->End();
        m_thread.reset();
    }
    m_directory.Close();
    m_queueRecord.Close();
    return 1;
}

int CMessageQueueBase::RegisterMessage(uint32_t msg) {
    if (!m_window.messageList.Lock()) return 0;
    m_window.messageList.Add(reinterpret_cast<void*>(uintptr_t(msg)));
    m_window.messageList.Unlock();
    return 1;
}

int CMessageQueueBase::StartTimer(uint32_t timer, uint32_t periodMs) {
    Hwnd h = Window();
    if (!h || !IsWindow(h)) return 0;
    SendMessage(h, m_window.startTimerMessage, timer, LParam(periodMs));
    return 1;
}

int CMessageQueueBase::StopTimer(uint32_t timer) {
    Hwnd h = Window();
    if (!h || !IsWindow(h)) return 0;
    SendMessage(h, m_window.stopTimerMessage, timer, 0);
    return 1;
}

int CMessageQueueBase::StartLoop(uint32_t argument) {
    m_window.loopFlag = true;
    m_window.loopArgument = argument;
    return StartTimer(kTimerLoop, kLoopPeriodMs);
}

int CMessageQueueBase::StopLoop() {
    bool was = m_window.loopFlag.exchange(false);
    if (!StopTimer(kTimerLoop)) return 0;
    return was ? 1 : 0;
}

Hwnd CMessageQueueBase::ManagerWindow(uint32_t timeoutMs) {
    if (!m_directory.Data() || !m_directory.Lock(timeoutMs)) return 0;
    Hwnd manager = DirectoryData()->managerWindow;
    m_directory.Unlock();
    return manager;
}

void CMessageQueueBase::SendRegistrationAnswer(Hwnd manager, LParam kind) {
    SendMessage(manager, m_window.registrationAnswerMessage, Window(), kind);
}

int CMessageQueueBase::Announce() {
    Hwnd manager = ManagerWindow(INFINITE_WAIT);
    if (IsWindow(manager)) SendRegistrationAnswer(manager, m_queueKind);
    return 1;
}

}  // namespace corvanta
