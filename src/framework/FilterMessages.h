#pragma once
// The registered messages filters exchange, their display names for log
// texts, and the names used for ICP requests in logs.

#include <array>
#include <cstdint>
#include <string>

namespace corvanta {

enum FilterMessage : int {
    FILTER_START,
    FILTER_STOP,
    FILTER_ICP,
    PIN_UPDATE,
    PIN_CONNECT,
    PIN_CONNECTION_REQUEST,
    PIN_DISCONNECT,
    PIN_DISCONNECTION_REQUEST,
    PIN_FORCED_RECONNECTION,
    kFilterMessageCount,
};

// The registered numbers of the nine filter messages, in the order above.
class FilterMessageNumbers {
public:
    FilterMessageNumbers();
    uint32_t operator[](FilterMessage m) const { return m_numbers[m]; }
    // "FilterStartMessage" ... "ForcedConnection"; "Unknown MSG" for any other number.
    const char* DisplayName(uint32_t number) const;
    // Which filter message a number is; kFilterMessageCount for none.
    FilterMessage Which(uint32_t number) const;

private:
    std::array<uint32_t, kFilterMessageCount> m_numbers;
};

const char* FilterMessageRegisteredName(FilterMessage m);

// The queue-management messages.
inline constexpr const char* kStartTimerMessage = "MessageQueueBase Start Timer Message";
inline constexpr const char* kStopTimerMessage = "MessageQueueBase Stop Timer Message";
inline constexpr const char* kRegistrationAnswerMessage = "MessageQueueBase Registration Answer Message";
inline constexpr const char* kRegistrationBroadcastMessage = "MessageQueueBase Registration Broadcast Message";

// "GET", "SET", the built-in command names, or "IPC %d - %d".
std::string IcpRequestName(uint32_t kind, uint32_t code);

}  // namespace corvanta
