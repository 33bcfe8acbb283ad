#pragma once
// Finds and loads the control module the way a host of the control would:
// the module registered for the control's ProgID, or else the one installed
// beside the host. The module stays loaded for the life of the process.

#include <string>

namespace corvanta::app {

struct ControlModule {
    using CreateFn = void* (*)(void*);
    using DestroyFn = void (*)(void*);

    std::string path;
    CreateFn create = nullptr;
    DestroyFn destroy = nullptr;
};

// `hostDir` is the folder of the host executable. False with `error` saying
// where it looked when no module with the entry points could be loaded.
bool LoadControlModule(const std::string& hostDir, ControlModule& module, std::string& error);

}  // namespace corvanta::app
