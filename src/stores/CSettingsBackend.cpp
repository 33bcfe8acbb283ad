#include "stores/CSettingsBackend.h"

namespace corvanta {

int CSettingsBackend::Load(SettingRecord&) { return 1; }
int CSettingsBackend::Save(const SettingRecord&) { return 1; }
int CSettingsBackend::Open(const std::vector<std::string>&) { return 1; }
CSettingsBackend::~CSettingsBackend() = default;

}  // namespace corvanta
