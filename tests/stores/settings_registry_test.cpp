#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "stores/CRegistrySettingsBackend.h"
#include "stores/CSettingsStore.h"
#include "support/TempConfigHome.h"

using namespace corvanta;
using platform::RegistryKey;
using platform::RegStatus;

namespace {

class SettingsRegistry : public testenv::TempConfigHome {
protected:
    // The key the main dialog's settings live in, opened directly.
    RegistryKey SectionKey(std::vector<std::string> sections = {"MainDialog"}) {
        RegistryKey key = RegistryKey::CurrentUser();
        std::vector<std::string> path = {"Software", "Orvalmedia", "Corvanta Basic Live OCX"};
        path.insert(path.end(), sections.begin(), sections.end());
        for (const auto& name : path) {
            RegistryKey next;
            EXPECT_EQ(key.CreateSubKey(name, next), RegStatus::Ok);
            key = next;
        }
        return key;
    }

    static std::string StoredText(const RegistryKey& key, const char* name) {
        std::vector<char> buf(30000);
        uint32_t type = 0, size = uint32_t(buf.size());
        if (key.QueryValue(name, &type, buf.data(), &size) != RegStatus::Ok) return "<missing>";
        if (type != platform::kRegSz) return "<not text>";
        return std::string(buf.data(), size - 1);
    }

    static bool Stored(const RegistryKey& key, const char* name) {
        uint32_t size = 0;
        return key.QueryValue(name, nullptr, nullptr, &size) == RegStatus::Ok;
    }

    static void Bytes(CSettingsStore& store, const char* name, std::vector<uint8_t>& out, uint32_t& length) {
        SettingsStoreLock lock(store);
        for (size_t i = 0; i < store.RecordCount(); ++i) {
            const SettingRecord* r = store.RecordAt(i);
            if (std::string(r->name) != name) continue;
            length = r->length;
            out.assign(r->Value(), r->Value() + std::min<uint32_t>(8, r->capacity));
            return;
        }
        FAIL() << name << " not declared";
    }
};

}  // namespace

TEST_F(SettingsRegistry, SaveWritesEachTypeInItsOwnForm) {
    CSettingsStore store;
    store.SetSection("MainDialog");
    ASSERT_EQ(store.Declare({"Int", 1}), 1);
    ASSERT_EQ(store.Declare({"Blob2", 2}), 1);
    ASSERT_EQ(store.Declare({"Text", 3, 101}), 1);
    ASSERT_EQ(store.Declare({"Eight4", 4}), 1);
    ASSERT_EQ(store.Declare({"Blob5", 5}), 1);
    ASSERT_EQ(store.Declare({"Eight6", 6}), 1);
    ASSERT_EQ(store.Declare({"Float", 7}), 1);
    ASSERT_EQ(store.Declare({"Block", 8}), 1);
    ASSERT_EQ(store.Declare({"EmptyBlock", 8}), 1);
    ASSERT_EQ(store.Declare({"Unknown", 9, 4}), 1);

    ASSERT_EQ(store.SetInt("Int", -2), 1);
    ASSERT_EQ(store.SetValue("Blob2", "zz", 2), 1);
    ASSERT_EQ(store.SetText("Text", "Front \"door\" \\ 1\n2"), 1);
    const uint8_t eight[8] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
    ASSERT_EQ(store.SetValue("Eight4", eight, 8), 1);
    ASSERT_EQ(store.SetValue("Blob5", "zz", 2), 1);
    ASSERT_EQ(store.SetValue("Eight6", eight, 3), 1);
    float f = 1.5f;
    ASSERT_EQ(store.SetValue("Float", &f, 4), 1);
    const uint8_t block[3] = {0x0A, 0xFF, 0x00};
    ASSERT_EQ(store.SetValue("Block", block, 3), 1);
    ASSERT_EQ(store.SetValue("Unknown", "zzzz", 4), 1);

    ASSERT_EQ(store.Save(), 1);

    RegistryKey key = SectionKey();
    uint32_t type = 0, v = 0, size = 4;
    ASSERT_EQ(key.QueryValue("Int", &type, &v, &size), RegStatus::Ok);
    EXPECT_EQ(type, platform::kRegDword);
    EXPECT_EQ(v, 0xFFFFFFFEu);
    EXPECT_EQ(StoredText(key, "Text"), "Front \"door\" \\ 1\n2");
    EXPECT_EQ(StoredText(key, "Eight4"), "0123456789ABCDEF");
    EXPECT_EQ(StoredText(key, "Eight6"), "012345") << "only length bytes are written";
    EXPECT_EQ(StoredText(key, "Float"), "1.500000");
    EXPECT_EQ(StoredText(key, "Block"), "0AFF00");
    EXPECT_EQ(StoredText(key, "EmptyBlock"), "");
    EXPECT_FALSE(Stored(key, "Blob2"));
    EXPECT_FALSE(Stored(key, "Blob5"));
    EXPECT_FALSE(Stored(key, "Unknown"));

    // The file a person opens shows the same.
    std::string file = ReadFile(RegistryFile());
    EXPECT_NE(file.find("[HKEY_CURRENT_USER\\Software\\Orvalmedia\\Corvanta Basic Live OCX\\MainDialog]"),
              std::string::npos)
        << file;
    EXPECT_NE(file.find("\"Block\"=\"0AFF00\""), std::string::npos) << file;
    EXPECT_NE(file.find("\"Int\"=dword:fffffffe"), std::string::npos) << file;
}

TEST_F(SettingsRegistry, LoadReadsEachTypeBack) {
    RegistryKey key = SectionKey();
    key.SetDword("Int", 8080);
    key.SetText("Text", "camera 7");
    key.SetText("Eight", "a1B2c3");
    key.SetText("Float", "  2.25xyz");
    key.SetText("Odd", "ABC");
    key.SetText("Spaces", " 1F G");
    key.SetText("Six", "0102");
    key.SetText("Two", "41");
    key.SetDword("Five", 7);

    CSettingsStore store;
    store.SetSection("MainDialog");
    ASSERT_EQ(store.Declare({"Int", 1}), 1);
    ASSERT_EQ(store.Declare({"Text", 3, 101}), 1);
    ASSERT_EQ(store.Declare({"Eight", 4}), 1);
    ASSERT_EQ(store.Declare({"Float", 7}), 1);
    ASSERT_EQ(store.Declare({"Odd", 8}), 1);
    ASSERT_EQ(store.Declare({"Spaces", 8}), 1);
    ASSERT_EQ(store.Declare({"Six", 6}), 1);
    ASSERT_EQ(store.Declare({"Two", 2}), 1);
    ASSERT_EQ(store.Declare({"Five", 5}), 1);
    ASSERT_EQ(store.Load(), 1);

    int32_t i = 0;
    EXPECT_EQ(store.GetInt("Int", i), 1);
    EXPECT_EQ(i, 8080);
    std::string text;
    EXPECT_EQ(store.GetText("Text", text), 1);
    EXPECT_EQ(text, "camera 7");
    std::vector<uint8_t> bytes;
    uint32_t length = 0;
    Bytes(store, "Eight", bytes, length);
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0xA1, 0xB2, 0xC3, 0, 0, 0, 0, 0}));
    Bytes(store, "Odd", bytes, length);
    EXPECT_EQ(length, 1u) << "an odd last digit does not count";
    EXPECT_EQ(bytes[0], 0xAB);
    Bytes(store, "Spaces", bytes, length);
    EXPECT_EQ(length, 2u);
    EXPECT_EQ(bytes[0], 0x01) << "\" 1\" reads as 1";
    EXPECT_EQ(bytes[1], 0x0F) << "\"F \" stops at the blank";
    Bytes(store, "Six", bytes, length);
    EXPECT_EQ(length, 2u);
    EXPECT_EQ(bytes[1], 0x02);
    Bytes(store, "Two", bytes, length);
    EXPECT_EQ(length, 0u) << "type 2 is not loaded";
    EXPECT_EQ(bytes[0], 0);
    Bytes(store, "Five", bytes, length);
    EXPECT_EQ(length, 0u) << "type 5 is not loaded";
    float f = 0;
    Bytes(store, "Float", bytes, length);
    std::memcpy(&f, bytes.data(), 4);
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(f, 2.25f);
}

TEST_F(SettingsRegistry, ValuesThatDoNotFitAreNotTaken) {
    RegistryKey key = SectionKey();
    key.SetText("Block", "0AFF00");
    key.SetText("Long", std::string(101, 'L'));
    key.SetText("Huge", std::string(8047, 'H'));
    key.SetText("TooHuge", std::string(8048, 'T'));
    key.SetText("HugeHex", std::string(20046, '1'));
    key.SetText("TooHugeHex", std::string(20048, '1'));
    key.SetText("BadFloat", "abc");

    CSettingsStore store;
    store.SetSection("MainDialog");
    ASSERT_EQ(store.Declare({"Block", 8, 2}), 1);
    ASSERT_EQ(store.Declare({"Long", 3, 101}), 1);
    ASSERT_EQ(store.Declare({"Huge", 3, 9000}), 1);
    ASSERT_EQ(store.Declare({"TooHuge", 3, 9000}), 1);
    ASSERT_EQ(store.Declare({"HugeHex", 8, 20000}), 1);
    ASSERT_EQ(store.Declare({"TooHugeHex", 8, 20000}), 1);
    ASSERT_EQ(store.Declare({"BadFloat", 7}), 1);
    const uint8_t keep[2] = {0x55, 0x66};
    ASSERT_EQ(store.SetValue("Block", keep, 2), 1);
    ASSERT_EQ(store.SetText("Long", "default"), 1);
    ASSERT_EQ(store.SetText("TooHuge", "default"), 1);
    float f = 0.5f;
    ASSERT_EQ(store.SetValue("BadFloat", &f, 4), 1);

    ASSERT_EQ(store.Load(), 1);

    std::vector<uint8_t> bytes;
    uint32_t length = 0;
    Bytes(store, "Block", bytes, length);
    EXPECT_EQ(length, 2u) << "3 bytes do not fit a record of capacity 2";
    EXPECT_EQ(bytes[0], 0x55);
    EXPECT_EQ(bytes[1], 0x66);
    std::string text;
    store.GetText("Long", text);
    EXPECT_EQ(text, "default") << "101 characters and a NUL do not fit 101 bytes";
    store.GetText("Huge", text);
    EXPECT_EQ(text.size(), 8047u) << "8047 characters and the NUL fill the text read buffer exactly";
    store.GetText("TooHuge", text);
    EXPECT_EQ(text, "default") << "a text longer than the read buffer is not taken";
    Bytes(store, "HugeHex", bytes, length);
    EXPECT_EQ(length, 10023u);
    Bytes(store, "TooHugeHex", bytes, length);
    EXPECT_EQ(length, 0u);
    Bytes(store, "BadFloat", bytes, length);
    std::memcpy(&f, bytes.data(), 4);
    EXPECT_EQ(f, 0.5f);
}

TEST_F(SettingsRegistry, MissingOrMistypedValuesKeepDefaults) {
    RegistryKey key = SectionKey();
    key.SetText("Int", "12");
    key.SetDword("Text", 0x41414141);

    CSettingsStore store;
    store.SetSection("MainDialog");
    ASSERT_EQ(store.Declare({"Int", 1}), 1);
    ASSERT_EQ(store.Declare({"Text", 3, 20}), 1);
    ASSERT_EQ(store.Declare({"Absent", 1}), 1);
    ASSERT_EQ(store.Declare({"AbsentFloat", 7}), 1);
    ASSERT_EQ(store.SetInt("Int", 2), 1);
    ASSERT_EQ(store.SetText("Text", "keep"), 1);
    ASSERT_EQ(store.Load(), 1);

    int32_t v = 0;
    store.GetInt("Int", v);
    EXPECT_EQ(v, 2);
    std::string text;
    store.GetText("Text", text);
    EXPECT_EQ(text, "keep");
    uint8_t buf[8];
    uint32_t size = sizeof buf;
    EXPECT_EQ(store.GetValue("Absent", buf, &size), 1);
    EXPECT_EQ(size, 4u) << "an integer's length is 4 after a load even when nothing was stored";
    EXPECT_EQ(buf[0], 0);
    size = sizeof buf;
    EXPECT_EQ(store.GetValue("AbsentFloat", buf, &size), 1);
    EXPECT_EQ(size, 4u);
    // Open made the key path even though nothing was stored.
    EXPECT_NE(ReadFile(RegistryFile()).find("Corvanta Basic Live OCX\\MainDialog]"), std::string::npos);
}

TEST_F(SettingsRegistry, SectionIsChosenBySubstring) {
    CSettingsStore inside;
    inside.SetSection("XMainDialogY");
    ASSERT_EQ(inside.Declare({"v", 1}), 1);
    ASSERT_EQ(inside.SetInt("v", 11), 1);
    EXPECT_EQ(inside.Save(), 1);
    uint32_t v = 0, size = 4;
    EXPECT_EQ(SectionKey({"XMainDialogY"}).QueryValue("v", nullptr, &v, &size), RegStatus::Ok);
    EXPECT_EQ(v, 11u);

    CSettingsStore other;
    other.SetSection("Player");
    ASSERT_EQ(other.Declare({"w", 1}), 1);
    EXPECT_EQ(other.Save(), 0);
    EXPECT_EQ(other.Load(), 0);
    EXPECT_EQ(ReadFile(RegistryFile()).find("Player"), std::string::npos);

    CSettingsStore nested;
    nested.SetSection("Outer");
    nested.SetSection("MainDialog");
    ASSERT_EQ(nested.Declare({"n", 1}), 1);
    ASSERT_EQ(nested.SetInt("n", 5), 1);
    EXPECT_EQ(nested.Save(), 1);
    EXPECT_EQ(SectionKey({"Outer", "MainDialog"}).QueryValue("n", nullptr, &v, &size), RegStatus::Ok);
    EXPECT_EQ(v, 5u);

    // The name stays after the path is cleared, but an empty path cannot be opened.
    nested.Clear(true);
    EXPECT_EQ(nested.Save(), 0);
    CRegistrySettingsBackend backend;
    EXPECT_EQ(backend.Open({}), 0);
}

TEST_F(SettingsRegistry, PersistsAcrossStoreObjects) {
    auto declare = [](CSettingsStore& s) {
        s.SetSection("MainDialog");
        s.Declare({"CommType", 1});
        s.Declare({"StreamPort", 1});
        s.Declare({"ServerURL", 3, 101});
        s.Declare({"UserPswd", 3, 101});
        s.Declare({"UserName", 3, 101});
        s.SetInt("CommType", 2);
        s.SetInt("StreamPort", 8080);
        s.SetText("ServerURL", "");
        s.SetText("UserPswd", "");
        s.SetText("UserName", "");
    };
    {
        CSettingsStore first;
        declare(first);
        first.SetInt("StreamPort", 9090);
        first.SetText("ServerURL", "http://192.168.1.20");
        first.SetText("UserName", "admin");
        ASSERT_EQ(first.Save(), 1);
    }
    CSettingsStore second;
    declare(second);
    ASSERT_EQ(second.Load(), 1);
    int32_t v = 0;
    second.GetInt("CommType", v);
    EXPECT_EQ(v, 2);
    second.GetInt("StreamPort", v);
    EXPECT_EQ(v, 9090);
    std::string text;
    second.GetText("ServerURL", text);
    EXPECT_EQ(text, "http://192.168.1.20");
    second.GetText("UserName", text);
    EXPECT_EQ(text, "admin");
    second.GetText("UserPswd", text);
    EXPECT_EQ(text, "");
}

TEST_F(SettingsRegistry, PersistsAcrossProcesses) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        CSettingsStore store;
        store.SetSection("MainDialog");
        int ok = store.Declare({"FromChild", 3, 64}) && store.Declare({"Rate", 7}) &&
                 store.SetText("FromChild", "written by pid " + std::to_string(getpid()));
        float f = 12.75f;
        ok = ok && store.SetValue("Rate", &f, 4) && store.Save();
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    CSettingsStore store;
    store.SetSection("MainDialog");
    ASSERT_EQ(store.Declare({"FromChild", 3, 64}), 1);
    ASSERT_EQ(store.Declare({"Rate", 7}), 1);
    ASSERT_EQ(store.Load(), 1);
    std::string text;
    store.GetText("FromChild", text);
    EXPECT_EQ(text, "written by pid " + std::to_string(pid));
    float f = 0;
    store.GetValue("Rate", &f);
    EXPECT_EQ(f, 12.75f);
}
