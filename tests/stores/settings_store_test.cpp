#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "stores/CSettingsStore.h"

using namespace corvanta;

namespace {

uint32_t CapacityOf(CSettingsStore& store, const std::string& name) {
    SettingsStoreLock lock(store);
    for (size_t i = 0; i < store.RecordCount(); ++i)
        if (name == store.RecordAt(i)->name) return store.RecordAt(i)->capacity;
    ADD_FAILURE() << name << " not declared";
    return 0;
}

}  // namespace

TEST(SettingsStoreDeclare, NameLimitIsOneHundredCharacters) {
    CSettingsStore store;
    const std::string hundred(100, 'n');
    EXPECT_EQ(store.Declare({hundred, 1}), 1);
    EXPECT_EQ(store.Declare({std::string(101, 'm'), 1}), 0);
    EXPECT_EQ(store.SetInt(hundred, 3), 1);
    int32_t v = 0;
    EXPECT_EQ(store.GetInt(hundred, v), 1);
    EXPECT_EQ(v, 3);
    EXPECT_EQ(store.GetInt(std::string(101, 'm'), v), 0);
    SettingsStoreLock lock(store);
    ASSERT_EQ(store.RecordCount(), 1u);
    EXPECT_EQ(std::string(store.RecordAt(0)->name), hundred);
    EXPECT_EQ(store.RecordAt(0)->name[100], '\0');
}

TEST(SettingsStoreDeclare, SecondDeclarationOfANameFailsAndChangesNothing) {
    CSettingsStore store;
    ASSERT_EQ(store.Declare({"Port", 1}), 1);
    ASSERT_EQ(store.SetInt("Port", 8080), 1);
    EXPECT_EQ(store.Declare({"Port", 3, 500}), 0);
    int32_t v = 0;
    EXPECT_EQ(store.GetInt("Port", v), 1);
    EXPECT_EQ(v, 8080);
    EXPECT_EQ(CapacityOf(store, "Port"), 4u);
    // Names are exact and case-sensitive.
    EXPECT_EQ(store.Declare({"port", 1}), 1);
}

TEST(SettingsStoreDeclare, CapacityComesFromTheTypeWhenNotGiven) {
    CSettingsStore store;
    const uint32_t expected[] = {0, 4, 1024, 1025, 8, 1024, 8, 4, 1024};
    for (int type = 1; type <= 8; ++type) ASSERT_EQ(store.Declare({"t" + std::to_string(type), type}), 1);
    for (int type = 1; type <= 8; ++type) EXPECT_EQ(CapacityOf(store, "t" + std::to_string(type)), expected[type]) << type;
    ASSERT_EQ(store.Declare({"given", 3, 101}), 1);
    EXPECT_EQ(CapacityOf(store, "given"), 101u);
}

TEST(SettingsStoreDeclare, NewRecordIsZeroFilledAndLaidOutInOrder) {
    CSettingsStore store;
    ASSERT_EQ(store.Declare({"a", 8, 16, kSettingCopyable}), 1);
    ASSERT_EQ(store.Declare({"b", 1}), 1);
    SettingsStoreLock lock(store);
    ASSERT_EQ(store.RecordCount(), 2u);
    const SettingRecord* r = store.RecordAt(0);
    EXPECT_EQ(r->type, 8);
    EXPECT_EQ(r->flags, kSettingCopyable);
    EXPECT_EQ(r->capacity, 16u);
    EXPECT_EQ(r->length, 0u);
    for (uint32_t i = 0; i < r->capacity + 4; ++i) EXPECT_EQ(r->Value()[i], 0) << i;
    const auto* raw = reinterpret_cast<const uint8_t*>(r);
    EXPECT_EQ(raw[8], 'a');
    EXPECT_EQ(raw[112], 16) << "capacity at offset 112";
    EXPECT_EQ(std::string(store.RecordAt(1)->name), "b");
}

TEST(SettingsStoreValues, TextMustFitWithItsNul) {
    CSettingsStore store;
    ASSERT_EQ(store.Declare({"UserName", 3, 101}), 1);
    const std::string hundred(100, 'x');
    EXPECT_EQ(store.SetText("UserName", hundred), 1);
    EXPECT_EQ(store.SetText("UserName", std::string(101, 'y')), 0);
    std::string text;
    EXPECT_EQ(store.GetText("UserName", text), 1);
    EXPECT_EQ(text, hundred) << "a refused set keeps the old value";
    uint32_t length = 0;
    SettingsStoreLock lock(store);
    ASSERT_NE(store.FindValue("UserName", &length), nullptr);
    EXPECT_EQ(length, 101u);
}

TEST(SettingsStoreValues, SetValueChecksNameAndCapacity) {
    CSettingsStore store;
    ASSERT_EQ(store.Declare({"blk", 8, 4}), 1);
    const uint8_t bytes[5] = {1, 2, 3, 4, 5};
    EXPECT_EQ(store.SetValue("nope", bytes, 1), 0);
    EXPECT_EQ(store.SetValue("blk", bytes, 5), 0);
    EXPECT_EQ(store.SetValue("blk", bytes, 4), 1);
    EXPECT_EQ(store.SetValue("blk", bytes + 3, 2), 1);
    uint8_t out[8] = {};
    uint32_t size = sizeof out;
    EXPECT_EQ(store.GetValue("blk", out, &size), 1);
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(out[0], 4);
    EXPECT_EQ(out[1], 5);
    EXPECT_EQ(out[2], 0) << "only length bytes are copied out";
    EXPECT_EQ(store.SetValue("blk", nullptr, 0), 1);
    size = sizeof out;
    EXPECT_EQ(store.GetValue("blk", out, &size), 1);
    EXPECT_EQ(size, 0u);
}

TEST(SettingsStoreValues, GetValueSizeRules) {
    CSettingsStore store;
    ASSERT_EQ(store.Declare({"CommType", 1}), 1);
    ASSERT_EQ(store.SetInt("CommType", 0x11223344), 1);

    uint8_t buf[8];
    std::memset(buf, 0xEE, sizeof buf);
    uint32_t size = 3;
    EXPECT_EQ(store.GetValue("CommType", buf, &size), 0);
    EXPECT_EQ(size, 3u);
    for (uint8_t b : buf) EXPECT_EQ(b, 0xEE) << "nothing is copied when the size is too small";

    EXPECT_EQ(store.GetValue("CommType", buf), 1);
    int32_t v;
    std::memcpy(&v, buf, 4);
    EXPECT_EQ(v, 0x11223344);
    EXPECT_EQ(buf[4], 0xEE);

    size = 8;
    EXPECT_EQ(store.GetValue("CommType", buf, &size), 1);
    EXPECT_EQ(size, 4u);
    size = 8;
    EXPECT_EQ(store.GetValue("Missing", buf, &size), 0);
}

TEST(SettingsStoreValues, TextAndIntViewsOfTheSameBytes) {
    CSettingsStore store;
    ASSERT_EQ(store.Declare({"t", 3, 8}), 1);
    ASSERT_EQ(store.SetText("t", "abcdef"), 1);
    ASSERT_EQ(store.SetText("t", "xy"), 1);
    std::string text;
    EXPECT_EQ(store.GetText("t", text), 1);
    EXPECT_EQ(text, "xy");
    int32_t v = 0;
    EXPECT_EQ(store.GetInt("t", v), 1);
    EXPECT_EQ(v, 'x' | 'y' << 8 | 'd' << 24) << "a shorter value leaves the bytes after it as they were";
    // A value that fills the whole capacity still reads as a bounded text.
    ASSERT_EQ(store.SetValue("t", "12345678", 8), 1);
    EXPECT_EQ(store.GetText("t", text), 1);
    EXPECT_EQ(text, "12345678");
    EXPECT_EQ(store.GetText("missing", text), 0);
    EXPECT_EQ(text, "12345678");
}

TEST(SettingsStoreState, ClearFreesRecordsAndOptionallyThePath) {
    CSettingsStore store;
    store.SetSection("Outer");
    store.SetSection("MainDialog");
    EXPECT_EQ(store.SectionPath(), (std::vector<std::string>{"Outer", "MainDialog"}));
    ASSERT_EQ(store.Declare({"a", 1}), 1);
    EXPECT_EQ(store.Clear(false), 1);
    int32_t v;
    EXPECT_EQ(store.GetInt("a", v), 0);
    EXPECT_EQ(store.SectionPath().size(), 2u);
    EXPECT_EQ(store.Declare({"a", 1}), 1) << "a cleared name can be declared again";
    EXPECT_EQ(store.Clear(true), 1);
    EXPECT_TRUE(store.SectionPath().empty());
    EXPECT_EQ(store.Section(), "MainDialog");
}

TEST(SettingsStoreState, TenOwnerSlots) {
    CSettingsStore store;
    for (int i = 0; i < 10; ++i) EXPECT_EQ(store.GetFlag(i), 0);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(store.SetFlag(i, 100 + i), 1);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(store.GetFlag(i), 100 + i);
    EXPECT_EQ(store.SetFlag(10, 1), 0);
    EXPECT_EQ(store.SetFlag(-1, 1), 0);
    EXPECT_EQ(store.GetFlag(10), 0);
    store.Clear(true);
    EXPECT_EQ(store.GetFlag(9), 109) << "slots are not records";
}

TEST(SettingsStoreCopy, DestinationBecomesAnIndependentCopy) {
    CSettingsStore source, dest;
    ASSERT_EQ(source.Declare({"n", 1, 0, kSettingCopyable}), 1);
    ASSERT_EQ(source.Declare({"s", 3, 50}), 1);
    ASSERT_EQ(source.SetInt("n", 42), 1);
    ASSERT_EQ(source.SetText("s", "hello"), 1);
    dest.SetSection("Keep");
    ASSERT_EQ(dest.Declare({"old", 1}), 1);
    source.SetFlag(0, 1);

    EXPECT_EQ(source.CopyTo(dest), 1);
    int32_t v = 0;
    std::string text;
    EXPECT_EQ(dest.GetInt("old", v), 0) << "the destination's records are replaced";
    EXPECT_EQ(dest.GetInt("n", v), 1);
    EXPECT_EQ(v, 42);
    EXPECT_EQ(dest.GetText("s", text), 1);
    EXPECT_EQ(text, "hello");
    EXPECT_EQ(dest.SectionPath(), std::vector<std::string>{"Keep"});
    EXPECT_EQ(dest.GetFlag(0), 0) << "owner slots are not copied";
    {
        SettingsStoreLock lock(dest);
        ASSERT_EQ(dest.RecordCount(), 2u);
        EXPECT_EQ(dest.RecordAt(0)->flags, 0u) << "copies are declared with flags 0";
        EXPECT_EQ(dest.RecordAt(1)->capacity, 50u);
        EXPECT_EQ(dest.RecordAt(1)->length, 6u);
    }
    ASSERT_EQ(source.SetInt("n", 7), 1);
    EXPECT_EQ(dest.GetInt("n", v), 1);
    EXPECT_EQ(v, 42);
    EXPECT_EQ(source.CopyTo(source), 1);
    EXPECT_EQ(source.GetInt("n", v), 1);
    EXPECT_EQ(v, 7);
}

TEST(SettingsStoreCopy, UnpersistedSectionsDoNotLoadOrSave) {
    CSettingsStore none, lower;
    ASSERT_EQ(none.Declare({"a", 1}), 1);
    EXPECT_EQ(none.Save(), 0);
    EXPECT_EQ(none.Load(), 0);
    lower.SetSection("maindialog");
    EXPECT_EQ(lower.Save(), 0) << "the section test is case-sensitive";
}

TEST(SettingsStoreConcurrency, EachOperationIsAtomic) {
    CSettingsStore store;
    ASSERT_EQ(store.Declare({"blk", 8, 64}), 1);
    std::vector<uint8_t> a(64, 0xAA), b(48, 0xBB);
    std::vector<std::thread> writers;
    for (int t = 0; t < 2; ++t)
        writers.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) store.SetValue("blk", t ? a.data() : b.data(), t ? 64 : 48);
        });
    int torn = 0;
    for (int i = 0; i < 2000; ++i) {
        uint8_t out[64];
        uint32_t size = sizeof out;
        if (!store.GetValue("blk", out, &size)) continue;
        if (size == 0) continue;
        uint8_t first = out[0];
        if (size != (first == 0xAA ? 64u : 48u)) ++torn;
        for (uint32_t k = 0; k < size; ++k)
            if (out[k] != first) {
                ++torn;
                break;
            }
    }
    for (auto& th : writers) th.join();
    EXPECT_EQ(torn, 0);
}
