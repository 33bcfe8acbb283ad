#include "playback/SnapshotFolder.h"

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
    store.Declare({kSettingSnapshotFolder, kSettingText, kSnapshotFolderCapacity, 0});
}

bool IsFolder(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_directory(path, ec);
}

}  // namespace

std::string SnapshotFolder::Start(const std::string& pictures, const std::string& home) {
    const std::string last = Remembered();
    if (IsFolder(last)) return last;
    return IsFolder(pictures) ? pictures : home;
}

bool SnapshotFolder::Remember(const std::string& folder) {
    if (folder.empty() || folder.size() >= kSnapshotFolderCapacity) return false;
    CSettingsStore store;
    DeclareFolder(store);
    return store.SetText(kSettingSnapshotFolder, folder) && store.Save();
}

std::string SnapshotFolder::Remembered() {
    CSettingsStore store;
    DeclareFolder(store);
    std::string folder;
    if (!store.Load() || !store.GetText(kSettingSnapshotFolder, folder)) return {};
    return folder;
}

}  // namespace corvanta
