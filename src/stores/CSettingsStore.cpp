#include "stores/CSettingsStore.h"

#include <cstring>

#include "stores/CRegistrySettingsBackend.h"

namespace corvanta {

CSettingsStore::CSettingsStore() = default;

CSettingsStore::~CSettingsStore() { FreeRecords(); }

void CSettingsStore::FreeRecords() {
    for (size_t i = 0; i < m_records.GetSize(); ++i) FreeSettingRecord(static_cast<SettingRecord*>(m_records.GetAt(i)));
    m_records.RemoveAll();
    m_index.RemoveAll();
}

SettingRecord* CSettingsStore::FindRecord(const std::string& name) const {
    void* p = nullptr;
    if (!m_index.Lookup(name, p)) return nullptr;
    return static_cast<SettingRecord*>(p);
}

int CSettingsStore::Declare(const SettingDecl& decl) {
    if (decl.name.size() > kSettingNameMax || decl.name.find('\0') != std::string::npos) return 0;
    SettingsStoreLock lock(*this);
    if (FindRecord(decl.name)) return 0;
    uint32_t capacity = decl.capacity ? decl.capacity : DefaultSettingCapacity(decl.type);
    SettingRecord* record = AllocateSettingRecord(capacity);
    if (!record) return 0;
    record->type = decl.type;
    record->flags = decl.flags;
    std::strncpy(record->name, decl.name.c_str(), kSettingNameMax);
    m_records.Add(record);
    m_index.SetAt(decl.name, record);
    return 1;
}

int CSettingsStore::SetValue(const std::string& name, const void* bytes, uint32_t size) {
    SettingsStoreLock lock(*this);
    SettingRecord* record = FindRecord(name);
    if (!record || size > record->capacity || (size && !bytes)) return 0;
    if (size) std::memmove(record->Value(), bytes, size);
    record->length = size;
    return 1;
}

int CSettingsStore::SetText(const std::string& name, const std::string& text) {
    // The text ends at its first NUL, as a C text would.
    size_t len = strnlen(text.c_str(), text.size());
    if (len + 1 > UINT32_MAX) return 0;
    return SetValue(name, text.c_str(), uint32_t(len + 1));
}

int CSettingsStore::SetInt(const std::string& name, int32_t value) {
    uint8_t bytes[4];
    std::memcpy(bytes, &value, 4);
    return SetValue(name, bytes, 4);
}

uint8_t* CSettingsStore::FindValue(const std::string& name, uint32_t* length) {
    SettingRecord* record = FindRecord(name);
    if (!record) return nullptr;
    if (length) *length = record->length;
    return record->Value();
}

int CSettingsStore::GetValue(const std::string& name, void* buffer, uint32_t* size) {
    SettingsStoreLock lock(*this);
    SettingRecord* record = FindRecord(name);
    if (!record) return 0;
    if (size && *size < record->length) return 0;
    if (record->length) std::memcpy(buffer, record->Value(), record->length);
    if (size) *size = record->length;
    return 1;
}

int CSettingsStore::GetText(const std::string& name, std::string& text) {
    SettingsStoreLock lock(*this);
    SettingRecord* record = FindRecord(name);
    if (!record) return 0;
    const char* chars = reinterpret_cast<const char*>(record->Value());
    // The spare bytes after the value area are zero, so this never runs past the record.
    text.assign(chars, strnlen(chars, size_t(record->capacity) + 4));
    return 1;
}

int CSettingsStore::GetInt(const std::string& name, int32_t& value) {
    SettingsStoreLock lock(*this);
    SettingRecord* record = FindRecord(name);
    if (!record) return 0;
    std::memcpy(&value, record->Value(), 4);
    return 1;
}

int CSettingsStore::Clear(bool withPath) {
    SettingsStoreLock lock(*this);
    FreeRecords();
    if (withPath) m_sectionPath.clear();
    return 1;
}

int CSettingsStore::SetSection(const std::string& name) {
    m_section = name;
    m_sectionPath.push_back(name);
    return 1;
}

int CSettingsStore::SetFlag(int index, int32_t value) {
    if (index < 0 || index >= kFlagSlots) return 0;
    m_flags[index] = value;
    return 1;
}

int32_t CSettingsStore::GetFlag(int index) const {
    if (index < 0 || index >= kFlagSlots) return 0;
    return m_flags[index];
}

std::unique_ptr<CSettingsBackend> CSettingsStore::ChooseBackend() const {
    if (m_section.find("MainDialog") != std::string::npos) return std::make_unique<CRegistrySettingsBackend>();
    return nullptr;
}

int CSettingsStore::RunBackend(bool save) {
    std::unique_ptr<CSettingsBackend> backend = ChooseBackend();
    if (!backend) return 0;
    if (!backend->Open(m_sectionPath)) return 0;
    SettingsStoreLock lock(*this);
    for (size_t i = 0; i < m_records.GetSize(); ++i) {
        auto* record = static_cast<SettingRecord*>(m_records.GetAt(i));
        if (save)
            backend->Save(*record);
        else
            backend->Load(*record);
    }
    return 1;
}

int CSettingsStore::Load() { return RunBackend(false); }
int CSettingsStore::Save() { return RunBackend(true); }

int CSettingsStore::CopyTo(CSettingsStore& destination) {
    if (&destination == this) return 1;
    SettingsStoreLock lock(*this);
    destination.Clear(false);
    for (size_t i = 0; i < m_records.GetSize(); ++i) {
        const auto* record = static_cast<const SettingRecord*>(m_records.GetAt(i));
        SettingDecl decl{record->name, record->type, record->capacity, 0};
        destination.Declare(decl);
        destination.SetValue(decl.name, record->Value(), record->length);
    }
    return 1;
}

}  // namespace corvanta
