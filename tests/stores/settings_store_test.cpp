#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "stores/CSettingsSnapshot.h"
#include "stores/CSettingsStore.h"
#include "support/TempConfigHome.h"

using namespace corvanta;
using platform::RegistryKey;
using platform::RegStatus;
using Bytes = std::vector<uint8_t>;

namespace {

const SettingRecord* RecordOf(CSettingsStore& store, const std::string& name) {
    SettingsStoreLock lock(store);
    for (size_t i = 0; i < store.RecordCount(); ++i)
        if (name == store.RecordAt(i)->name) return store.RecordAt(i);
    ADD_FAILURE() << name << " not declared";
    static SettingRecord none{};
    return &none;
}
int32_t IntOf(CSettingsStore& store, const std::string& name) {
    int32_t v = -1;
    EXPECT_EQ(store.GetInt(name, v), 1) << name;
    return v;
}
std::string TextOf(CSettingsStore& store, const std::string& name) {
    std::string text = "<missing>";
    store.GetText(name, text);
    return text;
}

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
};

}  // namespace

TEST(SettingsStore, DeclarationsAndValuesKeepTheirLimits) {
    CSettingsStore store;
    EXPECT_EQ(store.Declare({std::string(101, 'm'), 1}), 0) << "a name longer than 100 bytes";
    ASSERT_EQ(store.Declare({"blk", 8, 4}), 1);
    const SettingRecord* r = RecordOf(store, "blk");
    for (uint32_t i = 0; i < r->capacity + 4; ++i) ASSERT_EQ(r->Value()[i], 0) << "zero-filled, spare bytes too";
    EXPECT_EQ(store.Declare({"blk", 3, 500}), 0) << "declared twice";
    const uint8_t bytes[5] = {1, 2, 3, 4, 5};
    EXPECT_EQ(store.SetValue("blk", bytes, 5), 0);
    ASSERT_EQ(store.SetValue("blk", "abcd", 4), 1);
    EXPECT_EQ(TextOf(store, "blk"), "abcd") << "a value filling the capacity still reads as a bounded text";
    ASSERT_EQ(store.Declare({"UserName", 3, 101}), 1);
    EXPECT_EQ(store.SetText("UserName", std::string(101, 'y')), 0) << "the NUL must fit too";

    // GetValue copies nothing into a buffer smaller than the value and reports the length otherwise.
    uint8_t buf[8] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    uint32_t size = 3;
    EXPECT_EQ(store.GetValue("blk", buf, &size), 0);
    EXPECT_EQ(std::tuple(size, buf[0]), std::tuple(3u, 0xEE));
    ASSERT_EQ(store.SetValue("blk", bytes + 1, 3), 1);
    size = 8;
    EXPECT_EQ(store.GetValue("blk", buf, &size), 1);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(Bytes(buf, buf + 5), (Bytes{2, 3, 4, 0xEE, 0xEE}));
}

TEST(SettingsStore, OwnerSlotsAndCopyTo) {
    CSettingsStore source, dest;
    EXPECT_EQ(source.SetFlag(9, 109), 1);
    EXPECT_EQ(source.SetFlag(10, 1), 0);
    ASSERT_EQ(source.Declare({"a", 1, 0, kSettingCopyable}), 1);
    ASSERT_EQ(source.SetInt("a", 42), 1);
    ASSERT_EQ(dest.Declare({"old", 1}), 1);
    EXPECT_EQ(source.CopyTo(dest), 1);
    int32_t v;
    EXPECT_EQ(dest.GetInt("old", v), 0) << "the destination's records are replaced";
    ASSERT_EQ(source.SetInt("a", 7), 1);
    EXPECT_EQ(IntOf(dest, "a"), 42) << "the copy is independent";
}

TEST(SettingsStore, EachOperationIsAtomicUnderThreads) {
    CSettingsStore store;
    ASSERT_EQ(store.Declare({"blk", 8, 64}), 1);
    const Bytes a(64, 0xAA), b(48, 0xBB);
    std::vector<std::thread> writers;
    for (const auto* v : {&a, &b})
        writers.emplace_back([&store, v] {
            for (int i = 0; i < 2000; ++i) store.SetValue("blk", v->data(), uint32_t(v->size()));
        });
    int torn = 0;
    for (int i = 0; i < 2000; ++i) {
        uint8_t out[64];
        uint32_t size = sizeof out;
        if (!store.GetValue("blk", out, &size) || size == 0) continue;
        bool whole = size == (out[0] == 0xAA ? 64u : 48u);
        for (uint32_t k = 0; k < size; ++k) whole = whole && out[k] == out[0];
        torn += !whole;
    }
    for (auto& th : writers) th.join();
    EXPECT_EQ(torn, 0);
}

TEST(SettingsSnapshot, RoundTripOfTheCopyableRecords) {
    // Two copyable records around one that is not.
    CSettingsStore source, target, tooSmall;
    ASSERT_EQ(source.Declare({"CommType", 1, 0, kSettingCopyable}), 1);
    ASSERT_EQ(source.Declare({"Secret", 3, 16, 0}), 1);
    ASSERT_EQ(source.Declare({"ServerURL", 3, 101, kSettingCopyable}), 1);
    ASSERT_EQ(source.SetText("ServerURL", "http://cam"), 1);
    CSettingsSnapshot out, in;
    EXPECT_EQ(out.Collect(source), 1);
    Bytes bytes;
    ASSERT_EQ(out.Serialize(bytes), 2u);
    // Each record travels as its 4-byte total size followed by the record itself.
    ASSERT_EQ(bytes.size(), size_t(4 + 128) + (4 + 225));
    Bytes small(bytes.size() - 1);
    size_t end = 1;
    EXPECT_EQ(out.Serialize(small.data(), small.size(), &end), 0u) << "a buffer one byte short gets nothing";
    EXPECT_EQ(end, 0u);

    ASSERT_EQ(in.Deserialize(bytes.data(), bytes.size(), 2), 1);
    ASSERT_EQ(in.Count(), 2u);
    for (size_t i = 0; i < 2; ++i)
        EXPECT_EQ(std::memcmp(in.RecordAt(i), out.RecordAt(i), out.RecordAt(i)->TotalSize()), 0) << i;

    ASSERT_EQ(target.Declare({"ServerURL", 3, 101}), 1);
    EXPECT_EQ(in.ApplyTo(target), 2u) << "records the target lacks are walked and skipped";
    EXPECT_EQ(TextOf(target, "ServerURL"), "http://cam");
    ASSERT_EQ(tooSmall.Declare({"ServerURL", 3, 5}), 1);
    ASSERT_EQ(tooSmall.SetText("ServerURL", "old"), 1);
    EXPECT_EQ(in.ApplyTo(tooSmall), 2u);
    EXPECT_EQ(TextOf(tooSmall, "ServerURL"), "old") << "a value that does not fit is skipped";
}

TEST(SettingsSnapshot, HostileInputFailsCleanlyAndLeavesItEmpty) {
    // One type-8 record of capacity 4: size field, 120-byte header, 4 value and 4 spare bytes.
    CSettingsStore store;
    ASSERT_EQ(store.Declare({"x", 8, 4, kSettingCopyable}), 1);
    CSettingsSnapshot snap;
    snap.Collect(store);
    Bytes good;
    ASSERT_EQ(snap.Serialize(good), 1u);
    ASSERT_EQ(good.size(), 132u);
    const size_t kCapacity = 4 + 112, kLength = 4 + 116;
    auto with = [](Bytes b, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
        return b;
    };
    Bytes two = good, noNul = good;
    two.insert(two.end(), good.begin(), good.end());
    std::memset(&noNul[4 + 8], 'n', 104);

    const struct {
        const char* why;
        Bytes bytes;
        uint32_t count;
        int accepted;
    } cases[] = {
        {"size runs past the buffer", with(good, 0, 133), 1, 0},
        {"capacity that wraps the size", with(good, kCapacity, 0xFFFFFF84), 1, 0},
        {"length past the record", with(good, kLength, 9), 1, 0},
        {"name without its NUL", noNul, 1, 0},
        {"count larger than the buffer holds", good, 2, 0},
        {"size field cut short", {good.begin(), good.begin() + 3}, 1, 0},
        {"second record damaged", with(two, 132 + kCapacity, 40), 2, 0},
        {"trailing bytes after the count", two, 1, 1},
    };
    for (const auto& c : cases) {
        // Start full so that a failure is seen to empty it.
        ASSERT_EQ(snap.Deserialize(good.data(), good.size(), 1), 1);
        // An exact-size copy lets the address sanitizer see any read past the end.
        std::unique_ptr<uint8_t[]> exact(new uint8_t[std::max<size_t>(c.bytes.size(), 1)]);
        if (!c.bytes.empty()) std::memcpy(exact.get(), c.bytes.data(), c.bytes.size());
        EXPECT_EQ(snap.Deserialize(exact.get(), c.bytes.size(), c.count), c.accepted) << c.why;
        EXPECT_EQ(snap.Count(), c.accepted ? size_t(c.count) : 0u) << c.why;
    }
}

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
    EXPECT_EQ(std::tuple(TextOf(second, "ServerURL"), TextOf(second, "UserPswd")),
              std::tuple("written by pid " + std::to_string(pid), ""));
}
