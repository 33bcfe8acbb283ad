#pragma once
// Named shared memory shared by every process of the user.
//
// Each user of a region holds a shared file lock on it for as long as it is
// mapped. That lock is what tells a live region from one left behind by a
// killed process: a region nobody holds a lock on is stale and is made anew.
// The last user to close a region removes its name.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/SysResult.h"

namespace corvanta::platform {

class SharedRegion {
public:
    enum class Mode { CreateOrOpen, OpenExisting };

    // Called once, under the region lock, on a region this call created, so
    // other openers never see it half set up.
    using InitFn = std::function<void(void* data, size_t size)>;

    // Maps `size` bytes of the region `name`. A new region is zero-filled.
    // An existing region smaller than `size` is an error (EINVAL).
    static SysResult<SharedRegion> Open(std::string_view name, size_t size, Mode mode = Mode::CreateOrOpen,
                                        const InitFn& init = {});

    SharedRegion() = default;
    SharedRegion(SharedRegion&& other) noexcept;
    SharedRegion& operator=(SharedRegion&& other) noexcept;
    SharedRegion(const SharedRegion&) = delete;
    SharedRegion& operator=(const SharedRegion&) = delete;
    ~SharedRegion();

    void* Data() const { return m_data; }
    size_t Size() const { return m_size; }
    bool IsOpen() const { return m_data != nullptr; }
    // True when the region was already there (and in use) when this object opened it.
    bool Existed() const { return m_existed; }
    void Close();

    // The POSIX object name used for a region name: any characters and any
    // length map to a valid, collision-resistant name private to this user.
    static std::string ObjectName(std::string_view name);
    // True when a region of this name is currently in use by somebody.
    static bool InUse(std::string_view name);
    // Removes every region of this user that no live process holds (named
    // mutexes included): what killed processes left behind. Never one that is
    // being opened, as that happens under the same lock. Returns how many.
    static size_t RemoveUnused();

private:
    std::string m_object;
    int m_fd = -1;
    void* m_data = nullptr;
    size_t m_size = 0;
    bool m_existed = false;
};

}  // namespace corvanta::platform
