#pragma once
// The caller side of the user privilege service "Main User Privilege": the
// login exchange the login dialog makes, the log-off, and privilege checks.
// All go through the local proxy (CUserPrivilegeProxy) to the recorder and
// keep the process-wide SessionId (remote/RemoteSession.h) up to date.

#include <string>

#include "services/UserAccessRecords.h"

namespace corvanta {

// Zero-filled records with their texts; texts longer than a field are cut
// so that the field keeps its NUL.
LoginRecord MakeLoginRecord(const std::string& userName, const std::string& password);
PrivilegeQuery MakePrivilegeQuery(const std::string& privilegeName, const std::string& sessionId);

struct LoginOutcome {
    int loggedIn = 0;   // the recorder accepted the login; SessionId holds the new id
    int loggedOff = 0;  // a previous session was logged off on the recorder
    LoginFailure failure = LoginFailure::None;  // why not, when not logged in
};

// Sends the login (command 14). When the recorder accepts it, SessionId
// becomes the answered id first, and only then is the session that was open
// before logged off (command 11 with the old id, on the same client), so
// that the log-off travels with a live session. Nothing changes when the
// service cannot be reached or refuses; `failure` tells which.
LoginOutcome LogIn(const std::string& userName, const std::string& password);

// 1 when a session was open: its log-off was sent (its result is ignored)
// and SessionId emptied. 0, with nothing sent, when SessionId is empty.
int LogOff();

// 1 when the service answered the check of `privilegeName` with a non-zero
// result, 0 otherwise (also when it cannot be reached). The check is for
// `sessionId` when one is given and not empty, else for SessionId.
int CheckPrivilege(const std::string& privilegeName, const char* sessionId = nullptr);

}  // namespace corvanta
