#include "app/ControlModule.h"

#include <dlfcn.h>

#include <vector>

#include "control/ComRegistration.h"
#include "control/CorvantaArchiveModule.h"
#include "platform/RegistryStorage.h"

namespace corvanta::app {

namespace {

bool TryLoad(const std::string& path, ControlModule& module, std::string& why) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        why += "\n  " + path + ": " + dlerror();
        return false;
    }
    auto create = reinterpret_cast<ControlModule::CreateFn>(dlsym(handle, CORVANTA_ARCHIVE_CREATE_SYMBOL));
    auto destroy = reinterpret_cast<ControlModule::DestroyFn>(dlsym(handle, "CorvantaArchiveDestroyControl"));
    if (!create || !destroy) {
        why += "\n  " + path + ": not the control module (no entry points)";
        dlclose(handle);
        return false;
    }
    module = ControlModule{path, create, destroy};
    return true;
}

}  // namespace

bool LoadControlModule(const std::string& hostDir, ControlModule& module, std::string& error) {
    std::vector<std::string> candidates;
    const platform::RegistryStorage registry(platform::RegistryStorage::DefaultFile());
    if (std::string registered = control::RegisteredModulePath(registry, CORVANTA_ARCHIVE_PROGID); !registered.empty())
        candidates.push_back(registered);
    for (const char* name : {"libcorvanta-archive.so.0", "libcorvanta-archive.so"}) {
        candidates.push_back(hostDir + "/" + name);
        candidates.push_back(hostDir + "/../" CORVANTA_LIBDIR "/" + name);
    }
    // Last, wherever the system's loader finds it (an installed package).
    candidates.push_back("libcorvanta-archive.so.0");
    std::string why;
    for (const std::string& path : candidates)
        if (TryLoad(path, module, why)) return true;
    error = "cannot load the control module; tried:" + why;
    return false;
}

}  // namespace corvanta::app
