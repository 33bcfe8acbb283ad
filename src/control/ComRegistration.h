#pragma once
// Self-registration of the module in the current user's registry stand-in,
// below HKEY_CURRENT_USER\Software\Classes, laid out as class registrations
// are: the type library, the control's CLSID and ProgID with its misc
// status, toolbox bitmap and type library, the property page, and the two
// component categories the control is entered in. Each step is one atomic
// change of the registry file, so a failure never leaves half a class.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/RegistryStorage.h"

namespace corvanta::control {

inline constexpr char kClassesRoot[] = "Software\\Classes";

// The type library, then both classes, then the categories. Returns 0,
// kRegTypeLibFailed or kRegClassFailed. A category that cannot be created
// is skipped and does not fail the registration. `modulePath` is what
// InprocServer32 names: where a host finds the module.
int32_t RegisterModule(const platform::RegistryStorage& storage, const std::string& modulePath);

// Removes the type library, then the classes and the ProgIDs; the
// categories stay, other controls may be entered in them.
int32_t UnregisterModule(const platform::RegistryStorage& storage);

// The description a category is created with: at most 127 bytes.
std::string CategoryDescription(std::string_view text);

// The module path registered for `progId`, or "" when it is not registered.
std::string RegisteredModulePath(const platform::RegistryStorage& storage, std::string_view progId);

}  // namespace corvanta::control
