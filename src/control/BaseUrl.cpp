#include "control/BaseUrl.h"

namespace corvanta::control {

std::string MakeBaseUrl(const std::string& serverUrl, int32_t serverPort) {
    if (serverPort == 80) return serverUrl;
    return serverUrl + ":" + std::to_string(serverPort);
}

}  // namespace corvanta::control
