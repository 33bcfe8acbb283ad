#pragma once
// The datagram that carries a posted message, a sent message or the reply to
// a sent message from one process's thread queue to another's.

#include <cstddef>
#include <cstdint>

namespace corvanta::platform {

enum WireType : uint32_t {
    kWirePost = 1,
    kWireSend = 2,
    kWireReply = 3,
};

struct WireMessage {
    uint32_t magic;         // kWireMagic; anything else is dropped
    uint32_t type;          // WireType
    uint32_t hwnd;          // target window (0 for a thread message)
    uint32_t message;
    uint64_t wParam;
    int64_t lParam;
    int32_t senderPid;      // where a reply goes
    uint32_t senderSerial;
    uint64_t seq;           // pairs a reply with its send
    int64_t result;         // the handler's result, in a reply
};
static_assert(sizeof(WireMessage) == 56);
static_assert(offsetof(WireMessage, magic) == 0);
static_assert(offsetof(WireMessage, type) == 4);
static_assert(offsetof(WireMessage, hwnd) == 8);
static_assert(offsetof(WireMessage, message) == 12);
static_assert(offsetof(WireMessage, wParam) == 16);
static_assert(offsetof(WireMessage, lParam) == 24);
static_assert(offsetof(WireMessage, senderPid) == 32);
static_assert(offsetof(WireMessage, senderSerial) == 36);
static_assert(offsetof(WireMessage, seq) == 40);
static_assert(offsetof(WireMessage, result) == 48);

inline constexpr uint32_t kWireMagic = 0x43574D31;  // "CWM1"

}  // namespace corvanta::platform
