#include "remote/RawRecorderChannel.h"

#include <cstring>

#include "remote/RecorderInterface.h"
#include "remote/RemoteSession.h"

namespace corvanta {

CRawRecorderChannel::CRawRecorderChannel(std::string serverUrl, std::string sessionId)
    : m_serverUrl(std::move(serverUrl)), m_sessionId(std::move(sessionId)) {}

bool CRawRecorderChannel::Command(std::string_view filterName, uint32_t code, uint32_t param1, uint32_t param2,
                                  std::span<const uint8_t> data) {
    m_data = {};
    m_header = IcpHeader{};
    m_noAnswer = false;
    m_query.assign(kIcpOverhead + data.size(), '\0');
    IcpHeader query{};
    query.kind = kIcpCommand;
    query.code = code;
    query.param1 = param1;
    query.param2 = param2;
    query.dataLength = static_cast<uint32_t>(data.size());
    std::memcpy(m_query.data(), &query, sizeof query);
    if (!data.empty()) std::memcpy(m_query.data() + kIcpHeaderSize, data.data(), data.size());
    m_url.clear();
    const auto* record = reinterpret_cast<const IcpRecord*>(m_query.data());
    if (!AppendMessageRequestUrl(m_url, m_serverUrl, m_sessionId, filterName, record, query.dataLength)) return false;
    if (!m_request.Get(m_url)) {
        m_noAnswer = m_request.Sent() && !m_request.Cancelled();
        return false;
    }
    const uint32_t received = m_request.ReceivedCount();
    if (m_request.Status() != 200 || received < kIcpHeaderSize) return false;
    std::memcpy(&m_header, m_request.Buffer(), kIcpHeaderSize);
    // A record shorter than its own dataLength is cut: nothing is read past the body.
    if (m_header.dataLength > received - kIcpHeaderSize) return false;
    m_data = {m_request.Buffer() + kIcpHeaderSize, m_header.dataLength};
    return true;
}

bool CRawRecorderChannel::GetFrame(std::string_view fileName, uint32_t index) {
    return Command(FrameSourceName(fileName), kFrameSourceGetFrame, index, 0) &&
           m_header.encoding == kIcpEncodingPicture && !m_data.empty();
}

}  // namespace corvanta
