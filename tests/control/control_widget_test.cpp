#include <gtest/gtest.h>
#include <dlfcn.h>

#include <QApplication>
#include <QVariant>

#include "control/CCorvantaArchiveCtrl.h"
#include "control/ComRegistration.h"
#include "control/ControlIdentities.h"
#include "control/CorvantaArchiveModule.h"
#include "maindlg/ui/CArchiveMainDlg.h"
#include "platform/RegistryStorage.h"
#include "remote/RemoteSession.h"
#include "support/QtTestApp.h"
#include "support/TempConfigHome.h"

namespace corvanta {
namespace {

class ControlWidget : public testenv::TempConfigHome {
protected:
    void SetUp() override {
        TempConfigHome::SetUp();
        test::QtTestApp();
    }
};

TEST_F(ControlWidget, PropertiesRebuildTheBaseUrlAndTheDialogFillsTheControl) {
    QWidget host;
    auto* control = new CCorvantaArchiveCtrl(&host, 1000000 + getpid());
    EXPECT_EQ(control->InstanceNumber(), 0) << "no window yet";
    control->setProperty("ServerURL", "http://10.1.2.3");
    EXPECT_EQ(FilterServerURL(), "http://10.1.2.3");
    control->setProperty("ServerPort", 8080);
    EXPECT_EQ(FilterServerURL(), "http://10.1.2.3:8080");
    EXPECT_TRUE(control->IsModified());

    control->resize(800, 500);
    host.show();
    ASSERT_NE(control->MainDialog(), nullptr);
    EXPECT_NE(control->InstanceNumber(), 0);
    control->resize(640, 480);
    EXPECT_EQ(control->MainDialog()->geometry(), QRect(0, 0, 640, 480));

    const QByteArray saved = control->SaveProperties();
    EXPECT_FALSE(control->IsModified());
    CCorvantaArchiveCtrl other;
    EXPECT_TRUE(other.LoadProperties(saved));
    EXPECT_EQ(other.property("ServerURL").toString(), "http://10.1.2.3");
    EXPECT_EQ(other.property("ServerPort").toInt(), 8080);
    EXPECT_FALSE(other.LoadProperties("Version=2.0\nServerPort=81\n"));
    EXPECT_EQ(other.property("ServerPort").toInt(), 80) << "another version leaves the defaults";
    EXPECT_EQ(FilterServerURL(), "");
}

// The module as a host loads it: found by its ProgID once registered.
TEST_F(ControlWidget, TheModuleRegistersItselfAndMakesControlsThroughItsEntryPoints) {
    void* module = dlopen(MODULE_FILE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    auto reg = reinterpret_cast<int32_t (*)()>(dlsym(module, "DllRegisterServer"));
    auto unreg = reinterpret_cast<int32_t (*)()>(dlsym(module, "DllUnregisterServer"));
    auto create = reinterpret_cast<void* (*)(void*)>(dlsym(module, CORVANTA_ARCHIVE_CREATE_SYMBOL));
    auto destroy = reinterpret_cast<void (*)(void*)>(dlsym(module, "CorvantaArchiveDestroyControl"));
    ASSERT_TRUE(reg && unreg && create && destroy);
    EXPECT_EQ(dlsym(module, "_ZN8corvanta18SetFilterServerURLESt17basic_string_viewIcSt11char_traitsIcEE"), nullptr)
        << "only the entry points leave the module";

    const platform::RegistryStorage registry(platform::RegistryStorage::DefaultFile());
    ASSERT_EQ(reg(), control::kRegOk);
    const std::string path = control::RegisteredModulePath(registry, CORVANTA_ARCHIVE_PROGID);
    void* again = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    EXPECT_EQ(again, module) << path;
    if (again) dlclose(again);

    QWidget host;
    auto* control = static_cast<QWidget*>(create(&host));
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->parentWidget(), &host);
    destroy(control);
    EXPECT_TRUE(host.children().isEmpty());

    ASSERT_EQ(unreg(), control::kRegOk);
    EXPECT_EQ(control::RegisteredModulePath(registry, CORVANTA_ARCHIVE_PROGID), "");
}

}  // namespace
}  // namespace corvanta
