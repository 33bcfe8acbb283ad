#include <gtest/gtest.h>

#include "control/BaseUrl.h"
#include "control/ComRegistration.h"
#include "control/ControlIdentities.h"
#include "control/PropertyBag.h"
#include "platform/RegistryStorage.h"
#include "support/TempConfigHome.h"

namespace corvanta::control {
namespace {

TEST(BaseUrl, PortEightyKeepsTheUrlAnyOtherIsAppended) {
    EXPECT_EQ(MakeBaseUrl("http://10.1.2.3", 80), "http://10.1.2.3");
    EXPECT_EQ(MakeBaseUrl("", 8080), ":8080");
}

TEST(PropertyBag, RoundTripsAndKeepsDefaultsForOtherVersionsAndDamage) {
    ControlProperties props{"http://cam\\era\nx", 8081};
    ControlProperties back;
    ASSERT_EQ(ParsePropertyBag(FormatPropertyBag(props), back), BagStatus::Ok);
    EXPECT_EQ(back, props);

    struct Case {
        const char* text;
        BagStatus status;
    } bad[] = {
        {"Version=1.1\nServerPort=81\n", BagStatus::OtherVersion},
        {"ServerURL=http://x\n", BagStatus::Damaged},
        {"Version=1.0\nServerPort=eighty\n", BagStatus::Damaged},
        {"Version=1.0\nServerURL=bad escape \\q\n", BagStatus::Damaged},
    };
    for (const Case& c : bad) {
        ControlProperties read{"http://left", 1};
        std::string why;
        EXPECT_EQ(ParsePropertyBag(c.text, read, &why), c.status) << c.text;
        EXPECT_EQ(read, ControlProperties{}) << c.text;
        EXPECT_FALSE(why.empty());
    }
}

class Registration : public testenv::TempConfigHome {
protected:
    platform::RegistryStorage Storage() const { return platform::RegistryStorage(platform::RegistryStorage::DefaultFile()); }
    platform::RegistryTree Tree() const { return Storage().Load().Value(); }
    static std::string Key(std::initializer_list<std::string> parts) {
        std::string path = kClassesRoot;
        for (const auto& p : parts) path += "\\" + p;
        return path;
    }
};

TEST_F(Registration, RegisterWritesClassesAndCategoriesUnregisterLeavesTheCategories) {
    ASSERT_TRUE(Storage().Update([&](platform::RegistryTree& tree) {
        tree[Key({"Component Categories", kCatSafeForInit})]["409"] = {platform::kRegSz, "already here"};
        return true;
    }));
    ASSERT_EQ(RegisterModule(Storage(), "/opt/x/libcorvanta-archive.so.0"), kRegOk);
    EXPECT_EQ(RegisteredModulePath(Storage(), kControlProgId), "/opt/x/libcorvanta-archive.so.0");
    auto tree = Tree();
    EXPECT_EQ(tree[Key({"CLSID", kControlClsid, "MiscStatus", "1"})][""].data, "131473");
    for (const char* cat : {kCatSafeForScripting, kCatSafeForInit}) {
        EXPECT_TRUE(tree.count(Key({"CLSID", kControlClsid, "Implemented Categories", cat}))) << cat;
        EXPECT_TRUE(tree[Key({"Component Categories", cat})].count("409")) << cat;
    }

    ASSERT_EQ(UnregisterModule(Storage()), kRegOk);
    tree = Tree();
    EXPECT_EQ(RegisteredModulePath(Storage(), kControlProgId), "");
    EXPECT_FALSE(tree.count(Key({"CLSID", kControlClsid})));
    EXPECT_EQ(tree[Key({"Component Categories", kCatSafeForInit})]["409"].data, "already here") << "an existing description stays";
    EXPECT_EQ(CategoryDescription(std::string(300, 'd')).size(), kCategoryDescriptionMax);

    // Below a file no folder can be made, not even by root.
    platform::RegistryStorage unwritable("/dev/null/corvanta/registry.reg");
    EXPECT_EQ(RegisterModule(unwritable, "/m.so"), kRegTypeLibFailed);
    EXPECT_EQ(UnregisterModule(unwritable), kRegTypeLibFailed);
}

}  // namespace
}  // namespace corvanta::control
