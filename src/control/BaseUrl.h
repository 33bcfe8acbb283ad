#pragma once
// The recorder's base URL from the control's two properties: the URL as it
// is for port 80, else "URL:port". An empty URL is not special: with 8080
// it gives ":8080", which the channel then refuses as it refuses any URL
// that is not http://.

#include <cstdint>
#include <string>

namespace corvanta::control {

std::string MakeBaseUrl(const std::string& serverUrl, int32_t serverPort);

}  // namespace corvanta::control
