#include "services/MainDialogSettings.h"

#include "stores/CSettingsStore.h"

namespace corvanta {

int DeclareMainDialogSettings(CSettingsStore& store) {
    store.SetSection(kMainDialogSection);
    int ok = store.Declare({kSettingCommType, kSettingInt, 0, 0});
    ok &= store.Declare({kSettingStreamPort, kSettingInt, 0, 0});
    ok &= store.Declare({kSettingServerUrl, kSettingText, kMainDialogTextCapacity, 0});
    ok &= store.Declare({kSettingUserPswd, kSettingText, kMainDialogTextCapacity, 0});
    ok &= store.Declare({kSettingUserName, kSettingText, kMainDialogTextCapacity, 0});
    if (!ok) return 0;
    // The defaults go in this order, different from the declarations.
    store.SetInt(kSettingCommType, 2);
    store.SetText(kSettingServerUrl, "");
    store.SetInt(kSettingStreamPort, 8080);
    store.SetText(kSettingUserPswd, "");
    store.SetText(kSettingUserName, "");
    return 1;
}

}  // namespace corvanta
