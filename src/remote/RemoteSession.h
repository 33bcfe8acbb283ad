#pragma once
// The two process-wide texts every request to the recorder carries, and the
// Message request that carries one IcpRecord to a filter on the recorder.

#include <cstdint>
#include <string>
#include <string_view>

#include "framework/IcpRecord.h"

namespace corvanta {

// The recorder's base URL, e.g. "http://192.168.1.20:8080". Set from the
// control's server properties and by the login; empty at start. Only a base
// that begins with "http://" leads to working requests.
std::string FilterServerURL();
void SetFilterServerURL(std::string_view url);

// The session id of the last successful login; emptied by the log-off.
std::string SessionId();
void SetSessionId(std::string_view id);

// Appends the Message request for the record at `query` to `url`:
// "<FilterServerURL>/Filter?Message&SID=<SessionId>&Name=<filterName>&Data=<hex>",
// where the hexadecimal text covers the header, `dataLength` bytes of data
// and the 4 spare bytes behind them. The texts go in as they are; blanks in
// the filter name are turned into %20 by CHttpRequest::Get, because the
// client library refuses a raw blank.
//
// `queryCapacity` is the data capacity of the region the record lies in.
// Returns 0 and leaves `url` alone when the record claims more data than
// that, since its bytes would come from past the region.
int32_t AppendMessageRequestUrl(std::string& url, std::string_view filterName, const IcpRecord* query,
                                uint32_t queryCapacity);

// The same request to a recorder and session given by the caller rather
// than the process-wide texts: for a channel that keeps its own connection
// (an export) and must not follow a later log-in of the user interface.
int32_t AppendMessageRequestUrl(std::string& url, std::string_view serverUrl, std::string_view sessionId,
                                std::string_view filterName, const IcpRecord* query, uint32_t queryCapacity);

}  // namespace corvanta
