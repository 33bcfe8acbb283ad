#pragma once
// The part of the registry the settings use: keys below HKEY_CURRENT_USER,
// created or opened one level at a time, holding REG_DWORD and REG_SZ values.
// Everything lives in one text file shared by the processes of the user (see
// RegistryStorage); each change is a locked read-modify-write of that file, so
// a handle holds no cached values and always sees what others wrote.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/RegistryFile.h"
#include "platform/RegistryStorage.h"

namespace corvanta::platform {

enum class RegStatus {
    Ok,
    NotFound,         // no such value
    MoreData,         // the caller's buffer is too small; the size says what is needed
    InvalidArgument,  // a name the file cannot hold, or a closed handle
    IoError,          // the file could not be read or written
};

class RegistryKey {
public:
    // A closed handle.
    RegistryKey() = default;

    // HKEY_CURRENT_USER, kept in RegistryStorage::DefaultFile() as it is now.
    static RegistryKey CurrentUser();
    // HKEY_CURRENT_USER kept in the given file.
    static RegistryKey CurrentUserIn(std::string file);

    bool IsOpen() const { return m_storage != nullptr; }
    // The key's path below HKEY_CURRENT_USER ("" for the root).
    const std::string& Path() const { return m_path; }

    // Creates the direct sub-key `name` when it is missing and opens it.
    RegStatus CreateSubKey(std::string_view name, RegistryKey& out) const;

    // Value names may hold any byte except NUL. A text is taken up to its first NUL.
    RegStatus SetDword(std::string_view name, uint32_t value) const;
    RegStatus SetText(std::string_view name, std::string_view text) const;

    // Reads a value the way the system call does: `type` (optional) gets
    // kRegDword or kRegSz; `size` gets the bytes the value needs (4 for a
    // dword, text length + 1 for a text, whose copy ends with a NUL). With no
    // `data` only type and size are reported. When *size is smaller than
    // needed, nothing is copied and MoreData is returned.
    RegStatus QueryValue(std::string_view name, uint32_t* type, void* data, uint32_t* size) const;

    void Close();

private:
    RegStatus SetValue(std::string_view name, RegistryValue value) const;

    std::shared_ptr<const RegistryStorage> m_storage;
    std::string m_path;
};

}  // namespace corvanta::platform
