#pragma once
// Records as the recorder sends them; the recorder forgotten between tests.

#include <cstring>
#include <string>

#include "framework/IcpRecord.h"
#include "remote/HttpRequest.h"
#include "remote/RemoteSession.h"
#include "support/InstanceTest.h"
#include "support/TestHttpServer.h"

namespace corvanta::test {

inline void ForgetRecorder() {
    SetFilterServerURL("");
    SetSessionId("");
    SetConsecutiveFailures(0);
}

// Every field set, so that one lost or moved on the way shows.
inline IcpHeader Header(uint32_t dataLength, uint32_t encoding = kIcpEncodingRaw) {
    return IcpHeader{kIcpStatusDone, {0, 0, 0xA5A5A5A5}, kIcpCommandAnswer, 6, 11, 22, 40, 44, dataLength, 0xDEAD, encoding};
}

inline std::string RecordBody(const IcpHeader& header, const std::string& data,
                              const std::string& spare = std::string(4, '\0')) {
    return std::string(reinterpret_cast<const char*>(&header), kIcpHeaderSize) + data + spare;
}

}  // namespace corvanta::test
