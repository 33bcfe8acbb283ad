#pragma once
#include "framework/CMessageQueueBase.h"

namespace corvanta {

// Keeps the instance's queue directory: records the queues that announce
// themselves, drops the silent and the gone, and takes the directory over
// when its recorded manager has disappeared. It routes nothing.
class CMessageQueueManager : public CMessageQueueBase {
public:
    CMessageQueueManager();
    ~CMessageQueueManager() override;

    int Start();
    platform::LResult OnMessage(uint32_t msg, platform::WParam w, platform::LParam l) override;
    int OnTimer(uint32_t timer) override;

    // The window of the first entry in use with exactly this name, when it is
    // still a window; 0 otherwise.
    static platform::Hwnd FindQueue(const std::string& name);

private:
    void Register(platform::Hwnd window, int kind);
    void Claim();
    void Purge();

    uint32_t m_registrationAnswer;
    uint32_t m_registrationBroadcast;
};

}  // namespace corvanta
