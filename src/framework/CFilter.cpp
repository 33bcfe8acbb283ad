#include "framework/CFilter.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "framework/FixedText.h"
#include "framework/CFrameworkException.h"
#include "framework/EventReport.h"
#include "framework/InstanceNames.h"
#include "framework/MessageBoxSink.h"
#include "framework/PinTarget.h"
#include "framework/QueueTimers.h"
#include "platform/WindowSystem.h"
#include "stores/ScopedLock.h"
#include "stores/CSettingsSnapshot.h"

namespace corvanta {

using namespace platform;

namespace {

std::atomic<uint32_t> g_filterSequence{0};

constexpr uint32_t kDisplayNameCapacity = 201;
constexpr uint32_t kStopTimeoutMs = 20000;
constexpr uint32_t kPinRetryMs = 200;
constexpr size_t kExceptionTextMax = 512;
constexpr uint32_t kPinNumberMask = 0x7FFF;  // bit 15 of a connection request is a flag
constexpr uint32_t kPinLocalFlag = 0x8000;

// Settings editing state in the store's owner slots.
constexpr int kSlotEditing = 0;
constexpr int kSlotApplying = 1;

// Holds the handler-side (second) mutex of an ICP region for a scope.
class HandlerLock {
public:
    explicit HandlerLock(CYSMemory& region) : m_region(region), m_held(region.Lock(false) != 0) {}
    ~HandlerLock() {
        if (m_held) m_region.Unlock();
    }
    bool Held() const { return m_held; }

private:
    CYSMemory& m_region;
    bool m_held;
};

// What CSettingsStore::CopyTo does, without holding the source's lock while
// the destination's is taken: the live store and its saved copy are copied
// in both directions, and nested locks would be taken in opposite orders.
int CopyStore(CSettingsStore& source, CSettingsStore& destination) {
    struct Value {
        SettingDecl decl;
        std::vector<uint8_t> bytes;
    };
    std::vector<Value> values;
    {
        SettingsStoreLock lock(source);
        for (size_t i = 0; i < source.RecordCount(); ++i) {
            const SettingRecord* r = source.RecordAt(i);
            values.push_back({SettingDecl{r->name, r->type, r->capacity, 0},
                              std::vector<uint8_t>(r->Value(), r->Value() + std::min(r->length, r->capacity))});
        }
    }
    destination.Clear(false);
    for (const Value& v : values) {
        destination.Declare(v.decl);
        destination.SetValue(v.decl.name, v.bytes.data(), uint32_t(v.bytes.size()));
    }
    return 1;
}

using ArrayLock = ScopedLock<CLockedPtrArray>;

}  // namespace

CFilter::CFilter() : m_queue(this) {
    for (const char* name : {"FilterDisplayName", "DisplayName"}) {
        m_settings.Declare(SettingDecl{name, kSettingText, kDisplayNameCapacity, 0});
        m_settings.SetText(name, "Unknown");
    }
}

CFilter::~CFilter() {
    // The queue's thread must be gone before anything it might touch.
    Close();
    m_pins.Lock();
    for (size_t i = 0; i < m_pins.GetSize(); ++i) delete static_cast<CPin*>(m_pins.GetAt(i));
    m_pins.RemoveAll();
    m_pins.Unlock();
    m_connections.Lock();
    for (size_t i = 0; i < m_connections.GetSize(); ++i) delete static_cast<CPinConnection*>(m_connections.GetAt(i));
    m_connections.RemoveAll();
    m_connections.Unlock();
}

// ---- life cycle ----

int CFilter::Init(const CFilterDescriptor& descriptor) {
    if (m_queue.Window() || m_info.Data()) return 0;
    m_descriptor = descriptor;
    m_descriptor.sequenceNumber = ++g_filterSequence;
    m_name = m_descriptor.name;

    m_queue.Create(m_name, kFilterQueue, m_descriptor.parentWindow, m_descriptor.ownThread != 0,
                   m_descriptor.threadPriority);
    // A name the window system refuses (too long) leaves nothing to reach the filter by.
    if (!m_queue.Window()) {
        m_queue.Close();
        return 0;
    }
    const FilterMessageNumbers& n = m_queue.Messages();
    for (FilterMessage m : {FILTER_START, FILTER_STOP, PIN_UPDATE, PIN_CONNECT, PIN_DISCONNECT, PIN_CONNECTION_REQUEST,
                            PIN_DISCONNECTION_REQUEST, PIN_FORCED_RECONNECTION, FILTER_ICP})
        m_queue.RegisterMessage(n[m]);

    if (m_info.Create(sizeof(FilterInfoBlock), InstanceNames::FilterInfoRegion(m_name).c_str()) && m_info.Lock()) {
        auto* info = static_cast<FilterInfoBlock*>(m_info.Data());
        std::memset(info, 0, sizeof *info);
        CopyText(info->name, sizeof info->name, m_name);
        CopyText(info->version, sizeof info->version, m_descriptor.version);
        info->classCode = m_descriptor.classCode;
        info->typeCode = m_descriptor.typeCode;
        info->thirdCode = m_descriptor.thirdCode;
        info->window = m_queue.Window();
        m_info.Unlock();
    }

    struct RegionPlan {
        CYSMemory* region;
        std::string name;
        uint32_t capacity;
    };
    for (const RegionPlan& r : {RegionPlan{&m_query, InstanceNames::QueryRegion(m_name), m_descriptor.queryCapacity},
                                RegionPlan{&m_answer, InstanceNames::AnswerRegion(m_name), m_descriptor.answerCapacity}}) {
        if (r.capacity > UINT32_MAX - kIcpOverhead || !r.region->Create(r.capacity + kIcpOverhead, r.name.c_str()))
            continue;
        if (r.region->Lock(true)) {
            static_cast<IcpRecord*>(r.region->Data())->capacity = r.capacity;
            r.region->Unlock();
        }
    }

    m_settings.Load();
    m_settings.SetText("FilterDisplayName", m_name);
    m_ready = true;
    return 1;
}

int CFilter::Start(bool wait) {
    PublishInfo();
    m_running.Reset();
    bool posted = PostMessage(m_queue.Window(), m_queue.Messages()[FILTER_START], 0, 0);
    if (m_descriptor.ownThread && wait && posted) m_running.Wait(kInfinite);
    return 1;
}

int CFilter::Stop(bool wait) {
    if (!m_running.IsSet()) return 0;
    m_stopped.Reset();
    uint32_t stop = m_queue.Messages()[FILTER_STOP];
    if (m_descriptor.ownThread) {
        bool posted = PostMessage(m_queue.Window(), stop, 0, 0);
        if (posted && wait) m_stopped.Wait(kInfinite);
    } else {
        LResult ignored = 0;
        if (!SendMessageTimeout(m_queue.Window(), stop, 0, 0, SMTO_ABORTIFHUNG, kStopTimeoutMs, &ignored))
            ShowMessageBox("2");
    }
    DisconnectAll(true, false);
    return 1;
}

int CFilter::Close() {
    m_ready = false;
    m_queue.Close();
    m_info.Close();
    m_query.Close();
    m_answer.Close();
    m_settings.Save();
    m_settings.Clear(true);
    return 1;
}

int CFilter::Disconnect() { return DisconnectAll(true, true); }

int CFilter::PublishInfo() {
    if (!m_info.Data() || !m_info.Lock()) return 0;
    auto* info = static_cast<FilterInfoBlock*>(m_info.Data());
    {
        ArrayLock pins(m_pins);
        std::memset(info->pins, 0, sizeof info->pins);
        size_t count = m_pins.GetSize();
        for (size_t i = 0; i < count && i < kMaxPins; ++i) {
            auto* pin = static_cast<CPin*>(m_pins.GetAt(i));
            if (pin->word8 != 0) pin->OnPublishWord(pin->word8);
            pin->Describe(info->pins[i]);
        }
        info->pinCount = uint32_t(count);
    }
    m_info.Unlock();
    return 1;
}

// ---- hooks and base behaviour ----

int CFilter::StartGui() {
    if (m_settings.GetFlag(kSlotEditing) == 1) return 0;
    int r = CopyStore(m_settings, m_savedSettings);
    m_settings.SetFlag(kSlotEditing, 1);
    return r;
}

int CFilter::StopGui(bool discard) {
    int r = 0;
    if (m_settings.GetFlag(kSlotEditing) == 1) {
        if (discard) r = CopyStore(m_savedSettings, m_settings);
        m_settings.SetFlag(kSlotEditing, 0);
        m_settings.SetFlag(kSlotApplying, 1);
        OnUpdateSettings();
    }
    m_settings.SetFlag(kSlotApplying, 0);
    return r;
}

int CFilter::CopySettings(CSettingsStore& target, const void*, uint32_t) {
    SettingsStoreLock lock(m_settings);
    for (size_t i = 0; i < m_settings.RecordCount(); ++i) {
        const SettingRecord* record = m_settings.RecordAt(i);
        if (!(record->flags & kSettingCopyable)) continue;
        target.Declare(SettingDecl{record->name, record->type, record->capacity, record->flags});
        target.SetValue(record->name, record->Value(), record->length);
    }
    return 1;
}

int CFilter::PasteSettings(CSettingsStore& source, const void*, uint32_t) {
    SettingsStoreLock lock(source);
    int count = 0;
    for (size_t i = 0; i < source.RecordCount(); ++i, ++count) {
        const SettingRecord* record = source.RecordAt(i);
        m_settings.SetValue(record->name, record->Value(), record->length);
    }
    return count;
}

int CFilter::StopPercent() { return 1; }
int CFilter::CB_Loop(uint32_t) { return 1; }
LResult CFilter::OnUserMessage(uint32_t, WParam, LParam) { return 1; }
int CFilter::CB_Timer(uint32_t) { return 1; }
int CFilter::OnStart() { return 1; }
int CFilter::OnUpdateSettings() { return 1; }
int CFilter::OnStop() { return 1; }
int CFilter::OnIcp(IcpRecord*, IcpRecord*) { return 1; }

int CFilter::OnPinUpdate(CPinConnection* connection) {
    connection->Memory().Lock(false);
    connection->Memory().Unlock();
    return 1;
}

int CFilter::OnPinConnected(CPinConnection* connection) {
    if (!InConnectionList(connection)) return 0;
    return connection->Map();
}

int CFilter::OnPinDisconnected(CPinConnection* connection) {
    ArrayLock lock(m_connections);
    size_t at = 0;
    while (at < m_connections.GetSize() && m_connections.GetAt(at) != connection) ++at;
    if (at == m_connections.GetSize()) return 0;
    connection->Close(false);
    if (connection->keep) return 0;
    m_connections.RemoveAt(at);
    delete connection;
    return 1;
}

int CFilter::OnPinConnectionRequest(WParam w, LParam l) {
    PinTarget* target = nullptr;
    {
        ArrayLock pins(m_pins);
        CPin* pin = FindPin(uint32_t(w) & kPinNumberMask);
        if (!pin) return 0;
        target = new PinTarget(Hwnd(l), (w & kPinLocalFlag) == 0);
        ArrayLock targets(pin->targets);
        pin->targets.Add(target);
        ++pin->targetCount;
    }
    if (m_running.IsSet()) m_queue.StartTimer(kTimerNotifyPins, kPinRetryMs);
    return 1;
}

int CFilter::OnPinDisconnectionRequest(WParam w, LParam l) {
    ArrayLock pins(m_pins);
    CPin* pin = FindPin(uint32_t(w) & 0xFF);
    if (!pin) return 0;
    ArrayLock targets(pin->targets);
    for (size_t i = 0; i < pin->targets.GetSize(); ++i) {
        auto* target = static_cast<PinTarget*>(pin->targets.GetAt(i));
        if (target->window != Hwnd(l)) continue;
        pin->targets.RemoveAt(i);
        delete target;
        --pin->targetCount;
        break;
    }
    return 1;
}

// ---- pins ----

CPin* CFilter::FindPin(uint32_t number) {
    for (size_t i = 0; i < m_pins.GetSize(); ++i) {
        auto* pin = static_cast<CPin*>(m_pins.GetAt(i));
        if (pin->pinNumber == number) return pin;
    }
    return nullptr;
}

int CFilter::AddPin(CPin* pin) {
    if (!pin) return 0;
    ArrayLock pins(m_pins);
    m_pins.Add(pin);
    ++m_pinCounter;
    return 1;
}

int CFilter::NotifyTargets(uint32_t msg, bool onlyNew) {
    Hwnd own = m_queue.Window();
    bool waiting = false;
    {
        ArrayLock pins(m_pins);
        for (size_t i = 0; i < m_pins.GetSize(); ++i) {
            auto* pin = static_cast<CPin*>(m_pins.GetAt(i));
            if (!pin->ready) {
                waiting = true;
                continue;
            }
            ArrayLock targets(pin->targets);
            for (size_t t = 0; t < pin->targets.GetSize(); ++t) {
                auto* target = static_cast<PinTarget*>(pin->targets.GetAt(t));
                if (!(onlyNew && target->notified)) PostMessage(target->window, msg, own, LParam(pin->pinNumber));
                target->notified = true;
            }
        }
    }
    if (waiting) m_queue.StartTimer(kTimerNotifyPins, kPinRetryMs);
    return 1;
}

int CFilter::NotifyNewTargets() { return NotifyTargets(m_queue.Messages()[PIN_CONNECT], true); }

int CFilter::ForceConnection(Hwnd ownerWindow, uint32_t pinWord) {
    if (!IsWindow(ownerWindow)) return 0;
    Hwnd own = m_queue.Window();
    if (!SendMessage(ownerWindow, m_queue.Messages()[PIN_CONNECTION_REQUEST], pinWord, LParam(own))) return 0;
    auto* connection = new CPinConnection;
    connection->pinNumber = pinWord & 0xFF;
    connection->ownWindow = own;
    connection->ownerWindow = ownerWindow;
    connection->remoteFilterName = GetWindowText(ownerWindow).substr(0, 1023);
    connection->smallPin = pinWord < 256;
    CSMemory ownerInfo;
    if (ownerInfo.Open(sizeof(FilterInfoBlock), InstanceNames::FilterInfoRegion(connection->remoteFilterName).c_str()) &&
        ownerInfo.Lock()) {
        const auto* info = static_cast<const FilterInfoBlock*>(ownerInfo.Data());
        for (const PinInfo& p : info->pins) {
            if (p.valid == 1 && p.pinNumber == connection->pinNumber) {
                connection->pinName.assign(p.text2, strnlen(p.text2, sizeof p.text2));
                break;
            }
        }
        ownerInfo.Unlock();
    }
    ArrayLock lock(m_connections);
    m_connections.Add(connection);
    return 1;
}

bool CFilter::InConnectionList(CPinConnection* connection) {
    ArrayLock lock(m_connections);
    for (size_t i = 0; i < m_connections.GetSize(); ++i)
        if (m_connections.GetAt(i) == connection) return true;
    return false;
}

size_t CFilter::ConnectionCount() {
    ArrayLock lock(m_connections);
    return m_connections.GetSize();
}

int CFilter::DisconnectAll(bool connections, bool pins) {
    if (!m_info.Data() || !m_info.Lock()) return 1;
    auto* info = static_cast<FilterInfoBlock*>(m_info.Data());
    if (pins) {
        std::memset(info->pins, 0, sizeof info->pins);
        info->pinCount = 0;
    }
    {
        ArrayLock lock(m_pins);
        for (size_t i = 0; i < m_pins.GetSize(); ++i) static_cast<CPin*>(m_pins.GetAt(i))->Release();
        if (pins) {
            for (size_t i = 0; i < m_pins.GetSize(); ++i) delete static_cast<CPin*>(m_pins.GetAt(i));
            m_pins.RemoveAll();
            m_pinCounter = 0;
        }
    }
    if (connections) {
        ArrayLock lock(m_connections);
        for (size_t i = 0; i < m_connections.GetSize(); ++i) {
            auto* connection = static_cast<CPinConnection*>(m_connections.GetAt(i));
            connection->Close(true);
            delete connection;
        }
        m_connections.RemoveAll();
    }
    m_info.Unlock();
    return 1;
}

// ---- progress ----

void CFilter::SetProgress(const ProgressBlock& progress) {
    m_progressLock.Lock();
    m_progress = progress;
    m_progressLock.Unlock();
}

ProgressBlock CFilter::Progress() {
    m_progressLock.Lock();
    ProgressBlock copy = m_progress;
    m_progressLock.Unlock();
    return copy;
}

int CFilter::AddUserMessage(uint32_t msg) {
    if (!m_queue.Window()) return 0;
    CLockedPtrArray& list = m_queue.UserMessages();
    if (!list.Lock()) return 0;
    list.Add(reinterpret_cast<void*>(uintptr_t(msg)));
    list.Unlock();
    return m_queue.RegisterMessage(msg);
}

// ---- message handling ----

// Hardware faults (SIGSEGV, SIGFPE, SIGBUS) inside a handler are not caught:
// leaving a signal handler by a jump or an exception is not safe here (locks
// held, half-written shared records), so such a fault ends the process.
LResult CFilter::HandleFilterMessage(uint32_t msg, WParam w, LParam l) {
    if (!m_ready) return 0;
    // What the report names the message by; ICP narrows it to the request.
    std::string what = m_queue.Messages().DisplayName(msg);
    try {
        return Handle(msg, w, l, &what);
    } catch (const CFrameworkException& e) {
        ReportException(e.Message().substr(0, kExceptionTextMax) + " - " + what);
    } catch (const std::exception&) {
        ReportException(what + " - Unknown");
    } catch (...) {
        ReportException(what + " - Unknown");
    }
    return 0;
}

int CFilter::GuardedLoop(uint32_t argument) {
    try {
        return CB_Loop(argument);
    } catch (const CFrameworkException& e) {
        ReportException(e.Message().substr(0, kExceptionTextMax) + " - CB_Loop");
    } catch (...) {
        ReportException("CB_Loop - Unknown");
    }
    return 0;
}

int CFilter::GuardedTimer(uint32_t timer) {
    try {
        return CB_Timer(timer);
    } catch (const CFrameworkException& e) {
        ReportException(e.Message().substr(0, kExceptionTextMax) + " - CB_Timer");
    } catch (...) {
        ReportException("CB_Timer - Unknown");
    }
    return 0;
}

void CFilter::ReportException(const std::string& text) {
    ReportEventError(kEventCodeHandlerException, this, text.c_str(), uint32_t(text.size() + 1));
}

LResult CFilter::Handle(uint32_t msg, WParam w, LParam l, std::string* what) {
    FilterMessage which = m_queue.Messages().Which(msg);
    switch (which) {
        case PIN_FORCED_RECONNECTION:
            return ForceConnection(Hwnd(w), uint32_t(l));
        case FILTER_START:
            OnStart();
            if (m_descriptor.loopEnabled) m_queue.StartLoop(m_descriptor.loopArgument);
            m_running.Set();
            m_stopped.Reset();
            NotifyTargets(m_queue.Messages()[PIN_CONNECT], false);
            return 1;
        case FILTER_STOP:
            if (m_descriptor.loopEnabled) m_queue.StopLoop();
            OnStop();
            m_running.Reset();
            m_stopped.Set();
            return 1;
        case PIN_CONNECT:
        case PIN_DISCONNECT:
        case PIN_UPDATE:
            return HandleConnectionMessage(which, w, l);
        case PIN_CONNECTION_REQUEST:
            return OnPinConnectionRequest(w, l);
        case PIN_DISCONNECTION_REQUEST:
            return OnPinDisconnectionRequest(w, l);
        case FILTER_ICP:
            return HandleIcpMessage(what);
        default:
            break;
    }
    CLockedPtrArray& list = m_queue.UserMessages();
    if (!list.Lock()) return 1;
    bool listed = false;
    for (size_t i = 0; i < list.GetSize() && !listed; ++i) listed = reinterpret_cast<uintptr_t>(list.GetAt(i)) == msg;
    list.Unlock();
    return listed ? OnUserMessage(msg, w, l) : 1;
}

LResult CFilter::HandleConnectionMessage(FilterMessage which, WParam w, LParam l) {
    ArrayLock lock(m_connections);
    for (size_t i = 0; i < m_connections.GetSize(); ++i) {
        auto* connection = static_cast<CPinConnection*>(m_connections.GetAt(i));
        if (connection->ownerWindow != Hwnd(w) || connection->pinNumber != uint32_t(l)) continue;
        if (which == PIN_CONNECT) return OnPinConnected(connection);
        if (which == PIN_DISCONNECT) return OnPinDisconnected(connection);
        if (connection->open) OnPinUpdate(connection);
        return 0;
    }
    return 0;
}

LResult CFilter::HandleIcpMessage(std::string* what) {
    HandlerLock query(m_query);
    if (!query.Held()) return 0;
    HandlerLock answer(m_answer);
    if (!answer.Held()) return 0;
    auto* q = static_cast<IcpRecord*>(m_query.Data());
    auto* a = static_cast<IcpRecord*>(m_answer.Data());
    *what = IcpRequestName(q->kind, q->code);
    int result = DispatchIcp(q, a);
    if (result != 0 && a->dataLength > m_descriptor.answerCapacity) ShowMessageBox("Out of range");
    return result;
}

// ---- ICP dispatch ----

uint32_t CFilter::QueryLength(const IcpRecord* q) const { return std::min(q->dataLength, m_descriptor.queryCapacity); }

std::string CFilter::QueryText(const IcpRecord* q, uint32_t length) const {
    const char* text = reinterpret_cast<const char*>(q->data);
    return std::string(text, strnlen(text, std::min(length, QueryLength(q))));
}

int CFilter::CommandAnswer(IcpRecord* a, int result) {
    a->kind = kIcpCommandAnswer;
    a->code = 0;
    a->encoding = kIcpEncodingRaw;
    a->status = result ? kIcpStatusDone : kIcpStatusFailed;
    return result;
}

int CFilter::SettingsAnswer(IcpRecord* a, CSettingsStore& store, int result) {
    CommandAnswer(a, result);
    CSettingsSnapshot snapshot;
    snapshot.Collect(store);
    size_t end = 0;
    a->param1 = snapshot.Serialize(a->data, m_descriptor.answerCapacity, &end);
    a->dataLength = uint32_t(end);
    return result;
}

int CFilter::ReadTagged(const IcpRecord* q, IcpRecord* a) {
    std::string text;
    int ok = q->param1 == 1 ? m_tagged.ExportTagged(text, q->param2 != 0)
                            : m_tagged.GetAsHex(QueryText(q, q->dataLength), text, true);
    if (!ok) {
        a->status = kIcpStatusFailed;
        return 0;
    }
    a->kind = kIcpReadTaggedAnswer;
    a->code = 0;
    // A text that does not fit is refused rather than cut: a cut record would read as a different one.
    if (text.size() + 1 > m_descriptor.answerCapacity) {
        a->status = kIcpStatusFailed;
        return 0;
    }
    std::memcpy(a->data, text.c_str(), text.size() + 1);
    a->dataLength = uint32_t(text.size() + 1);
    a->status = kIcpStatusDone;
    return 1;
}

int CFilter::DispatchIcp(IcpRecord* q, IcpRecord* a) {
    if (m_queue.PassThrough()) return OnIcp(q, a);
    a->param1 = a->param2 = a->param3 = a->param4 = 0;
    a->dataLength = 0;
    const uint32_t answerCapacity = m_descriptor.answerCapacity;

    switch (q->kind) {
        case kIcpGet: {
            uint32_t size = answerCapacity;
            std::string name = QueryText(q, q->dataLength);
            if (!m_settings.GetValue(name, a->data, &size)) {
                a->status = kIcpStatusFailed;
                return 0;
            }
            a->kind = kIcpGetAnswer;
            a->dataLength = size;
            a->code = a->param1 = a->param2 = 0;
            a->status = size == 0 ? kIcpStatusEmpty : kIcpStatusDone;
            return size == 0 ? 0 : 1;
        }
        case kIcpSet: {
            uint64_t nameSize = q->param1, valueSize = q->param2;
            if (nameSize == 0 || nameSize + valueSize > QueryLength(q)) {
                a->status = kIcpStatusFailed;
                return 0;
            }
            std::string name = QueryText(q, q->param1);
            if (!m_settings.SetValue(name, q->data + nameSize, q->param2)) {
                a->status = kIcpStatusFailed;
                return 0;
            }
            a->kind = kIcpSetAnswer;
            a->dataLength = 0;
            a->status = kIcpStatusDone;
            return 1;
        }
        case kIcpReadTagged:
            ReadTagged(q, a);
            return OnIcp(q, a);
        case kIcpWriteTagged:
            m_tagged.ImportTagged(QueryText(q, q->dataLength), false);
            a->kind = kIcpWriteTaggedAnswer;
            a->dataLength = 0;
            a->status = kIcpStatusDone;
            return OnIcp(q, a);
        case kIcpCommand:
            break;
        default:
            return OnIcp(q, a);
    }

    switch (q->code) {
        case kCmdStartGui:
            return CommandAnswer(a, StartGui());
        case kCmdStopGui:
            return CommandAnswer(a, StopGui(q->param1 != 0));
        case kCmdUpdateSet:
            return CommandAnswer(a, OnUpdateSettings());
        case kCmdGetPercent: {
            m_progressLock.Lock();
            CommandAnswer(a, 1);
            int result = 0;
            if (m_progress.active) {
                a->param1 = m_progress.number2;
                a->param2 = m_progress.number1;
                a->param3 = m_progress.number3;
                a->param4 = m_progress.number4;
                size_t n = std::min<size_t>(m_progress.text.size() + 1, answerCapacity);
                if (n) {
                    std::memcpy(a->data, m_progress.text.c_str(), n);
                    a->data[n - 1] = 0;
                }
                a->dataLength = uint32_t(n);
                result = 1;
            }
            m_progressLock.Unlock();
            return result;
        }
        case kCmdStopPercent:
            CommandAnswer(a, 1);
            a->param1 = uint32_t(StopPercent());
            return 0;
        case kCmdCopySettings: {
            CSettingsStore temporary;
            int result = CopySettings(temporary, q->data, QueryLength(q));
            return SettingsAnswer(a, temporary, result);
        }
        case kCmdPasteSettings: {
            CSettingsStore temporary;
            uint32_t length = QueryLength(q);
            int result = 0;
            if (q->param1 <= length) {
                CSettingsSnapshot snapshot;
                if (snapshot.Deserialize(q->data + q->param1, length - q->param1, q->param2)) {
                    for (size_t i = 0; i < snapshot.Count(); ++i) {
                        const SettingRecord* r = snapshot.RecordAt(i);
                        temporary.Declare(SettingDecl{r->name, r->type, r->capacity, r->flags});
                        temporary.SetValue(r->name, r->Value(), std::min(r->length, r->capacity));
                    }
                    result = PasteSettings(temporary, q->data, q->param1);
                }
            }
            return SettingsAnswer(a, temporary, result);
        }
        default:
            return OnIcp(q, a);
    }
}

}  // namespace corvanta
