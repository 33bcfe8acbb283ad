#pragma once
// The file that holds the current user's registry, shared by every process of
// the user. Reads and changes happen under an exclusive flock on a side lock
// file; a change re-reads the file under that lock, applies itself and
// replaces the file atomically (temporary file, fsync, rename), so neither a
// crash nor a second writer can tear the file or lose a value.

#include <functional>
#include <string>

#include "platform/RegistryFile.h"
#include "platform/SysResult.h"

namespace corvanta::platform {

class RegistryStorage {
public:
    // `file` is the registry file; its folder is made when missing.
    explicit RegistryStorage(std::string file);

    // $XDG_CONFIG_HOME/corvanta/registry.reg, or ~/.config/corvanta/registry.reg
    // when XDG_CONFIG_HOME is unset or not an absolute path.
    static std::string DefaultFile();

    const std::string& File() const { return m_file; }

    // The tree as it is on disk. A missing file is an empty tree. A file that
    // cannot be parsed is moved aside (never deleted), reported once on
    // standard error, and read as an empty tree.
    SysResult<RegistryTree> Load() const;

    // Reads the tree under the lock and calls `change`; when it returns true
    // the tree is written back before the lock is released. Returns what
    // `change` returned.
    SysResult<bool> Update(const std::function<bool(RegistryTree&)>& change) const;

private:
    SysResult<RegistryTree> ReadLocked() const;
    SysResult<bool> WriteLocked(const RegistryTree& tree) const;

    std::string m_file;
};

}  // namespace corvanta::platform
