#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "stores/TaggedRecord.h"

using namespace corvanta;

TEST(TaggedField, ValueBracketsBecomeBlanksKeyStaysAsGiven) {
    EXPECT_EQ(MakeTaggedField("Name", "a<b>c{d}e"), "<Name>{a b c d e}");
    EXPECT_EQ(MakeTaggedField("<k{}>", "}{><"), "<<k{}>>{    }");
    EXPECT_EQ(MakeTaggedField("", ""), "<>{}");
}

TEST(TaggedField, FirstOccurrenceOfTheExactTagWins) {
    const std::string record = MakeTaggedField("A", "1") + MakeTaggedField("AB", "2") + MakeTaggedField("A", "3");
    std::string v;
    EXPECT_EQ(FindTaggedField(record, "A", v), 1);
    EXPECT_EQ(v, "1");
    EXPECT_EQ(FindTaggedField(record, "AB", v), 1);
    EXPECT_EQ(v, "2");
    v = "untouched";
    EXPECT_EQ(FindTaggedField(record, "B", v), 0);
    EXPECT_EQ(v, "untouched");
    EXPECT_EQ(FindTaggedField(record, "a", v), 0) << "keys are case-sensitive";
}

TEST(TaggedField, MissingBracesMeanNoValue) {
    std::string v = "keep";
    EXPECT_EQ(FindTaggedField("<A>", "A", v), 0);
    EXPECT_EQ(FindTaggedField("<A>{12", "A", v), 0);
    EXPECT_EQ(FindTaggedField("<A>12}", "A", v), 0);
    EXPECT_EQ(v, "keep");
    EXPECT_EQ(FindTaggedField("<A>{}", "A", v), 1);
    EXPECT_EQ(v, "");
}

TEST(TaggedField, BracesAreSearchedFromTheTagNotAfterIt) {
    std::string v;
    // The braces of the next field are found when the tag has none of its own.
    EXPECT_EQ(FindTaggedField("<A>x<B>{7}", "A", v), 1);
    EXPECT_EQ(v, "7");
    // A key holding braces finds them inside itself.
    EXPECT_EQ(FindTaggedField("<{k}>{v}", "{k}", v), 1);
    EXPECT_EQ(v, "k");
    v = "keep";
    EXPECT_EQ(FindTaggedField("<}k{>{v}", "}k{", v), 0) << "a '}' before the first '{' leaves no value";
    EXPECT_EQ(v, "keep");
}

TEST(TaggedField, TextEndsAtItsNul) {
    std::string v;
    EXPECT_EQ(FindTaggedField(std::string("<A>{1}\0<B>{2}", 14), "B", v), 0);
    EXPECT_EQ(FindTaggedField(std::string("<A>{1\0}", 8), "A", v), 0);
}

TEST(TaggedHex, PairsAreScannedLikeTheInputFormat) {
    uint8_t buf[6];
    std::memset(buf, 0xEE, sizeof buf);
    EXPECT_EQ(HexToBytes("0aFf 1G.1zzz", buf, sizeof buf), 1);
    EXPECT_EQ(buf[0], 0x0A);
    EXPECT_EQ(buf[1], 0xFF);
    EXPECT_EQ(buf[2], 0x01) << "blank then digit";
    EXPECT_EQ(buf[3], 0x00) << "G is no digit";
    EXPECT_EQ(buf[4], 0x01) << "digit then a non-digit";
    EXPECT_EQ(buf[5], 0x00) << "no digit at all";
    EXPECT_EQ(ScanHexPair('\t', 'c'), 0x0C);
    EXPECT_EQ(ScanHexPair('-', '1'), 0x00);
}

TEST(TaggedHex, OddLastDigitAndShortTextsWriteNothingExtra) {
    uint8_t buf[4] = {9, 9, 9, 9};
    EXPECT_EQ(HexToBytes("123", buf, sizeof buf), 1);
    EXPECT_EQ(buf[0], 0x12);
    EXPECT_EQ(buf[1], 9) << "the odd digit is ignored";
    EXPECT_EQ(HexToBytes("7", buf, sizeof buf), 1);
    EXPECT_EQ(HexToBytes("", buf, 0), 1);
    EXPECT_EQ(buf[0], 0x12);
}

TEST(TaggedHex, TooLongTextZeroesTheBuffer) {
    uint8_t buf[4] = {1, 2, 3, 4};
    EXPECT_EQ(HexToBytes("0102030405", buf, sizeof buf), 0);
    for (uint8_t b : buf) EXPECT_EQ(b, 0);
    uint8_t one = 7;
    EXPECT_EQ(HexToBytes("012", &one, 1), 1) << "1.5 pairs are one pair";
    EXPECT_EQ(one, 1);
}

TEST(TaggedHex, ReadTaggedU32) {
    uint32_t word = 0;
    EXPECT_EQ(ReadTaggedU32("<W>{78563412}", "W", word), 1);
    EXPECT_EQ(word, 0x12345678u);
    word = 0xAABBCCDD;
    EXPECT_EQ(ReadTaggedU32("<W>{01}", "W", word), 1);
    EXPECT_EQ(word, 0xAABBCC01u) << "only the first byte is written";
    word = 0xAABBCCDD;
    EXPECT_EQ(ReadTaggedU32("<W>{0102030405}", "W", word), 0);
    EXPECT_EQ(word, 0u);
    word = 5;
    EXPECT_EQ(ReadTaggedU32("<X>{01}", "W", word), 0);
    EXPECT_EQ(word, 5u) << "a missing field leaves the word";

    uint8_t block[3] = {};
    EXPECT_EQ(ReadTaggedHex(MakeTaggedField("B", "0AFF00"), "B", block, sizeof block), 1);
    EXPECT_EQ(block[1], 0xFF);
}

TEST(TaggedHex, AppendHexIsUpperCaseInMemoryOrder) {
    std::string s = "x";
    uint32_t one = 1;
    AppendHex(s, &one, 4);
    EXPECT_EQ(s, "x01000000");
    const uint8_t bytes[] = {0xAB, 0x0F};
    s.clear();
    AppendHex(s, bytes, 2);
    EXPECT_EQ(s, "AB0F");
}
