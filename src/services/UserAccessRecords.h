#pragma once
// Records of the user privilege service "Main User Privilege": the login and
// the privilege check travel as the data of a kind-3 IcpRecord. Both are
// zero-filled before their texts are written, so every text ends in a NUL
// inside its field.

#include <cstddef>
#include <cstdint>

namespace corvanta {

inline constexpr char kUserPrivilegeFilterName[] = "Main User Privilege";

// Command codes of "Main User Privilege". The recorder answers them too: a new
// one takes a code not used here (the next above 14) on both sides.
enum UserPrivilegeCommand : uint32_t {
    kPrivilegeCheck = 8,   // data: PrivilegeQuery; a non-empty answer means granted
    kPrivilegeLogOff = 11, // data: the session id text with its NUL
    kPrivilegeLogIn = 14,  // data: LoginRecord; answer data: the new session id text
};

// Why a login failed. The local proxy puts it in `param1` of a failed login's
// answer (status -1, no data); it never travels to the recorder.
enum class LoginFailure : uint32_t {
    None = 0,
    NoAnswer = 1,      // nothing answered at the server URL
    NotARecorder = 2,  // something answered, but not as a recorder (or the URL is not http://)
    Refused = 3,       // the recorder refused the user
};

// The longest session id the recorder may hand out (it must fit
// PrivilegeQuery::sessionId with its NUL).
inline constexpr std::size_t kMaxSessionIdLength = 20;

// The user kind text a login carries.
inline constexpr char kLoginUserKind[] = "DAVAV WEB USER";

struct LoginRecord {
    char userName[41];   // NUL-terminated
    char password[21];   // NUL-terminated, plain text
    char userKind[42];   // kLoginUserKind, NUL-terminated
    int32_t one;         // always 1
};
static_assert(sizeof(LoginRecord) == 108);
static_assert(offsetof(LoginRecord, userName) == 0);
static_assert(offsetof(LoginRecord, password) == 41);
static_assert(offsetof(LoginRecord, userKind) == 62);
static_assert(offsetof(LoginRecord, one) == 104);

struct PrivilegeQuery {
    char privilegeName[201];  // NUL-terminated, at most 200 characters
    char sessionId[21];       // NUL-terminated, at most kMaxSessionIdLength characters
};
static_assert(sizeof(PrivilegeQuery) == 222);
static_assert(offsetof(PrivilegeQuery, privilegeName) == 0);
static_assert(offsetof(PrivilegeQuery, sessionId) == 201);

}  // namespace corvanta
