#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "stores/CSettingsSnapshot.h"
#include "stores/CSettingsStore.h"

using namespace corvanta;

namespace {

void PutU32(std::vector<uint8_t>& buf, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) buf[at + size_t(i)] = uint8_t(v >> (8 * i));
}

uint32_t GetU32(const std::vector<uint8_t>& buf, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | buf[at + size_t(i)];
    return v;
}

// A store with two copyable records and one that is not.
void FillSource(CSettingsStore& store) {
    ASSERT_EQ(store.Declare({"CommType", 1, 0, kSettingCopyable}), 1);
    ASSERT_EQ(store.Declare({"Secret", 3, 16, 0}), 1);
    ASSERT_EQ(store.Declare({"ServerURL", 3, 101, kSettingCopyable}), 1);
    ASSERT_EQ(store.SetInt("CommType", 3), 1);
    ASSERT_EQ(store.SetText("Secret", "hidden"), 1);
    ASSERT_EQ(store.SetText("ServerURL", "http://cam"), 1);
}

// The serialised form of a snapshot holding one record of this capacity.
std::vector<uint8_t> OneRecord(uint32_t capacity, const char* name = "x") {
    CSettingsStore store;
    EXPECT_EQ(store.Declare({name, 8, capacity, kSettingCopyable}), 1);
    CSettingsSnapshot snap;
    snap.Collect(store);
    std::vector<uint8_t> bytes;
    EXPECT_EQ(snap.Serialize(bytes), 1u);
    return bytes;
}

}  // namespace

TEST(SettingsSnapshot, CollectTakesOnlyCopyableRecords) {
    CSettingsStore store;
    FillSource(store);
    CSettingsSnapshot snap;
    EXPECT_EQ(snap.Collect(store), 1);
    ASSERT_EQ(snap.Count(), 2u);
    EXPECT_STREQ(snap.RecordAt(0)->name, "CommType");
    EXPECT_STREQ(snap.RecordAt(1)->name, "ServerURL");
    EXPECT_EQ(snap.RecordAt(1)->length, 11u);
}

TEST(SettingsSnapshot, NothingCopyableSerialisesToNothing) {
    CSettingsStore store;
    ASSERT_EQ(store.Declare({"a", 1}), 1);
    CSettingsSnapshot snap;
    snap.Collect(store);
    std::vector<uint8_t> out(16, 0xCC);
    size_t end = 99;
    EXPECT_EQ(snap.Serialize(out.data(), out.size(), &end), 0u);
    EXPECT_EQ(end, 0u);
    EXPECT_EQ(out[0], 0xCC);
    EXPECT_EQ(snap.Serialize(out), 0u);
    EXPECT_TRUE(out.empty());
}

TEST(SettingsSnapshot, SerialisedFormIsSizePrefixedRecordBytes) {
    CSettingsStore store;
    FillSource(store);
    CSettingsSnapshot snap;
    snap.Collect(store);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(snap.Serialize(bytes), 2u);
    ASSERT_EQ(bytes.size(), size_t(4 + 4 + 124) + (4 + 101 + 124));
    EXPECT_EQ(GetU32(bytes, 0), 128u);
    EXPECT_EQ(GetU32(bytes, 4), 1u) << "type";
    EXPECT_EQ(GetU32(bytes, 8), kSettingCopyable) << "flags";
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[12])), "CommType");
    EXPECT_EQ(GetU32(bytes, 4 + 112), 4u) << "capacity";
    EXPECT_EQ(GetU32(bytes, 4 + 116), 4u) << "length";
    EXPECT_EQ(GetU32(bytes, 4 + 120), 3u) << "value";
    size_t second = 4 + 128;
    EXPECT_EQ(GetU32(bytes, second), 225u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[second + 4 + 120])), "http://cam");

    std::vector<uint8_t> small(bytes.size() - 1);
    size_t end = 1;
    EXPECT_EQ(snap.Serialize(small.data(), small.size(), &end), 0u) << "a buffer that is too small gets nothing";
    EXPECT_EQ(end, 0u);
}

TEST(SettingsSnapshot, RoundTripAppliesValuesByName) {
    CSettingsStore source;
    FillSource(source);
    CSettingsSnapshot out;
    out.Collect(source);
    std::vector<uint8_t> bytes;
    uint32_t count = out.Serialize(bytes);

    CSettingsSnapshot in;
    ASSERT_EQ(in.Deserialize(bytes.data(), bytes.size(), count), 1);
    ASSERT_EQ(in.Count(), 2u);
    for (size_t i = 0; i < 2; ++i)
        EXPECT_EQ(std::memcmp(in.RecordAt(i), out.RecordAt(i), out.RecordAt(i)->TotalSize()), 0) << "exact copies";

    CSettingsStore target;
    ASSERT_EQ(target.Declare({"ServerURL", 3, 101}), 1);
    ASSERT_EQ(target.Declare({"Other", 1}), 1);
    ASSERT_EQ(target.SetInt("Other", 9), 1);
    EXPECT_EQ(in.ApplyTo(target), 2u) << "records the target lacks are walked and skipped";
    std::string text;
    target.GetText("ServerURL", text);
    EXPECT_EQ(text, "http://cam");
    int32_t v = 0;
    target.GetInt("Other", v);
    EXPECT_EQ(v, 9);
    EXPECT_EQ(target.GetInt("CommType", v), 0);

    CSettingsStore tooSmall;
    ASSERT_EQ(tooSmall.Declare({"ServerURL", 3, 5}), 1);
    ASSERT_EQ(tooSmall.SetText("ServerURL", "old"), 1);
    EXPECT_EQ(in.ApplyTo(tooSmall), 2u);
    tooSmall.GetText("ServerURL", text);
    EXPECT_EQ(text, "old") << "a value that does not fit is skipped";
}

TEST(SettingsSnapshot, TrailingBytesAfterTheCountAreIgnored) {
    std::vector<uint8_t> bytes = OneRecord(4);
    bytes.resize(bytes.size() + 7, 0xAB);
    CSettingsSnapshot snap;
    EXPECT_EQ(snap.Deserialize(bytes.data(), bytes.size(), 1), 1);
    EXPECT_EQ(snap.Count(), 1u);
    EXPECT_EQ(snap.Deserialize(bytes.data(), bytes.size(), 0), 1);
    EXPECT_EQ(snap.Count(), 0u);
}

TEST(SettingsSnapshot, HostileInputFailsCleanlyAndLeavesItEmpty) {
    const std::vector<uint8_t> good = OneRecord(4);
    ASSERT_EQ(good.size(), 132u);
    CSettingsSnapshot snap;
    auto rejects = [&](std::vector<uint8_t> bytes, uint32_t count, const char* why) {
        // Start full so that a failure is seen to empty it.
        ASSERT_EQ(snap.Deserialize(good.data(), good.size(), 1), 1);
        // An exact-size copy lets the address sanitizer see any read past the end.
        std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size() ? bytes.size() : 1]);
        if (!bytes.empty()) std::memcpy(exact.get(), bytes.data(), bytes.size());
        EXPECT_EQ(snap.Deserialize(exact.get(), bytes.size(), count), 0) << why;
        EXPECT_EQ(snap.Count(), 0u) << why;
    };

    std::vector<uint8_t> b = good;
    PutU32(b, 0, 133);
    rejects(b, 1, "size runs past the buffer");
    PutU32(b, 0, 0xFFFFFFFF);
    rejects(b, 1, "size runs far past the buffer");
    b = good;
    PutU32(b, 0, 120);
    rejects(b, 1, "size smaller than a record header");
    b = good;
    PutU32(b, 4 + 112, 5);
    rejects(b, 1, "capacity disagrees with the size");
    PutU32(b, 4 + 112, 0xFFFFFF84);
    rejects(b, 1, "capacity that wraps the size");
    b = good;
    PutU32(b, 4 + 116, 9);
    rejects(b, 1, "length past the record");
    b = good;
    std::memset(&b[4 + 8], 'n', 104);
    rejects(b, 1, "name without its NUL");
    rejects(good, 2, "count larger than the buffer holds");
    rejects(good, 0xFFFFFFFF, "huge count");
    rejects(std::vector<uint8_t>(good.begin(), good.begin() + 3), 1, "size field cut short");
    rejects(std::vector<uint8_t>(good.begin(), good.end() - 1), 1, "record cut short");
    rejects({}, 1, "empty buffer");

    // Two records where the second is damaged: nothing is kept.
    std::vector<uint8_t> two = good;
    two.insert(two.end(), good.begin(), good.end());
    PutU32(two, 132 + 4 + 112, 40);
    rejects(two, 2, "second record damaged");
    two = good;
    two.insert(two.end(), good.begin(), good.end());
    EXPECT_EQ(snap.Deserialize(two.data(), two.size(), 2), 1);
    EXPECT_EQ(snap.Count(), 2u);
}

TEST(SettingsSnapshot, LengthMayReachIntoTheSpareBytes) {
    // An integer loaded into a record smaller than 4 bytes has length 4.
    std::vector<uint8_t> bytes = OneRecord(2);
    PutU32(bytes, 4 + 116, 6);
    CSettingsSnapshot snap;
    EXPECT_EQ(snap.Deserialize(bytes.data(), bytes.size(), 1), 1);
    PutU32(bytes, 4 + 116, 7);
    EXPECT_EQ(snap.Deserialize(bytes.data(), bytes.size(), 1), 0);
}
