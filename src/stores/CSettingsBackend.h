#pragma once
// Where a settings store is persisted. The store makes one back end per Load
// or Save, opens it with its section path, hands it every record in turn and
// destroys it afterwards. The base class persists nothing.

#include <string>
#include <vector>

#include "stores/SettingRecord.h"

namespace corvanta {

class CSettingsBackend {
public:
    // Fills one record from the back end.
    virtual int Load(SettingRecord& record);
    // Writes one record to the back end.
    virtual int Save(const SettingRecord& record);
    // Prepares for a series of Load or Save calls; 0 stops the series.
    virtual int Open(const std::vector<std::string>& sectionPath);
    virtual ~CSettingsBackend();
};

}  // namespace corvanta
