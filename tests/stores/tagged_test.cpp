#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "stores/CTaggedValue.h"
#include "stores/CTaggedValueStore.h"
#include "stores/TaggedRecord.h"

using namespace corvanta;

namespace {

using Bytes = std::vector<uint8_t>;

struct EntryState {
    uint32_t capacity = 0xFFFFFFFF, length = 0;
    Bytes data;
};
EntryState StateOf(CTaggedValueStore& store, const char* name) {
    EntryState s;
    store.Lock();
    if (TaggedEntry* e = store.Find(name)) s = {e->capacity, e->length, Bytes(e->data.begin(), e->data.begin() + e->capacity)};
    store.Unlock();
    return s;
}
uint32_t WordOf(CTaggedValueStore& store, const char* name) { return *store.GetValue(name).AsUnsignedWord(); }

}  // namespace

TEST(TaggedRecord, FieldsAreMadeAndFoundByTheirExactFirstTag) {
    EXPECT_EQ(MakeTaggedField("Name", "a<b>c{d}e"), "<Name>{a b c d e}");

    const std::string record = MakeTaggedField("AB", "2") + MakeTaggedField("A", "1") + MakeTaggedField("A", "3");
    struct Case {
        std::string text, key;
        int found;
        const char* value;
    } cases[] = {
        {record, "A", 1, "1"},
        {record, "AB", 1, "2"},
        {record, "B", 0, ""},
        {"<A>{12", "A", 0, ""},
        // Braces are searched from the tag on, so a tag without its own takes the next field's.
        {"<A>x<B>{7}", "A", 1, "7"},
        {std::string("<A>{1}\0<B>{2}", 14), "B", 0, ""},
    };
    for (const Case& c : cases) {
        std::string v = "untouched";
        EXPECT_EQ(FindTaggedField(c.text, c.key, v), c.found) << c.text << " / " << c.key;
        EXPECT_EQ(v, c.found ? c.value : "untouched") << c.text << " / " << c.key;
    }
}

TEST(TaggedRecord, HexIsScannedPairByPairAndTooLongZeroesTheBuffer) {
    uint8_t buf[6];
    std::memset(buf, 0xEE, sizeof buf);
    // Blank then digit, G is no digit, digit then non-digit, no digit at all.
    EXPECT_EQ(HexToBytes("0aFf 1G.1zzz", buf, sizeof buf), 1);
    EXPECT_EQ(Bytes(buf, buf + 6), (Bytes{0x0A, 0xFF, 0x01, 0x00, 0x01, 0x00}));
    EXPECT_EQ(HexToBytes("0102030405", buf, 4), 0);
    EXPECT_EQ(Bytes(buf, buf + 6), (Bytes{0, 0, 0, 0, 0x01, 0x00}));

    // Only the bytes given are written; a missing field leaves the word; too many zero it.
    uint32_t word = 0xAABBCCDD;
    const std::tuple<const char*, int, uint32_t> reads[] = {
        {"<W>{01}", 1, 0xAABBCC01}, {"<X>{01}", 0, 0xAABBCC01}, {"<W>{0102030405}", 0, 0}};
    for (const auto& [text, found, after] : reads) {
        EXPECT_EQ(ReadTaggedU32(text, "W", word), found) << text;
        EXPECT_EQ(word, after) << text;
    }
}

TEST(TaggedValue, AccessorsMakeRoomBeforeTheyReadAndCopiesOwnTheirBytes) {
    // Too few bytes for what an accessor asks: the value first becomes a zero or current one of its type.
    CTaggedValue shortWord(TaggedFill{0xFF, 2}), wordAsText(uint32_t(0x41414141)), noTime(TaggedFill{0xFF, 15});
    EXPECT_EQ(*shortWord.AsWord(), 0);
    EXPECT_EQ(wordAsText.AsText(), "");
    EXPECT_GE(noTime.AsDateTime()->year, 2024);
    EXPECT_EQ(std::tuple(shortWord.Size(), wordAsText.Size(), noTime.Size()), std::tuple(4u, 2001u, 16u));

    CTaggedValue a(uint32_t(7)), b(a);
    *b.AsUnsignedWord() = 8;
    EXPECT_EQ(*a.AsUnsignedWord(), 7u) << "copies own their bytes";
}

TEST(TaggedStore, WritesRebuildTheCachedValueAndTrackRealChanges) {
    CTaggedValueStore store;
    ASSERT_EQ(store.Declare("b", 9, 0, 0), 1);
    const uint8_t ff = 0xFF;
    ASSERT_EQ(store.SetBytes("b", &ff, 1), 1);
    EXPECT_EQ(WordOf(store, "b"), 255u) << "a byte entry reads zero-extended";
    EXPECT_EQ(store.SetBytes("b", "12", 2), 0);

    CTaggedValueStore tracked;
    ASSERT_EQ(tracked.Declare("local", 1, kTaggedLocal, 0), 1);
    ASSERT_EQ(tracked.Declare("x", 1, 0, 0), 1);
    ASSERT_EQ(tracked.SetWord("local", 5), 1);
    tracked.SetTrackChanges(false);
    ASSERT_EQ(tracked.SetWord("x", 1), 1);
    EXPECT_FALSE(tracked.Modified());
    tracked.SetTrackChanges(true);
    ASSERT_EQ(tracked.SetValue("x", CTaggedValue(uint32_t(2))), 1);
    EXPECT_TRUE(tracked.Modified());
    tracked.Lock();
    EXPECT_TRUE(tracked.Find("x")->changed && !tracked.Find("local")->changed);
    tracked.Unlock();
}

TEST(TaggedStore, SetFromHexAndGetAsHex) {
    CTaggedValueStore store, zeros;
    ASSERT_EQ(store.Declare("x", 1, 0, 0), 1);
    std::string out;
    ASSERT_EQ(store.SetWord("x", 0x04030201), 1);
    EXPECT_EQ(store.GetAsHex("x", out, false), 1);
    EXPECT_EQ(out, "01020304");
    EXPECT_EQ(store.SetFromHex("x", "A", false, true, true), 1);
    EXPECT_EQ(StateOf(store, "x").length, 0u) << "a single digit sets length 0";
    EXPECT_EQ(store.SetFromHex("x", "0102030405", false, true, true), 0) << "more bytes than the capacity";

    // Creating makes a byte block of the text's size and is a change even when the bytes stay zero.
    EXPECT_EQ(store.SetFromHex("new", "0AFF00", true, true, true), 1);
    EXPECT_EQ(StateOf(store, "new").data, (Bytes{0x0A, 0xFF, 0x00})) << "capacity 3";
    EXPECT_EQ(zeros.SetFromHex("z", "0000", true, true, true), 1);
    EXPECT_TRUE(zeros.Modified());
}

TEST(TaggedStore, ExportAndImportSkipLocalNotExchangedAndUnnamedEntries) {
    CTaggedValueStore store;
    for (const char* name : {"W", "T", "X", "A", "AB"}) ASSERT_EQ(store.Declare(name, *name == 'T' ? 3 : 1, 0, 0), 1);
    ASSERT_EQ(store.Declare("L", 1, kTaggedLocal, 0), 1);
    ASSERT_EQ(store.Declare("H", 1, kTaggedNotExchanged, 0), 1);
    ASSERT_EQ(store.Declare("", 1, 0, 0), 1);
    std::string out;
    const uint8_t start[4] = {0, 0x11, 0x22, 0x33};
    store.SetTrackChanges(false);
    ASSERT_EQ(store.SetBytes("X", start, 4), 1);
    store.SetTrackChanges(true);
    EXPECT_EQ(store.ImportTagged("<X>{FF}", false), 1);
    EXPECT_EQ(StateOf(store, "X").data, (Bytes{0xFF, 0x11, 0x22, 0x33})) << "one byte into a 4-byte entry";

    EXPECT_EQ(store.ImportTagged("<AB>{02000000}<A>{01000000}<L>{05}<H>{05}<>{05}<Unknown>{07}", true), 1);
    const std::pair<const char*, uint32_t> words[] = {{"A", 1}, {"AB", 2}, {"L", 0}, {"H", 0}, {"", 0}};
    for (auto [name, word] : words) EXPECT_EQ(WordOf(store, name), word) << name;
    for (const char* name : {"L", "H", ""}) ASSERT_EQ(store.SetWord(name, 1), 1);
    ASSERT_EQ(store.SetBytes("T", "a<b", 4), 1);
    ASSERT_EQ(store.SetWord("W", 0x12345678), 1);
    EXPECT_EQ(store.ExportTagged(out, true), 1);
    EXPECT_EQ(out, "<W>{78563412}<T>{613C6200}<X>{FF}<A>{01000000}<AB>{02000000}");

    // Another store of the same declarations takes a text back, its braces included.
    CTaggedValueStore from, to;
    for (auto* s : {&from, &to}) ASSERT_EQ(s->Declare("v", 3, 0, 0), 1);
    ASSERT_EQ(from.SetValue("v", CTaggedValue(std::string_view("front {door}"))), 1);
    std::string record;
    from.ExportTagged(record, false);
    to.ImportTagged(record, true);
    EXPECT_EQ(to.GetValue("v").AsText(), "front {door}");
}

TEST(TaggedStore, WalksStopAfter999Entries) {
    CTaggedValueStore store;
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(store.Declare("e" + std::to_string(i), 9, 0, 0), 1);
    std::string out;
    store.ExportTagged(out, false);
    EXPECT_NE(out.find("<e998>{}"), std::string::npos);
    EXPECT_EQ(out.find("<e999>"), std::string::npos);
    store.ImportTagged("<e998>{01}<e999>{01}", true);
    EXPECT_EQ(std::tuple(WordOf(store, "e998"), WordOf(store, "e999")), std::tuple(1u, 0u));
}
