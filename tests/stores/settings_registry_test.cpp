#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "stores/CSettingsStore.h"
#include "support/TempConfigHome.h"

using namespace corvanta;
using platform::RegistryKey;
using platform::RegStatus;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes Nul(const std::string& text) { return Bytes(text.c_str(), text.c_str() + text.size() + 1); }
Bytes FloatBytes(float f) {
    Bytes b(4);
    std::memcpy(b.data(), &f, 4);
    return b;
}

class SettingsRegistry : public testenv::TempConfigHome {
protected:
    static RegistryKey SectionKey(std::vector<std::string> sections = {"MainDialog"}) {
        sections.insert(sections.begin(), {"Software", "Orvalmedia", "Corvanta Basic Live OCX"});
        return Key(sections);
    }
    static std::string Stored(const RegistryKey& key, const std::string& name) {
        std::vector<char> buf(30000);
        uint32_t type = 0, size = uint32_t(buf.size());
        if (key.QueryValue(name, &type, buf.data(), &size) != RegStatus::Ok) return "<none>";
        if (type == platform::kRegSz) return std::string(buf.data(), size - 1);
        uint32_t v;
        std::memcpy(&v, buf.data(), 4);
        char dword[16];
        std::snprintf(dword, sizeof dword, "dword:%08x", v);
        return dword;
    }
    static void Put(const RegistryKey& key, const std::string& name, const std::string& stored) {
        if (stored.rfind("dword:", 0) == 0)
            key.SetDword(name, uint32_t(std::stoul(stored.substr(6), nullptr, 16)));
        else if (stored != "<none>")
            key.SetText(name, stored);
    }
    static std::string Text(CSettingsStore& store, const char* name) {
        std::string text = "<missing>";
        store.GetText(name, text);
        return text;
    }
};

}  // namespace

TEST_F(SettingsRegistry, SaveWritesEachTypeInItsOwnForm) {
    const uint8_t eight[8] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
    const struct {
        SettingDecl decl;
        Bytes value;
        std::string stored;
    } cases[] = {
        {{"Int", 1}, {0xFE, 0xFF, 0xFF, 0xFF}, "dword:fffffffe"},
        {{"Text", 3, 101}, Nul("Front \"door\" \\ 1\n2"), "Front \"door\" \\ 1\n2"},
        {{"Eight4", 4}, Bytes(eight, eight + 8), "0123456789ABCDEF"},
        {{"Float", 7}, FloatBytes(1.5f), "1.500000"},
        {{"Unknown", 9, 4}, {'z', 'z'}, "<none>"},
    };
    CSettingsStore store;
    store.SetSection("MainDialog");
    for (const auto& c : cases) {
        ASSERT_EQ(store.Declare(c.decl), 1);
        ASSERT_EQ(store.SetValue(c.decl.name, c.value.data(), uint32_t(c.value.size())), 1);
    }
    ASSERT_EQ(store.Save(), 1);
    const RegistryKey key = SectionKey();
    for (const auto& c : cases) EXPECT_EQ(Stored(key, c.decl.name), c.stored) << c.decl.name;
}

TEST_F(SettingsRegistry, LoadTakesEachTypeBackOnlyWhenItFits) {
    // Read-buffer limits: a text and its NUL in 8048 bytes, hex digits and their NUL in 20048.
    const struct {
        SettingDecl decl;
        std::string stored;
        Bytes before;
        uint32_t length;
        Bytes after;  // the leading value bytes
    } cases[] = {
        {{"Int", 1}, "dword:00001f90", {}, 4, {0x90, 0x1F, 0, 0}},
        {{"Eight", 4}, "a1B2c3", {}, 3, {0xA1, 0xB2, 0xC3, 0}},
        {{"Float", 7}, "  2.25xyz", {}, 4, FloatBytes(2.25f)},
        {{"Long", 3, 101}, std::string(101, 'L'), Nul("default"), 8, Nul("default")},
        {{"Huge", 3, 9000}, std::string(8047, 'H'), {}, 8048, {'H'}},
        {{"TooHuge", 3, 9000}, std::string(8048, 'T'), Nul("default"), 8, Nul("default")},
        {{"TooHugeHex", 8, 20000}, std::string(20048, '1'), {}, 0, {0}},
        {{"TextAsInt", 3, 20}, "dword:41414141", Nul("default"), 8, Nul("default")},
    };
    const RegistryKey key = SectionKey();
    CSettingsStore store;
    store.SetSection("MainDialog");
    for (const auto& c : cases) {
        Put(key, c.decl.name, c.stored);
        ASSERT_EQ(store.Declare(c.decl), 1);
        ASSERT_EQ(store.SetValue(c.decl.name, c.before.data(), uint32_t(c.before.size())), 1);
    }
    ASSERT_EQ(store.Load(), 1);
    SettingsStoreLock lock(store);
    for (size_t i = 0; i < store.RecordCount(); ++i) {
        const SettingRecord* r = store.RecordAt(i);
        EXPECT_EQ(r->length, cases[i].length) << r->name;
        EXPECT_EQ(Bytes(r->Value(), r->Value() + cases[i].after.size()), cases[i].after) << r->name;
    }
}

TEST_F(SettingsRegistry, SectionIsChosenByCaseSensitiveSubstring) {
    CSettingsStore nested, lower;
    nested.SetSection("Outer");
    nested.SetSection("XMainDialogY");
    lower.SetSection("maindialog");
    for (CSettingsStore* s : {&nested, &lower}) {
        ASSERT_EQ(s->Declare({"v", 1}), 1);
        ASSERT_EQ(s->SetInt("v", 5), 1);
    }
    EXPECT_EQ(nested.Save(), 1);
    EXPECT_EQ(Stored(SectionKey({"Outer", "XMainDialogY"}), "v"), "dword:00000005");
    EXPECT_EQ(std::tuple(lower.Save(), lower.Load()), std::tuple(0, 0));
    EXPECT_EQ(ReadFile(RegistryFile()).find("maindialog"), std::string::npos);
}

TEST_F(SettingsRegistry, PersistsAcrossStoreObjectsAndProcesses) {
    // The child saves every record, its empty password too.
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        CSettingsStore store;
        store.SetSection("MainDialog");
        const bool ok = store.Declare({"ServerURL", 3, 101}) && store.Declare({"UserPswd", 3, 101}) &&
                        store.SetText("ServerURL", "written by pid " + std::to_string(getpid())) && store.Save();
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    CSettingsStore second;
    second.SetSection("MainDialog");
    ASSERT_EQ(second.Declare({"ServerURL", 3, 101}), 1);
    ASSERT_EQ(second.Declare({"UserPswd", 3, 101}), 1);
    ASSERT_EQ(second.SetText("UserPswd", "default"), 1);
    ASSERT_EQ(second.Load(), 1);
    EXPECT_EQ(std::tuple(Text(second, "ServerURL"), Text(second, "UserPswd")),
              std::tuple("written by pid " + std::to_string(pid), ""));
}
