#pragma once
// The base of every component that others address by name. A filter has a
// queue window (optionally on a thread of its own) that receives the nine
// filter messages, a settings store and a tagged-value store that other
// filters read and write through ICP, the shared regions through which those
// requests travel, a published info block, output pins and input
// connections, a start/stop state and a progress block.
//
// Life: construct, Init (the filter can now be found by name), PublishInfo,
// then Start and Stop as often as needed, then Disconnect and Close, then
// destroy. A subclass that overrides hooks must call Close in its own
// destructor, so the queue no longer calls into it while it is taken apart.

#include <atomic>
#include <cstdint>
#include <string>

#include "framework/CFilterDescriptor.h"
#include "framework/CFilterQueue.h"
#include "framework/CPin.h"
#include "framework/CPinConnection.h"
#include "platform/ManualResetEvent.h"
#include "stores/CLockedPtrArray.h"
#include "stores/CNamedMutex.h"
#include "stores/CSMemory.h"
#include "stores/CSettingsStore.h"
#include "stores/CTaggedValueStore.h"
#include "stores/CYSMemory.h"

namespace corvanta {

// What GETPERCENT answers while `active` is set.
struct ProgressBlock {
    bool active = false;
    uint32_t number1 = 0;
    uint32_t number2 = 0;
    uint32_t number3 = 0;
    uint32_t number4 = 0;
    std::string text;
};

class CFilter : public CFilterQueueOwner {
public:
    CFilter();
    CFilter(const CFilter&) = delete;
    CFilter& operator=(const CFilter&) = delete;

    // The overridable operations, in their fixed order. "Hook" ones do
    // nothing in the base and return 1.
    virtual int Disconnect();                 // DisconnectAll(connections, pins)
    // 0 when the filter is not running. With its own thread, waits (when
    // `wait`) until the queue has stopped; without, sends FILTER_STOP and
    // shows "2" when that fails. Then closes every input connection.
    virtual int Stop(bool wait);
    // Publishes the info block and posts FILTER_START; with its own thread
    // and `wait`, returns once the queue has started the filter.
    virtual int Start(bool wait);
    virtual int PublishInfo();                // the pin table of the info block
    // Makes the queue, the info block and the two ICP regions, loads the
    // settings. 0 when the filter is already initialised or its queue
    // window cannot be made.
    virtual int Init(const CFilterDescriptor& descriptor);
    ~CFilter() override;
    virtual int StartGui();                   // begins settings editing; 0 while editing
    virtual int StopGui(bool discard);        // ends it; 1 only when discarded edits were restored
    // Copies every copyable setting into `target`; the base ignores the data.
    virtual int CopySettings(CSettingsStore& target, const void* data, uint32_t length);
    // Sets every value of `source` into the settings; returns how many there were.
    virtual int PasteSettings(CSettingsStore& source, const void* data, uint32_t length);
    virtual int StopPercent();                // hook
    virtual int CB_Loop(uint32_t argument);   // hook, every 10 ms while the loop runs
    virtual platform::LResult OnUserMessage(uint32_t msg, platform::WParam w, platform::LParam l);  // hook
    virtual int CB_Timer(uint32_t timer);     // hook, for timers started through the queue
    virtual int OnPinUpdate(CPinConnection* connection);     // takes and gives back the read lock
    virtual int OnPinConnected(CPinConnection* connection);  // maps the pin's memory
    virtual int OnStart();                    // hook
    virtual int OnUpdateSettings();           // hook
    virtual int OnStop();                     // hook
    virtual int OnPinDisconnected(CPinConnection* connection);  // closes, and deletes unless kept
    // Everything the built-in dispatch does not answer. Hook: leaves the answer untouched.
    virtual int OnIcp(IcpRecord* query, IcpRecord* answer);
    virtual int OnPinConnectionRequest(platform::WParam w, platform::LParam l);     // adds a target
    virtual int OnPinDisconnectionRequest(platform::WParam w, platform::LParam l);  // removes one

    // Shuts the filter down: queue (and its thread), info block and ICP
    // regions; saves and empties the settings. Call Disconnect first.
    int Close();

    // Pins and connections.
    int DisconnectAll(bool connections, bool pins);
    // Posts `msg` to the targets of every ready pin (only to targets not yet
    // told when `onlyNew`); while a pin is not ready, retries every 200 ms.
    int NotifyTargets(uint32_t msg, bool onlyNew);
    // Asks the pin owner behind `ownerWindow` to add this filter as a target
    // of the pin in `pinWord`, and keeps a connection for it.
    int ForceConnection(platform::Hwnd ownerWindow, uint32_t pinWord);
    // Takes ownership of `pin` and lists it; call PublishInfo afterwards.
    int AddPin(CPin* pin);

    // The queue-facing side, guarded against exceptions.
    platform::LResult HandleFilterMessage(uint32_t msg, platform::WParam w, platform::LParam l) override;
    int GuardedLoop(uint32_t argument) override;
    int GuardedTimer(uint32_t timer) override;
    int NotifyNewTargets() override;
    int DispatchIcp(IcpRecord* query, IcpRecord* answer) override;

    // Lets `msg` reach OnUserMessage: registers it with the queue and enters
    // it in the queue's second message list. Only after Init.
    int AddUserMessage(uint32_t msg);

    void SetProgress(const ProgressBlock& progress);
    ProgressBlock Progress();

    const std::string& Name() const { return m_name; }
    const CFilterDescriptor& Descriptor() const { return m_descriptor; }
    CSettingsStore& Settings() { return m_settings; }
    CTaggedValueStore& TaggedValues() { return m_tagged; }
    CFilterQueue& Queue() { return m_queue; }
    platform::Hwnd Window() const { return m_queue.Window(); }
    bool IsRunning() const { return m_running.IsSet(); }
    bool IsStopped() const { return m_stopped.IsSet(); }
    // Number of listed connections (under the list's lock).
    size_t ConnectionCount();
    // Calls `fn` for every connection under the connection-list lock.
    template <typename Fn>
    void ForEachConnection(Fn fn) {
        m_connections.Lock();
        for (size_t i = 0; i < m_connections.GetSize(); ++i) fn(static_cast<CPinConnection*>(m_connections.GetAt(i)));
        m_connections.Unlock();
    }

private:
    platform::LResult Handle(uint32_t msg, platform::WParam w, platform::LParam l, std::string* what);
    platform::LResult HandleIcpMessage(std::string* what);
    platform::LResult HandleConnectionMessage(FilterMessage which, platform::WParam w, platform::LParam l);
    void ReportException(const std::string& text);
    int CommandAnswer(IcpRecord* answer, int result);
    int SettingsAnswer(IcpRecord* answer, CSettingsStore& store, int result);
    int ReadTagged(const IcpRecord* query, IcpRecord* answer);
    bool InConnectionList(CPinConnection* connection);
    CPin* FindPin(uint32_t number);
    // The query's data as a text: up to its first NUL within its length.
    std::string QueryText(const IcpRecord* query, uint32_t length) const;
    uint32_t QueryLength(const IcpRecord* query) const;

    std::string m_name;
    CFilterDescriptor m_descriptor;
    CTaggedValueStore m_tagged;
    uint32_t m_pinCounter = 0;
    CNamedMutex m_progressLock;
    ProgressBlock m_progress;
    CSettingsStore m_settings;
    CSettingsStore m_savedSettings;
    CYSMemory m_query;
    CYSMemory m_answer;
    platform::ManualResetEvent m_running;
    platform::ManualResetEvent m_stopped;
    CSMemory m_info;
    CLockedPtrArray m_pins;         // CPin*, owned
    CLockedPtrArray m_connections;  // CPinConnection*, owned
    // Messages are refused until Init has made everything they touch.
    std::atomic<bool> m_ready{false};
    CFilterQueue m_queue;
};

}  // namespace corvanta
