#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "stores/CTaggedValueStore.h"
#include "stores/TaggedRecord.h"

using namespace corvanta;

namespace {

std::vector<uint8_t> DataOf(CTaggedValueStore& store, const char* name, uint32_t* length = nullptr) {
    store.Lock();
    TaggedEntry* e = store.Find(name);
    std::vector<uint8_t> out;
    if (e) {
        out.assign(e->data.begin(), e->data.begin() + e->capacity);
        if (length) *length = e->length;
    }
    store.Unlock();
    return out;
}

uint32_t CapacityOf(CTaggedValueStore& store, const char* name) {
    store.Lock();
    TaggedEntry* e = store.Find(name);
    uint32_t c = e ? e->capacity : 0xFFFFFFFF;
    store.Unlock();
    return c;
}

}  // namespace

TEST(TaggedStoreDeclare, CapacitiesFollowTheEntryType) {
    CTaggedValueStore store;
    const uint32_t expected[] = {0, 4, 4, 6000, 8, 8, 8, 4, 1, 1, 2, 16};
    for (uint32_t t = 1; t <= 11; ++t) ASSERT_EQ(store.Declare("t" + std::to_string(t), t, 0, 0), 1);
    for (uint32_t t = 1; t <= 11; ++t) EXPECT_EQ(CapacityOf(store, ("t" + std::to_string(t)).c_str()), expected[t]) << t;
    ASSERT_EQ(store.Declare("text100", 3, 0, 100), 1);
    EXPECT_EQ(CapacityOf(store, "text100"), 6000u) << "text entries always get 6000";
    ASSERT_EQ(store.Declare("b9", 9, 0, 0), 1);
    EXPECT_EQ(CapacityOf(store, "b9"), 1u);
    ASSERT_EQ(store.Declare("blk", 8, 0, 40), 1);
    EXPECT_EQ(CapacityOf(store, "blk"), 40u);
    EXPECT_EQ(store.Declare("blk", 1, 0, 0), 0);
    EXPECT_EQ(CapacityOf(store, "blk"), 40u);
}

TEST(TaggedStoreDeclare, FrontFlagPutsTheEntryFirstExceptForDeclareFrom) {
    CTaggedValueStore store;
    ASSERT_EQ(store.Declare("a", 1, 0, 0), 1);
    ASSERT_EQ(store.Declare("b", 1, kTaggedFirst, 0), 1);
    ASSERT_EQ(store.DeclareFrom("c", CTaggedValue(uint32_t(5)), kTaggedFirst), 1);
    std::string name, label;
    uint32_t flags = 0;
    ASSERT_EQ(store.EntryAt(0, name, flags, &label), 1);
    EXPECT_EQ(name, "b");
    EXPECT_EQ(label, "b");
    EXPECT_EQ(flags, kTaggedFirst);
    ASSERT_EQ(store.EntryAt(2, name, flags), 1);
    EXPECT_EQ(name, "c");
    EXPECT_EQ(store.EntryAt(3, name, flags), 0);
    EXPECT_EQ(name, "c");
}

TEST(TaggedStoreDeclare, DeclareFromTakesTypeSizeAndBytes) {
    CTaggedValueStore store;
    ASSERT_EQ(store.DeclareFrom("blk", CTaggedValue(TaggedFill{0x33, 5}), 0), 1);
    EXPECT_EQ(CapacityOf(store, "blk"), 5u);
    uint32_t length = 0;
    EXPECT_EQ(DataOf(store, "blk", &length), std::vector<uint8_t>(5, 0x33));
    EXPECT_EQ(length, 5u);
    CTaggedValue v = store.GetValue("blk");
    EXPECT_EQ(v.Type(), 8u);
    EXPECT_EQ(v.Size(), 5u);
    ASSERT_EQ(store.DeclareFrom("txt", CTaggedValue(std::string_view("hi")), 0), 1);
    EXPECT_EQ(CapacityOf(store, "txt"), 6000u);
    EXPECT_EQ(store.GetValue("txt").AsText(), "hi");
    EXPECT_EQ(store.DeclareFrom("txt", CTaggedValue(uint32_t(1)), 0), 0);
}

TEST(TaggedStoreValues, WritesRebuildTheCachedValue) {
    CTaggedValueStore store;
    ASSERT_EQ(store.Declare("u", 1, 0, 0), 1);
    ASSERT_EQ(store.Declare("b", 9, 0, 0), 1);
    ASSERT_EQ(store.Declare("w", 10, 0, 0), 1);
    ASSERT_EQ(store.Declare("blk", 8, 0, 6), 1);
    ASSERT_EQ(store.Declare("f", 7, 0, 0), 1);
    ASSERT_EQ(store.SetWord("u", 77), 1);
    EXPECT_EQ(*store.GetValue("u").AsUnsignedWord(), 77u);
    const uint8_t ff = 0xFF;
    ASSERT_EQ(store.SetBytes("b", &ff, 1), 1);
    CTaggedValue bv = store.GetValue("b");
    EXPECT_EQ(bv.Type(), 1u);
    EXPECT_EQ(*bv.AsUnsignedWord(), 255u) << "a byte entry reads zero-extended";
    const uint8_t two[2] = {0x34, 0x12};
    ASSERT_EQ(store.SetBytes("w", two, 2), 1);
    EXPECT_EQ(*store.GetValue("w").AsUnsignedWord(), 0x1234u);
    ASSERT_EQ(store.SetBytes("blk", two, 2), 1);
    CTaggedValue blk = store.GetValue("blk");
    ASSERT_EQ(blk.Size(), 6u) << "a block's cached value has the entry's capacity";
    EXPECT_EQ(blk.Data()[1], 0x12);
    EXPECT_EQ(blk.Data()[5], 0);
    float f = 2.5f;
    ASSERT_EQ(store.SetBytes("f", &f, 4), 1);
    EXPECT_EQ(store.GetValue("f").Type(), 0u) << "type 7 has no cached value";
    EXPECT_EQ(store.GetValue("missing").Type(), 0u);
    EXPECT_EQ(store.SetBytes("u", "12345", 5), 0);
    EXPECT_EQ(store.SetBytes("missing", "1", 1), 0);
    EXPECT_EQ(store.SetValue("u", CTaggedValue(uint32_t(3))), 1);
    EXPECT_EQ(*store.GetValue("u").AsUnsignedWord(), 3u);
}

TEST(TaggedStoreValues, TrackedWritesMarkEntryAndStore) {
    CTaggedValueStore store;
    ASSERT_EQ(store.Declare("local", 1, kTaggedLocal, 0), 1);
    ASSERT_EQ(store.Declare("x", 1, 0, 0), 1);
    EXPECT_FALSE(store.Modified());
    ASSERT_EQ(store.SetWord("local", 5), 1);
    EXPECT_FALSE(store.Modified()) << "local entries are not change-tracked";
    ASSERT_EQ(store.SetWord("x", 0), 1);
    EXPECT_FALSE(store.Modified()) << "writing the same bytes is no change";
    store.SetTrackChanges(false);
    ASSERT_EQ(store.SetWord("x", 1), 1);
    EXPECT_FALSE(store.Modified());
    store.SetTrackChanges(true);
    ASSERT_EQ(store.SetWord("x", 2), 1);
    EXPECT_TRUE(store.Modified());
    store.Lock();
    EXPECT_TRUE(store.Find("x")->changed);
    EXPECT_FALSE(store.Find("local")->changed);
    store.Unlock();
}

TEST(TaggedStoreHex, SetFromHexRules) {
    CTaggedValueStore store;
    ASSERT_EQ(store.Declare("x", 1, 0, 0), 1);
    ASSERT_EQ(store.SetWord("x", 0x04030201), 1);
    EXPECT_EQ(store.SetFromHex("x", "", false, true, true), 0);
    uint32_t length = 0;
    EXPECT_EQ(DataOf(store, "x", &length), (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(length, 4u) << "an empty text changes nothing";
    EXPECT_EQ(store.SetFromHex("x", "A", false, true, true), 1);
    DataOf(store, "x", &length);
    EXPECT_EQ(length, 0u) << "a single digit sets length 0";
    EXPECT_EQ(store.SetFromHex("x", "0102030405", false, true, true), 0) << "more bytes than the capacity";
    EXPECT_EQ(store.SetFromHex("nope", "01", false, true, true), 0);
    EXPECT_EQ(store.Find("nope"), nullptr);
}

TEST(TaggedStoreHex, SetFromHexCreatesAByteBlock) {
    CTaggedValueStore store;
    EXPECT_EQ(store.SetFromHex("new", "0AFF00", true, true, true), 1);
    EXPECT_EQ(CapacityOf(store, "new"), 3u);
    uint32_t length = 0;
    EXPECT_EQ(DataOf(store, "new", &length), (std::vector<uint8_t>{0x0A, 0xFF, 0x00}));
    EXPECT_EQ(length, 3u);
    EXPECT_TRUE(store.Modified()) << "a created entry counts as changed";
    store.Lock();
    EXPECT_EQ(store.Find("new")->type, 8u);
    EXPECT_TRUE(store.Find("new")->changed);
    store.Unlock();

    CTaggedValueStore zeros;
    EXPECT_EQ(zeros.SetFromHex("z", "0000", true, true, true), 1);
    EXPECT_TRUE(zeros.Modified()) << "creating counts as a change even when the bytes stay zero";

    CTaggedValueStore quiet;
    EXPECT_EQ(quiet.SetFromHex("zero", "0000", true, false, true), 1);
    EXPECT_FALSE(quiet.Modified()) << "without track nothing is marked";
    EXPECT_EQ(quiet.SetFromHex("empty", "", true, true, true), 0);
    EXPECT_NE(quiet.Find("empty"), nullptr) << "the created entry stays even when the rest fails";
    EXPECT_EQ(CapacityOf(quiet, "empty"), 1u);
}

TEST(TaggedStoreHex, GetAsHexGivesTheWrittenBytes) {
    CTaggedValueStore store;
    ASSERT_EQ(store.Declare("x", 1, 0, 0), 1);
    std::string out = "stale";
    EXPECT_EQ(store.GetAsHex("x", out, true), 1);
    EXPECT_EQ(out, "") << "never written";
    ASSERT_EQ(store.SetWord("x", 1), 1);
    EXPECT_EQ(store.GetAsHex("x", out, false), 1);
    EXPECT_EQ(out, "01000000");
    out = "keep";
    EXPECT_EQ(store.GetAsHex("missing", out, true), 0);
    EXPECT_EQ(out, "keep");
    ASSERT_EQ(store.DeclareFrom("odd", CTaggedValue(uint32_t(0), nullptr, 0), 0), 1);
    EXPECT_EQ(store.GetAsHex("odd", out, true), 0) << "type 0 is outside 1..11";
    EXPECT_EQ(out, "");
}

TEST(TaggedStoreExchange, ExportSkipsLocalAndNotExchanged) {
    CTaggedValueStore store;
    ASSERT_EQ(store.Declare("local", 1, kTaggedLocal, 0), 1);
    ASSERT_EQ(store.Declare("hidden", 1, kTaggedNotExchanged, 0), 1);
    ASSERT_EQ(store.SetWord("local", 1), 1);
    ASSERT_EQ(store.SetWord("hidden", 2), 1);
    std::string out = "stale";
    EXPECT_EQ(store.ExportTagged(out, false), 1);
    EXPECT_EQ(out, "");

    ASSERT_EQ(store.Declare("", 1, 0, 0), 1);
    ASSERT_EQ(store.Declare("W", 1, 0, 0), 1);
    ASSERT_EQ(store.Declare("T", 3, 0, 0), 1);
    ASSERT_EQ(store.SetBytes("T", "a<b", 4), 1);
    ASSERT_EQ(store.SetWord("W", 0x12345678), 1);
    EXPECT_EQ(store.ExportTagged(out, false), 1);
    EXPECT_EQ(out, "<W>{78563412}<T>{613C6200}");
}

TEST(TaggedStoreExchange, ExportOnlyIfModified) {
    CTaggedValueStore store;
    ASSERT_EQ(store.Declare("W", 1, 0, 0), 1);
    std::string out;
    store.ExportTagged(out, true);
    EXPECT_EQ(out, "");
    ASSERT_EQ(store.SetWord("W", 3), 1);
    store.ExportTagged(out, true);
    EXPECT_EQ(out, "<W>{03000000}");
    store.ExportTagged(out, true);
    EXPECT_EQ(out, "<W>{03000000}") << "exporting does not clear the modified flag";
}

TEST(TaggedStoreExchange, ImportIntoAFourByteEntry) {
    CTaggedValueStore store;
    ASSERT_EQ(store.Declare("X", 1, 0, 0), 1);
    const uint8_t start[4] = {0, 0x11, 0x22, 0x33};
    store.SetTrackChanges(false);
    ASSERT_EQ(store.SetBytes("X", start, 4), 1);
    store.SetTrackChanges(true);
    ASSERT_FALSE(store.Modified());
    EXPECT_EQ(store.ImportTagged("<X>{FF}", false), 1);
    uint32_t length = 0;
    EXPECT_EQ(DataOf(store, "X", &length), (std::vector<uint8_t>{0xFF, 0x11, 0x22, 0x33}));
    EXPECT_EQ(length, 1u);
    EXPECT_TRUE(store.Modified());
}

TEST(TaggedStoreExchange, ImportTouchesOnlyExchangedEntriesItNames) {
    CTaggedValueStore store;
    ASSERT_EQ(store.Declare("A", 1, 0, 0), 1);
    ASSERT_EQ(store.Declare("AB", 1, 0, 0), 1);
    ASSERT_EQ(store.Declare("L", 1, kTaggedLocal, 0), 1);
    ASSERT_EQ(store.Declare("H", 1, kTaggedNotExchanged, 0), 1);
    ASSERT_EQ(store.Declare("Keep", 1, 0, 0), 1);
    ASSERT_EQ(store.SetWord("Keep", 9), 1);
    EXPECT_EQ(store.ImportTagged("<AB>{02000000}<A>{01000000}<L>{05}<H>{05}<Unknown>{07}", true), 1);
    EXPECT_EQ(*store.GetValue("A").AsUnsignedWord(), 1u);
    EXPECT_EQ(*store.GetValue("AB").AsUnsignedWord(), 2u);
    EXPECT_EQ(*store.GetValue("L").AsUnsignedWord(), 0u);
    EXPECT_EQ(*store.GetValue("H").AsUnsignedWord(), 0u);
    EXPECT_EQ(*store.GetValue("Keep").AsUnsignedWord(), 9u);
    EXPECT_EQ(store.Find("Unknown"), nullptr) << "fields naming no entry are ignored";
    EXPECT_EQ(store.ImportTagged("", false), 1);
}

TEST(TaggedStoreExchange, RoundTripBetweenStores) {
    CTaggedValueStore from, to;
    for (auto* s : {&from, &to}) {
        ASSERT_EQ(s->Declare("n", 2, 0, 0), 1);
        ASSERT_EQ(s->Declare("t", 3, 0, 0), 1);
        ASSERT_EQ(s->Declare("when", 11, 0, 0), 1);
    }
    ASSERT_EQ(from.SetValue("n", CTaggedValue(int32_t(-7))), 1);
    ASSERT_EQ(from.SetValue("t", CTaggedValue(std::string_view("front {door}"))), 1);
    ASSERT_EQ(from.SetValue("when", CTaggedValue(platform::SystemTime{2023, 7, 1, 14, 8, 30, 5, 250})), 1);
    std::string record;
    from.ExportTagged(record, false);
    to.ImportTagged(record, true);
    EXPECT_EQ(*to.GetValue("n").AsWord(), -7);
    EXPECT_EQ(to.GetValue("t").AsText(), "front {door}") << "hex carries the braces of a value";
    EXPECT_EQ(to.GetValue("when").AsDateTime()->minute, 30);
}

TEST(TaggedStoreExchange, WalksStopAfter999Entries) {
    CTaggedValueStore store;
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(store.Declare("e" + std::to_string(i), 9, 0, 0), 1);
    std::string out;
    store.ExportTagged(out, false);
    EXPECT_NE(out.find("<e998>{}"), std::string::npos);
    EXPECT_EQ(out.find("<e999>"), std::string::npos);
    store.ImportTagged("<e998>{01}<e999>{01}", true);
    EXPECT_EQ(*store.GetValue("e998").AsUnsignedWord(), 1u);
    EXPECT_EQ(*store.GetValue("e999").AsUnsignedWord(), 0u);
}

TEST(TaggedStoreState, ClearEmptiesTheStore) {
    CTaggedValueStore store;
    ASSERT_EQ(store.Declare("a", 1, 0, 0), 1);
    EXPECT_EQ(store.Clear(), 1);
    EXPECT_EQ(store.Count(), 0u);
    EXPECT_EQ(store.Find("a"), nullptr);
    EXPECT_EQ(store.Declare("a", 1, 0, 0), 1);
}

TEST(TaggedStoreState, ThreadsShareAStore) {
    CTaggedValueStore store;
    ASSERT_EQ(store.Declare("n", 1, 0, 0), 1);
    std::thread importer([&] {
        for (int i = 0; i < 500; ++i) store.ImportTagged(MakeTaggedField("n", i % 2 ? "01000000" : "02000000"), false);
    });
    std::thread declarer([&] {
        for (int i = 0; i < 200; ++i) store.Declare("d" + std::to_string(i), 8, 0, 4);
    });
    int bad = 0;
    for (int i = 0; i < 500; ++i) {
        std::string out;
        store.GetAsHex("n", out, true);
        if (out != "" && out != "01000000" && out != "02000000") ++bad;
        store.ExportTagged(out, false);
    }
    importer.join();
    declarer.join();
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(store.Count(), 201u);
}
