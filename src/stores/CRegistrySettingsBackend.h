#pragma once
// Settings kept in the current user's registry, below
// "Software\Orvalmedia\Corvanta Basic Live OCX\<section...>", one value per
// record, named by the record. Integers are REG_DWORD; texts, floats ("%f")
// and byte values ("%02X" per byte) are REG_SZ.

#include "platform/Registry.h"
#include "stores/CSettingsBackend.h"

namespace corvanta {

class CRegistrySettingsBackend : public CSettingsBackend {
public:
    // Read-buffer bounds: stored texts longer than these (with the NUL) are not taken.
    static constexpr uint32_t kTextReadBytes = 8048;
    static constexpr uint32_t kHexReadBytes = 20048;
    static constexpr uint32_t kFloatReadBytes = 2048;

    // Both always return 1: a value that is missing or does not fit leaves the record as it was.
    int Load(SettingRecord& record) override;
    int Save(const SettingRecord& record) override;
    // Creates or opens the key for the section path; fails on an empty path.
    int Open(const std::vector<std::string>& sectionPath) override;
    ~CRegistrySettingsBackend() override;

    // The fixed keys between HKEY_CURRENT_USER and the section path.
    static const std::vector<std::string>& BaseKeyPath();

private:
    bool ReadText(const char* name, uint32_t limit, std::string& out) const;

    platform::RegistryKey m_key;
};

}  // namespace corvanta
