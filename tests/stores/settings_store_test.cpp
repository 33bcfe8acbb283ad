#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "stores/CSettingsSnapshot.h"
#include "stores/CSettingsStore.h"

using namespace corvanta;
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
