#include "framework/CFilterIcpClient.h"

#include <cstring>

#include "framework/CMessageQueueManager.h"
#include "framework/InstanceNames.h"
#include "platform/WindowSystem.h"
#include "stores/CSMemory.h"

namespace corvanta {

using namespace platform;

namespace {

// Regions bigger than this are not something any filter makes.
constexpr uint32_t kMaxIcpCapacity = 64u << 20;
constexpr uint32_t kIcpTimeoutMs = 100000;

IcpRecord* Record(CYSMemory& r) { return static_cast<IcpRecord*>(r.Data()); }

void WriteRequest(IcpRecord* q, uint32_t kind, uint32_t code, uint32_t p1, uint32_t p2, uint32_t p3, uint32_t p4,
                  const void* data, uint32_t length) {
    q->kind = kind;
    q->code = code;
    q->param1 = p1;
    q->param2 = p2;
    q->param3 = p3;
    q->param4 = p4;
    q->dataLength = length;
    q->status = 0;
    if (data && length) std::memcpy(q->data, data, length);
}

// dataLength + 68 bytes, never more than the region holds.
uint32_t WholeRecordSize(const IcpRecord* r, uint32_t capacity) {
    return std::min(r->dataLength, capacity) + kIcpOverhead;
}

}  // namespace

int OpenIcpRegion(CYSMemory& region, const std::string& name, uint32_t* capacity) {
    if (!region.Open(kIcpOverhead, name.c_str())) return 0;
    if (!region.Lock(true)) {
        region.Close();
        return 0;
    }
    uint32_t cap = Record(region)->capacity;
    region.Unlock();
    if (cap > kMaxIcpCapacity || !region.Open(cap + kIcpOverhead, name.c_str())) {
        region.Close();
        return 0;
    }
    *capacity = cap;
    return 1;
}

CFilterIcpClient::CFilterIcpClient() : m_info{}, m_icpMessage(RegisterWindowMessage("FILTER_ICP")) {}

CFilterIcpClient::~CFilterIcpClient() { Close(); }

int CFilterIcpClient::IsOpen() { return m_target != 0; }

int CFilterIcpClient::Close() {
    m_answerBuffer.clear();
    m_answerBuffer.shrink_to_fit();
    m_target = 0;
    m_answer.Close();
    m_query.Close();
    return 1;
}

int CFilterIcpClient::Open(const char* filterName) {
    Close();
    if (!filterName) return 0;
    std::string name = filterName;
    Hwnd target = CMessageQueueManager::FindQueue(name);
    if (!target) return 0;

    std::memset(&m_info, 0, sizeof m_info);
    CSMemory info;
    if (info.Open(sizeof(FilterInfoBlock), InstanceNames::FilterInfoRegion(name).c_str())) {
        info.Lock();
        std::memcpy(&m_info, info.Data(), sizeof m_info);
        info.Unlock();
    }

    if (!OpenIcpRegion(m_query, InstanceNames::QueryRegion(name), &m_queryCapacity) ||
        !OpenIcpRegion(m_answer, InstanceNames::AnswerRegion(name), &m_answerCapacity)) {
        Close();
        return 0;
    }
    m_answerBuffer.assign(size_t(m_answerCapacity) + kIcpOverhead, 0);
    m_target = target;
    return 1;
}

int CFilterIcpClient::Send(uint32_t kind, uint32_t code, uint32_t param1, uint32_t param2, const void* data,
                           uint32_t length, uint32_t param3, uint32_t param4, bool useTimeout) {
    return Exchange(kind, code, param1, param2, data, length, param3, param4, useTimeout, nullptr);
}

int CFilterIcpClient::SendCommandReading(uint32_t code, uint32_t param1, uint32_t param2, const AnswerReader& read) {
    return Exchange(kIcpCommand, code, param1, param2, nullptr, 0, 0, 0, false, &read);
}

int CFilterIcpClient::Exchange(uint32_t kind, uint32_t code, uint32_t param1, uint32_t param2, const void* data,
                               uint32_t length, uint32_t param3, uint32_t param4, bool useTimeout,
                               const AnswerReader* read) {
    if (!IsOpen()) return 0;
    if (!IsWindow(m_target)) {
        reinterpret_cast<IcpRecord*>(m_answerBuffer.data())->status = 0;
        return 0;
    }
    if (length > m_queryCapacity) return 0;
    if (!m_query.Lock(true)) return 0;
    WriteRequest(Record(m_query), kind, code, param1, param2, param3, param4, data, length);
    if (!m_answer.Lock(true)) {
        m_query.Unlock();
        return 0;
    }
    int result;
    if (useTimeout) {
        LResult r = 0;
        result = SendMessageTimeout(m_target, m_icpMessage, 0, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG, kIcpTimeoutMs, &r)
                     ? 1
                     : 0;
    } else {
        result = int(SendMessage(m_target, m_icpMessage, 0, 0));
    }
    const IcpRecord* a = Record(m_answer);
    if (read) {
        std::memcpy(m_answerBuffer.data(), a, kIcpOverhead);
        if (result) (*read)(*a, m_answerCapacity);
    } else {
        std::memcpy(m_answerBuffer.data(), a, WholeRecordSize(a, m_answerCapacity));
    }
    m_answer.Unlock();
    m_query.Unlock();
    return result;
}

int CFilterIcpClient::SendCommand(uint32_t code, uint32_t param1, uint32_t param2, const void* data, uint32_t length,
                                  uint32_t param3, uint32_t param4, bool useTimeout) {
    return Send(kIcpCommand, code, param1, param2, data, length, param3, param4, useTimeout);
}

int CFilterIcpClient::SendCommandText(uint32_t code, uint32_t param1, const char* text, uint32_t param2,
                                      uint32_t param3, uint32_t param4, bool useTimeout) {
    if (!text) return SendCommand(code, param1, param2, nullptr, 0, param3, param4, useTimeout);
    return SendCommand(code, param1, param2, text, uint32_t(std::strlen(text) + 1), param3, param4, useTimeout);
}

const IcpRecord* CFilterIcpClient::Answer() const {
    return m_answerBuffer.empty() ? nullptr : reinterpret_cast<const IcpRecord*>(m_answerBuffer.data());
}

int CFilterIcpClient::LockBoth() {
    if (!m_query.Lock(true)) return 0;
    if (!m_answer.Lock(true)) {
        m_query.Unlock();
        return 0;
    }
    return 1;
}

void CFilterIcpClient::UnlockBoth() {
    m_answer.Unlock();
    m_query.Unlock();
}

int CFilterIcpClient::Set(const char* name, const void* data, uint32_t size) {
    if (!IsOpen() || !name) return 0;
    uint32_t nameSize = uint32_t(std::strlen(name) + 1);
    if (uint64_t(nameSize) + size > m_queryCapacity) return 0;
    std::vector<uint8_t> payload(nameSize + size);
    std::memcpy(payload.data(), name, nameSize);
    if (size) std::memcpy(payload.data() + nameSize, data, size);
    if (!LockBoth()) return 0;
    int r = Send(kIcpSet, 0, nameSize, size, payload.data(), uint32_t(payload.size()));
    UnlockBoth();
    return r;
}

const void* CFilterIcpClient::Get(const char* name, uint32_t* size) {
    if (!IsOpen() || !name) return nullptr;
    uint32_t wanted = *size;
    if (!Send(kIcpGet, 0, 0, 0, name, uint32_t(std::strlen(name) + 1))) return nullptr;
    const IcpRecord* a = Answer();
    uint32_t got = std::min(a->dataLength, m_answerCapacity);
    if (wanted != 0 && wanted < got) return nullptr;
    *size = got;
    return a->data;
}

int CFilterIcpClient::SetInt(const char* name, int32_t value) { return Set(name, &value, 4); }
int CFilterIcpClient::SetInt(const char* name, uint32_t value) { return Set(name, &value, 4); }
int CFilterIcpClient::SetInt(const char* name, float value) { return Set(name, &value, 4); }
int CFilterIcpClient::SetDate(const char* name, double value) { return Set(name, &value, 8); }
int CFilterIcpClient::SetBytes(const char* name, const void* data, uint32_t size) { return Set(name, data, size); }

int CFilterIcpClient::SetString(const char* name, const char* text) {
    if (!text) return 0;
    return Set(name, text, uint32_t(std::strlen(text) + 1));
}

int CFilterIcpClient::GetBytes(const char* name, void* buffer, uint32_t* size) {
    if (!LockBoth()) return 0;
    const void* v = Get(name, size);
    if (v && *size) std::memcpy(buffer, v, *size);
    UnlockBoth();
    return v ? 1 : 0;
}

template <typename T>
int CFilterIcpClient::GetFixed(const char* name, T* value) {
    uint32_t size = sizeof(T);
    if (!LockBoth()) return 0;
    const void* v = Get(name, &size);
    if (v) {
        T copy{};
        std::memcpy(&copy, v, std::min<uint32_t>(size, sizeof(T)));
        *value = copy;
    }
    UnlockBoth();
    return v ? 1 : 0;
}

int CFilterIcpClient::GetDate(const char* name, double* value) { return GetFixed(name, value); }
int CFilterIcpClient::GetInt(const char* name, int32_t* value) { return GetFixed(name, value); }
int CFilterIcpClient::GetInt(const char* name, uint32_t* value) { return GetFixed(name, value); }
int CFilterIcpClient::GetInt(const char* name, float* value) { return GetFixed(name, value); }

int CFilterIcpClient::GetInt64(const char* name, uint32_t* low, uint32_t* high) {
    uint64_t v = 0;
    if (!GetFixed(name, &v)) return 0;
    *low = uint32_t(v);
    *high = uint32_t(v >> 32);
    return 1;
}

int CFilterIcpClient::GetString(const char* name, std::string* text) {
    uint32_t size = 0;
    if (!LockBoth()) return 0;
    const char* v = static_cast<const char*>(Get(name, &size));
    if (v) text->assign(v, strnlen(v, size));
    UnlockBoth();
    return v ? 1 : 0;
}

int SendIcpCommand(const char* filterName, uint32_t code, uint32_t param1, uint32_t param2, const void* data,
                   uint32_t length, void* out, uint32_t outSize) {
    if (!filterName) return 0;
    std::string name = filterName;
    Hwnd target = CMessageQueueManager::FindQueue(name);
    if (!target) return 0;
    CYSMemory query, answer;
    uint32_t queryCapacity = 0, answerCapacity = 0;
    if (!OpenIcpRegion(query, InstanceNames::QueryRegion(name), &queryCapacity) ||
        !OpenIcpRegion(answer, InstanceNames::AnswerRegion(name), &answerCapacity))
        return 0;
    if (length > queryCapacity || !query.Lock(true)) return 0;
    if (!answer.Lock(true)) {
        query.Unlock();
        return 0;
    }
    WriteRequest(Record(query), kIcpCommand, code, param1, param2, 0, 0, data, length);
    int result = int(SendMessage(target, RegisterWindowMessage("FILTER_ICP"), 0, 0));
    const IcpRecord* a = Record(answer);
    if (out && a->dataLength <= outSize && a->dataLength <= answerCapacity) std::memcpy(out, a->data, a->dataLength);
    answer.Unlock();
    query.Unlock();
    return result;
}

int SendIcpCommand(const char* filterName, uint32_t code, uint32_t param1, uint32_t param2, const char* text,
                   void* out, uint32_t outSize) {
    uint32_t length = text ? uint32_t(std::strlen(text) + 1) : 0;
    return SendIcpCommand(filterName, code, param1, param2, text, length, out, outSize);
}

}  // namespace corvanta
