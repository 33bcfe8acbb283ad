#include "framework/CPin.h"

#include <algorithm>
#include <cstring>

#include "framework/FixedText.h"
#include "framework/InstanceNames.h"
#include "framework/PinTarget.h"

namespace corvanta {
CPin::CPin(uint32_t number) : pinNumber(number) {}

CPin::~CPin() {
    targets.Lock();
    for (size_t i = 0; i < targets.GetSize(); ++i) delete static_cast<PinTarget*>(targets.GetAt(i));
    targets.RemoveAll();
    targets.Unlock();
}

int CPin::Release() { return 1; }

int CPin::OnPublishWord(uint32_t) { return 1; }

int CPin::CreateMemory(const std::string& ownerName, uint32_t dataSize) {
    if (dataSize > UINT32_MAX - sizeof(PinMemoryHeader) - sizeof(RWSMemoryHeader)) return 0;
    std::string name = InstanceNames::PinRegion(ownerName, int(pinNumber));
    if (!m_memory.Create(uint32_t(sizeof(PinMemoryHeader)) + dataSize, name.c_str(), true)) return 0;
    m_memory.Lock(true);
    static_cast<PinMemoryHeader*>(m_memory.Data())->dataSize = dataSize;
    m_memory.Unlock();
    m_dataSize = dataSize;
    return 1;
}

int CPin::Write(const void* bytes, uint32_t size) {
    if (!m_memory.Data()) return 0;
    m_memory.Lock(true);
    std::memcpy(static_cast<uint8_t*>(m_memory.Data()) + sizeof(PinMemoryHeader), bytes, std::min(size, m_dataSize));
    m_memory.Unlock();
    return 1;
}

void CPin::Describe(PinInfo& info) const {
    info.valid = 1;
    info.pinNumber = pinNumber;
    info.word1 = word8;
    info.word2 = word12;
    info.word3 = word60;
    info.word4 = word64;
    info.pinReady = ready ? 1 : 0;
    CopyText(info.text1, sizeof info.text1, text1);
    CopyText(info.text2, sizeof info.text2, text2);
    CopyText(info.text3, sizeof info.text3, text3);
}

}  // namespace corvanta
