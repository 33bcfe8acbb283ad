#pragma once
// The main dialog's own settings, section "MainDialog", which the login
// dialog shows and stores. They persist to the registry stand-in.

#include <cstdint>

namespace corvanta {

class CSettingsStore;

inline constexpr char kMainDialogSection[] = "MainDialog";
inline constexpr char kSettingCommType[] = "CommType";      // integer, the network mode; default 2
inline constexpr char kSettingStreamPort[] = "StreamPort";  // integer; default 8080
inline constexpr char kSettingServerUrl[] = "ServerURL";    // text of up to 100 characters
inline constexpr char kSettingUserPswd[] = "UserPswd";      // text, the password in plain text
inline constexpr char kSettingUserName[] = "UserName";      // text
inline constexpr uint32_t kMainDialogTextCapacity = 101;

// Names the section and declares the five settings with their defaults, in
// the main dialog's order; call Load afterwards to take the stored values.
// 0 when a declaration failed (a setting already declared, for one).
int DeclareMainDialogSettings(CSettingsStore& store);

}  // namespace corvanta
