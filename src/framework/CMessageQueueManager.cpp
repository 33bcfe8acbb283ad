#include "framework/CMessageQueueManager.h"

#include <cstring>

#include "framework/FilterMessages.h"
#include "framework/InstanceNames.h"
#include "framework/QueueTimers.h"
#include "platform/SharedRegion.h"
#include "platform/Tick.h"
#include "platform/WindowSystem.h"

namespace corvanta {

using namespace platform;

CMessageQueueManager::CMessageQueueManager()
    : m_registrationAnswer(RegisterWindowMessage(kRegistrationAnswerMessage)),
      m_registrationBroadcast(RegisterWindowMessage(kRegistrationBroadcastMessage)) {}

CMessageQueueManager::~CMessageQueueManager() { Close(); }

int CMessageQueueManager::Start() {
    // Region names carry the instance number and often a process id, so what
    // a killed process left is never opened again: clear it out when an
    // instance comes up.
    SharedRegion::RemoveUnused();
    Create(InstanceNames::ManagerQueueName(), kManagerQueue, 0, true, 0);
    RegisterMessage(m_registrationAnswer);
    StartTimer(kTimerPurge, kPurgePeriodMs);
    StartTimer(kTimerClaimDirectory, kClaimPeriodMs);
    if (Directory().Lock()) {
        QueueDirectory* dir = DirectoryData();
        if (!IsWindow(dir->managerWindow)) {
            std::memset(dir, 0, sizeof *dir);
            dir->managerWindow = Window();
        }
        Directory().Unlock();
    }
    return 1;
}

LResult CMessageQueueManager::OnMessage(uint32_t msg, WParam w, LParam l) {
    if (msg == m_registrationAnswer) Register(Hwnd(w), int(l));
    return 1;
}

int CMessageQueueManager::OnTimer(uint32_t timer) {
    if (timer == kTimerClaimDirectory) Claim();
    if (timer == kTimerPurge) Purge();
    return 1;
}

void CMessageQueueManager::Register(Hwnd window, int kind) {
    if (!Directory().Lock(kDirectoryTryLockMs)) return;
    QueueDirectory* dir = DirectoryData();
    uint32_t now = TickCount();
    QueueEntry* free = nullptr;
    bool found = false;
    for (auto& e : dir->entries) {
        if (e.used && e.window == window) {
            if (kind == -1)
                e.used = 0;
            else
                e.queueKind = kind;
            e.lastSeen = now;
            found = true;
            break;
        }
        if (!e.used && !free) free = &e;
    }
    if (!found && kind != -1 && free && IsWindow(window)) {
        std::string title = GetWindowText(window).substr(0, kQueueNameSize - 1);
        std::memset(free->name, 0, sizeof free->name);
        if (!title.empty()) {
            std::memcpy(free->name, title.data(), title.size());
            free->used = 1;
            free->window = window;
            free->lastSeen = free->registeredAt = now;
            free->queueKind = kind;
        }
    }
    Directory().Unlock();
}

void CMessageQueueManager::Claim() {
    if (!Directory().Lock()) return;
    QueueDirectory* dir = DirectoryData();
    if (!IsWindow(dir->managerWindow)) dir->managerWindow = Window();
    Directory().Unlock();
}

void CMessageQueueManager::Purge() {
    if (!Directory().Lock()) return;
    uint32_t now = TickCount();
    for (auto& e : DirectoryData()->entries) {
        if (!e.used) continue;
        if (now - e.lastSeen > kSilentEntryMs || !IsWindow(e.window)) e.used = 0;
    }
    Directory().Unlock();
}

Hwnd CMessageQueueManager::FindQueue(const std::string& name) {
    CSMemory directory;
    if (!directory.Create(sizeof(QueueDirectory), InstanceNames::DirectoryRegion().c_str())) return 0;
    Hwnd found = 0;
    directory.Lock();
    for (const auto& e : static_cast<QueueDirectory*>(directory.Data())->entries) {
        if (e.used && strncmp(e.name, name.c_str(), kQueueNameSize) == 0 && name.size() < kQueueNameSize) {
            found = e.window;
            break;
        }
    }
    directory.Unlock();
    return IsWindow(found) ? found : 0;
}

}  // namespace corvanta
