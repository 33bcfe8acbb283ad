#include "framework/FilterMessages.h"

#include "framework/IcpRecord.h"
#include "platform/WindowSystem.h"

namespace corvanta {
namespace {

struct Names {
    const char* registered;
    const char* display;
};

constexpr Names kNames[kFilterMessageCount] = {
    {"FILTER_START", "FilterStartMessage"},
    {"FILTER_STOP", "FilterStopMessage"},
    {"FILTER_ICP", "FilterICPMessage"},
    {"PIN_UPDATE", "PINUpdateMessage"},
    {"PIN_CONNECT", "PINConnectedMessage"},
    {"PIN_CONNECTION_REQUEST", "PINConnectionReqMessage"},
    {"PIN_DISCONNECT", "PINDisconnectedMessage"},
    {"PIN_DISCONNECTION_REQUEST", "PINDisconnectionReqMessage"},
    {"PIN_FORCED_RECONNECTION", "ForcedConnection"},
};

}  // namespace

FilterMessageNumbers::FilterMessageNumbers() {
    for (int i = 0; i < kFilterMessageCount; ++i) m_numbers[i] = platform::RegisterWindowMessage(kNames[i].registered);
}

const char* FilterMessageNumbers::DisplayName(uint32_t number) const {
    FilterMessage m = Which(number);
    return m == kFilterMessageCount ? "Unknown MSG" : kNames[m].display;
}

FilterMessage FilterMessageNumbers::Which(uint32_t number) const {
    for (int i = 0; i < kFilterMessageCount; ++i)
        if (number != 0 && m_numbers[i] == number) return FilterMessage(i);
    return kFilterMessageCount;
}

const char* FilterMessageRegisteredName(FilterMessage m) {
    return m < kFilterMessageCount ? kNames[m].registered : "";
}

std::string IcpRequestName(uint32_t kind, uint32_t code) {
    if (kind == kIcpGet) return "GET";
    if (kind == kIcpSet) return "SET";
    if (kind == kIcpCommand) {
        static constexpr const char* kCommands[] = {"STARTGUI",   "STOPGUI",     "UPDATESET",    "GETPERCENT",
                                                    "STOPPERCENT", "COPYSETTINGS", "PASTESETTINGS"};
        if (code >= kCmdStartGui && code <= kCmdPasteSettings) return kCommands[code - kCmdStartGui];
    }
    return "IPC " + std::to_string(int(kind)) + " - " + std::to_string(int(code));
}

}  // namespace corvanta
