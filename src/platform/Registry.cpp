#include "platform/Registry.h"

#include <cstring>

namespace corvanta::platform {

RegistryKey RegistryKey::CurrentUser() { return CurrentUserIn(RegistryStorage::DefaultFile()); }

RegistryKey RegistryKey::CurrentUserIn(std::string file) {
    RegistryKey key;
    key.m_storage = std::make_shared<const RegistryStorage>(std::move(file));
    return key;
}

RegStatus RegistryKey::CreateSubKey(std::string_view name, RegistryKey& out) const {
    if (!IsOpen() || !IsValidKeyName(name)) return RegStatus::InvalidArgument;
    std::string path = m_path.empty() ? std::string(name) : m_path + "\\" + std::string(name);
    auto r = m_storage->Update([&](RegistryTree& tree) {
        if (tree.count(path)) return false;
        tree[path];
        return true;
    });
    if (!r) return RegStatus::IoError;
    RegistryKey key;
    key.m_storage = m_storage;
    key.m_path = std::move(path);
    out = std::move(key);
    return RegStatus::Ok;
}

RegStatus RegistryKey::SetValue(std::string_view name, RegistryValue value) const {
    if (!IsOpen() || name.find('\0') != std::string_view::npos) return RegStatus::InvalidArgument;
    auto r = m_storage->Update([&](RegistryTree& tree) {
        RegistryValues& values = tree[m_path];
        auto [it, added] = values.try_emplace(std::string(name), value);
        if (!added && it->second == value) return false;  // nothing to write
        it->second = std::move(value);
        return true;
    });
    return r ? RegStatus::Ok : RegStatus::IoError;
}

RegStatus RegistryKey::SetDword(std::string_view name, uint32_t value) const {
    RegistryValue v;
    v.type = kRegDword;
    v.data.assign({char(value & 0xFF), char((value >> 8) & 0xFF), char((value >> 16) & 0xFF), char(value >> 24)});
    return SetValue(name, std::move(v));
}

RegStatus RegistryKey::SetText(std::string_view name, std::string_view text) const {
    RegistryValue v;
    v.type = kRegSz;
    v.data.assign(text.substr(0, text.find('\0')));
    return SetValue(name, std::move(v));
}

RegStatus RegistryKey::QueryValue(std::string_view name, uint32_t* type, void* data, uint32_t* size) const {
    if (!IsOpen() || name.find('\0') != std::string_view::npos) return RegStatus::InvalidArgument;
    if (data && !size) return RegStatus::InvalidArgument;
    auto tree = m_storage->Load();
    if (!tree) return RegStatus::IoError;
    auto key = tree.Value().find(m_path);
    if (key == tree.Value().end()) return RegStatus::NotFound;
    auto it = key->second.find(std::string(name));
    if (it == key->second.end()) return RegStatus::NotFound;
    const RegistryValue& v = it->second;

    bool text = v.type == kRegSz;
    size_t needed = v.data.size() + (text ? 1 : 0);
    if (needed > UINT32_MAX) return RegStatus::MoreData;
    if (type) *type = v.type;
    if (!data) {
        if (size) *size = uint32_t(needed);
        return RegStatus::Ok;
    }
    if (*size < needed) {
        *size = uint32_t(needed);
        return RegStatus::MoreData;
    }
    std::memcpy(data, v.data.data(), v.data.size());
    if (text) static_cast<char*>(data)[v.data.size()] = '\0';
    *size = uint32_t(needed);
    return RegStatus::Ok;
}

void RegistryKey::Close() {
    m_storage.reset();
    m_path.clear();
}

}  // namespace corvanta::platform
