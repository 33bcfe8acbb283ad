#include "app/DemoProfile.h"

#include <cstdlib>
#include <filesystem>

#include "platform/RegistryStorage.h"

namespace corvanta::app {

namespace {

// Where the main dialog's settings live in the registry.
constexpr char kMainDialogKey[] = "Software\\Orvalmedia\\Corvanta Basic Live OCX\\MainDialog";

std::string ConfigHome() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "/tmp") + "/.config";
}

std::string UseProfile(const std::string& name, const std::string& serverUrl, const std::string& userName,
                       const std::string* password) {
    const std::string folder = ConfigHome() + "/" + name;
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    const platform::RegistryStorage registry(platform::RegistryStorage::DefaultFile());
    registry.Update([&](platform::RegistryTree& tree) {
        platform::RegistryValues& values = tree[kMainDialogKey];
        values["ServerURL"] = platform::RegistryValue{platform::kRegSz, serverUrl};
        values["UserName"] = platform::RegistryValue{platform::kRegSz, userName};
        if (password) values["UserPswd"] = platform::RegistryValue{platform::kRegSz, *password};
        return true;
    });
    return folder;
}

}  // namespace

std::string UseDemoProfile(const std::string& serverUrl) {
    return UseProfile("corvanta-demo", serverUrl, "demo", nullptr);
}

std::string UseFolderProfile(const std::string& serverUrl, const std::string& userName, const std::string& password) {
    return UseProfile("corvanta-folder", serverUrl, userName, &password);
}

}  // namespace corvanta::app
