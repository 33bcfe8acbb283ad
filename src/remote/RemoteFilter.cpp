#include "remote/RemoteFilter.h"

#include "framework/FilterCodes.h"
#include "remote/ConnectionState.h"
#include "remote/HttpRequest.h"
#include "remote/RecorderInterface.h"
#include "remote/RemoteSession.h"

namespace corvanta {

CRemoteFilter::CRemoteFilter() : m_stallSeconds(CHttpRequest::kStallTimeoutSeconds) {
    Queue().SetPassThrough(true);
}

CRemoteFilter::~CRemoteFilter() {
    Close();
}

int CRemoteFilter::Exchange(const IcpRecord* query, uint32_t queryCapacity, CHttpRequest& request) {
    m_url.clear();
    if (!AppendMessageRequestUrl(m_url, Name(), query, queryCapacity)) {
        return 0;
    }
    return request.Get(m_url) && request.ReceivedCount() > 0 ? 1 : 0;
}

int CRemoteFilter::OnIcp(IcpRecord* query, IcpRecord* answer) {
    CHttpRequest request;
    request.SetStallTimeoutSeconds(m_stallSeconds);
    const int written = Exchange(query, Descriptor().queryCapacity, request)
                            ? m_writer.Write(request.Buffer(), request.ReceivedCount(), answer,
                                             Descriptor().answerCapacity)
                            : 0;
    m_lastReply = ReplyOf(request, written);
    if (m_lastReply == Reply::NoAnswer) {
        RecorderConnection().Failed();
    } else if (m_lastReply != Reply::NotSent) {
        RecorderConnection().Answered();
    }
    return written;
}

CRemoteFilter::Reply CRemoteFilter::ReplyOf(const CHttpRequest& request, int written) {
    if (written) return Reply::Answer;
    if (request.Status() == 0) return request.Sent() ? Reply::NoAnswer : Reply::NotSent;
    if (request.Status() == 200 && request.ReceivedCount() == 0) return Reply::Empty;
    return Reply::Foreign;
}

CRemoteArchiveQuery::CRemoteArchiveQuery() {
    SetStallTimeoutSeconds(CHttpRequest::kSlowAnswerStallTimeoutSeconds);
}

CRemoteArchiveQuery::~CRemoteArchiveQuery() {
    Close();
}

CFilterDescriptor CRemoteArchiveQuery::MakeDescriptor() {
    return CFilterDescriptor{.name = kArchiveQueryFilterName, .classCode = kFilterClassQuery,
                             .typeCode = kFilterTypeArchiveQuery, .version = "1.0.0", .queryCapacity = 1024000,
                             .answerCapacity = 4096000};
}

CRemoteStreamFilter::~CRemoteStreamFilter() {
    Close();
}

CFilterDescriptor CRemoteStreamFilter::MakeDescriptor(std::string_view fileName) {
    return CFilterDescriptor{.name = FrameSourceName(fileName), .classCode = kFilterClassService,
                             .typeCode = kFilterTypePlayback, .version = "1.0.0", .queryCapacity = 64000,
                             .answerCapacity = kFrameAnswerCapacity, .spareNumber = 200};
}

}  // namespace corvanta
