#include "stores/CRegistrySettingsBackend.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "stores/TaggedRecord.h"

namespace corvanta {

using platform::RegStatus;

const std::vector<std::string>& CRegistrySettingsBackend::BaseKeyPath() {
    static const std::vector<std::string> kPath = {"Software", "Orvalmedia", "Corvanta Basic Live OCX"};
    return kPath;
}

CRegistrySettingsBackend::~CRegistrySettingsBackend() { m_key.Close(); }

int CRegistrySettingsBackend::Open(const std::vector<std::string>& sectionPath) {
    if (sectionPath.empty()) return 0;
    // Only the newest key stays open after each step.
    platform::RegistryKey key = platform::RegistryKey::CurrentUser();
    auto step = [&key](const std::string& name) {
        platform::RegistryKey next;
        if (key.CreateSubKey(name, next) != RegStatus::Ok) return false;
        key = std::move(next);
        return true;
    };
    for (const auto& name : BaseKeyPath())
        if (!step(name)) return 0;
    for (const auto& name : sectionPath)
        if (!step(name)) return 0;
    m_key = std::move(key);
    return 1;
}

bool CRegistrySettingsBackend::ReadText(const char* name, uint32_t limit, std::string& out) const {
    uint32_t type = 0;
    uint32_t size = limit;
    std::unique_ptr<char[]> buf(new char[limit]);
    if (m_key.QueryValue(name, &type, buf.get(), &size) != RegStatus::Ok || type != platform::kRegSz) return false;
    out.assign(buf.get(), strnlen(buf.get(), size));
    return true;
}

int CRegistrySettingsBackend::Save(const SettingRecord& record) {
    const char* name = record.name;
    const uint8_t* value = record.Value();
    switch (record.type) {
        case 1: {
            uint32_t v;
            std::memcpy(&v, value, 4);
            m_key.SetDword(name, v);
            break;
        }
        case 3:
            m_key.SetText(name, std::string_view(reinterpret_cast<const char*>(value),
                                                 strnlen(reinterpret_cast<const char*>(value), record.capacity)));
            break;
        case 4:
        case 6:
        case 8: {
            std::string hex;
            // A record never holds more than its value area; a damaged length is cut there.
            AppendHex(hex, value, std::min<size_t>(record.length, record.capacity));
            m_key.SetText(name, hex);
            break;
        }
        case 7: {
            float f;
            std::memcpy(&f, value, 4);
            char text[64];
            int n = std::snprintf(text, sizeof text, "%f", double(f));
            if (n >= int(sizeof text)) {
                std::string big(size_t(n) + 1, '\0');
                std::snprintf(big.data(), big.size(), "%f", double(f));
                big.resize(size_t(n));
                m_key.SetText(name, big);
            } else {
                m_key.SetText(name, text);
            }
            break;
        }
        default:
            break;
    }
    return 1;
}

int CRegistrySettingsBackend::Load(SettingRecord& record) {
    const char* name = record.name;
    uint8_t* value = record.Value();
    switch (record.type) {
        case 1: {
            record.length = 4;
            uint32_t type = 0, v = 0, size = 4;
            if (m_key.QueryValue(name, &type, &v, &size) == RegStatus::Ok && type == platform::kRegDword && size == 4)
                std::memcpy(value, &v, 4);
            break;
        }
        case 3: {
            std::string text;
            if (ReadText(name, kTextReadBytes, text) && text.size() + 1 <= record.capacity) {
                std::memcpy(value, text.c_str(), text.size() + 1);
                record.length = uint32_t(text.size() + 1);
            }
            break;
        }
        case 4:
        case 6:
        case 8: {
            std::string text;
            if (ReadText(name, kHexReadBytes, text) && text.size() / 2 <= record.capacity) {
                HexToBytes(text, value, record.capacity);
                record.length = uint32_t(text.size() / 2);
            }
            break;
        }
        case 7: {
            record.length = 4;
            std::string text;
            float f;
            if (ReadText(name, kFloatReadBytes, text) && std::sscanf(text.c_str(), "%f", &f) == 1)
                std::memcpy(value, &f, 4);
            break;
        }
        default:
            break;
    }
    return 1;
}

}  // namespace corvanta
