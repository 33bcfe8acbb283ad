#include "services/UserAccess.h"

#include <algorithm>
#include <cstring>

#include "framework/CFilterIcpClient.h"
#include "remote/RemoteSession.h"

namespace corvanta {

namespace {

template <size_t N>
void CopyText(char (&field)[N], const std::string& text) {
    const size_t n = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

// The answer's data as a text: up to its first NUL, never past what the
// client copied.
std::string AnswerText(const CFilterIcpClient& client) {
    const IcpRecord* answer = client.Answer();
    if (!answer) return {};
    const uint32_t length = std::min(answer->dataLength, client.AnswerCapacity());
    const char* start = reinterpret_cast<const char*>(answer->data);
    return std::string(start, strnlen(start, length));
}

// What the proxy said about a failed login; a reply without its word (no
// proxy window answered) means nothing was reached.
LoginFailure FailureOf(const IcpRecord* answer) {
    if (!answer || answer->status != kIcpStatusFailed) return LoginFailure::NoAnswer;
    switch (static_cast<LoginFailure>(answer->param1)) {
        case LoginFailure::NotARecorder: return LoginFailure::NotARecorder;
        case LoginFailure::Refused: return LoginFailure::Refused;
        default: return LoginFailure::NoAnswer;
    }
}

}  // namespace

LoginRecord MakeLoginRecord(const std::string& userName, const std::string& password) {
    LoginRecord record;
    std::memset(&record, 0, sizeof record);
    CopyText(record.userName, userName);
    CopyText(record.password, password);
    CopyText(record.userKind, kLoginUserKind);
    record.one = 1;
    return record;
}

PrivilegeQuery MakePrivilegeQuery(const std::string& privilegeName, const std::string& sessionId) {
    PrivilegeQuery query;
    std::memset(&query, 0, sizeof query);
    CopyText(query.privilegeName, privilegeName);
    CopyText(query.sessionId, sessionId);
    return query;
}

LoginOutcome LogIn(const std::string& userName, const std::string& password) {
    LoginOutcome outcome;
    outcome.failure = LoginFailure::NoAnswer;
    CFilterIcpClient client;
    if (!client.Open(kUserPrivilegeFilterName)) return outcome;
    const std::string previous = SessionId();
    const LoginRecord record = MakeLoginRecord(userName, password);
    if (client.SendCommand(kPrivilegeLogIn, 0, 0, &record, sizeof record)) {
        SetSessionId(AnswerText(client));
        outcome.loggedIn = 1;
        outcome.failure = LoginFailure::None;
        if (!previous.empty() && client.SendCommandText(kPrivilegeLogOff, 0, previous.c_str()))
            outcome.loggedOff = 1;
    } else {
        outcome.failure = FailureOf(client.Answer());
    }
    client.Close();
    return outcome;
}

int LogOff() {
    const std::string session = SessionId();
    if (session.empty()) return 0;
    SendIcpCommand(kUserPrivilegeFilterName, kPrivilegeLogOff, 0, 0, session.c_str());
    SetSessionId("");
    return 1;
}

int CheckPrivilege(const std::string& privilegeName, const char* sessionId) {
    CFilterIcpClient client;
    if (!client.Open(kUserPrivilegeFilterName)) return 0;
    const std::string session = sessionId && sessionId[0] ? std::string(sessionId) : SessionId();
    const PrivilegeQuery query = MakePrivilegeQuery(privilegeName, session);
    const int result = client.SendCommand(kPrivilegeCheck, 0, 0, &query, sizeof query);
    client.Close();
    return result ? 1 : 0;
}

}  // namespace corvanta
