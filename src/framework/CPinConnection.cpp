#include "framework/CPinConnection.h"

#include <atomic>

#include "framework/InstanceNames.h"
#include "platform/SharedRegion.h"
#include "platform/WindowSystem.h"

namespace corvanta {
namespace {

std::atomic<uint32_t> g_connectionSequence{0};

constexpr uint32_t kHeaderSize = sizeof(PinMemoryHeader);
constexpr uint32_t kDisconnectTimeoutMs = 20000;
// No pin of any producer carries more than this.
constexpr uint32_t kMaxPinData = 256u << 20;

}  // namespace

CPinConnection::CPinConnection()
    : sequenceNumber(++g_connectionSequence),
      disconnectionRequestMessage(platform::RegisterWindowMessage("PIN_DISCONNECTION_REQUEST")) {}

CPinConnection::~CPinConnection() { Close(false); }

int CPinConnection::Map() {
    std::string name = InstanceNames::PinRegion(remoteFilterName, int(pinNumber));
    // A consumer never makes a producer's region.
    if (!platform::SharedRegion::InUse(name)) return 0;
    if (!m_memory.Create(kHeaderSize, name.c_str(), false)) return 0;
    m_memory.Lock(false);
    uint32_t size = static_cast<const PinMemoryHeader*>(m_memory.Data())->dataSize;
    m_memory.Unlock();
    m_memory.Close();
    if (size > kMaxPinData || !m_memory.Create(kHeaderSize + size, name.c_str(), false)) return 0;
    dataSize = size;
    open = true;
    return 1;
}

void CPinConnection::Close(bool notice) {
    if (open) {
        m_memory.Close();
        open = false;
    }
    if (notice && platform::IsWindow(ownerWindow)) {
        platform::LResult ignored = 0;
        platform::SendMessageTimeout(ownerWindow, disconnectionRequestMessage, pinNumber, platform::LParam(ownWindow),
                                     platform::SMTO_ABORTIFHUNG, kDisconnectTimeoutMs, &ignored);
    }
}

const uint8_t* CPinConnection::Data() const {
    if (!open || !m_memory.Data()) return nullptr;
    return static_cast<const uint8_t*>(m_memory.Data()) + kHeaderSize;
}

}  // namespace corvanta
