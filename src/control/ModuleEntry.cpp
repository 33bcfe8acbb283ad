// The module's C entry points (see CorvantaArchiveModule.h).

#include <QApplication>
#include <dlfcn.h>

#include "control/CCorvantaArchiveCtrl.h"
#include "control/ComRegistration.h"
#include "control/CorvantaArchiveModule.h"
#include "platform/RegistryStorage.h"

namespace {

// The file this code was loaded from: what InprocServer32 names.
std::string ModulePath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&DllRegisterServer), &info) && info.dli_fname) return info.dli_fname;
    return {};
}

}  // namespace

extern "C" {

int32_t DllRegisterServer(void) {
    return corvanta::control::RegisterModule(corvanta::platform::RegistryStorage(
                                                 corvanta::platform::RegistryStorage::DefaultFile()),
                                             ModulePath());
}

int32_t DllUnregisterServer(void) {
    return corvanta::control::UnregisterModule(
        corvanta::platform::RegistryStorage(corvanta::platform::RegistryStorage::DefaultFile()));
}

void* CorvantaArchiveCreateControl(void* parentWidget) {
    if (!QApplication::instance()) return nullptr;
    QWidget* control = new corvanta::CCorvantaArchiveCtrl(static_cast<QWidget*>(parentWidget));
    return control;
}

void CorvantaArchiveDestroyControl(void* control) {
    delete static_cast<QWidget*>(control);
}

const char* CorvantaArchiveVersion(void) { return CORVANTA_VERSION; }

}  // extern "C"
