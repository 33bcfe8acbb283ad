#include "playback/ExportFolder.h"

#include <filesystem>
#include <system_error>

#include "services/MainDialogSettings.h"
#include "stores/CSettingsStore.h"

namespace corvanta {

namespace {

// A store of the one setting in the main dialog's key: loading or saving it
// leaves the main dialog's own values alone.
void DeclareFolder(CSettingsStore& store) {
    store.SetSection(kMainDialogSection);
    store.Declare({kSettingExportFolder, kSettingText, kExportFolderCapacity, 0});
}

bool IsFolder(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_directory(path, ec);
}

}  // namespace

std::string ExportFolder::Start(const std::string& videos, const std::string& home) {
    const std::string last = Remembered();
    if (IsFolder(last)) return last;
    return IsFolder(videos) ? videos : home;
}

bool ExportFolder::Remember(const std::string& folder) {
    if (folder.empty() || folder.size() >= kExportFolderCapacity) return false;
    CSettingsStore store;
    DeclareFolder(store);
    return store.SetText(kSettingExportFolder, folder) && store.Save();
}

std::string ExportFolder::Remembered() {
    CSettingsStore store;
    DeclareFolder(store);
    std::string folder;
    if (!store.Load() || !store.GetText(kSettingExportFolder, folder)) return {};
    return folder;
}

}  // namespace corvanta
