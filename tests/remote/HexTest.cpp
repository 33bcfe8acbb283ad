#include <gtest/gtest.h>

#include "remote/Hex.h"

namespace corvanta {
namespace {

TEST(Hex, EncodesTwoUpperCaseDigitsPerByteWithoutSeparators) {
    const uint8_t bytes[] = {0x00, 0x0A, 0x7F, 0xAB, 0xFF};
    EXPECT_EQ("000A7FABFF", HexEncode(bytes, sizeof bytes));
    EXPECT_EQ("", HexEncode(bytes, 0));
}

TEST(Hex, AppendKeepsWhatIsThere) {
    std::string text = "Data=";
    const uint8_t bytes[] = {0xC3, 0x01};
    AppendHex(text, bytes, sizeof bytes);
    EXPECT_EQ("Data=C301", text);
}

TEST(Hex, HeaderSizedRecordBecomes136Digits) {
    const uint8_t record[68] = {};
    const std::string text = HexEncode(record, sizeof record);
    EXPECT_EQ(136u, text.size());
    EXPECT_EQ(std::string(136, '0'), text);
}

TEST(Hex, EveryByteValueSurvivesTheRoundTrip) {
    std::vector<uint8_t> bytes(256);
    for (int i = 0; i < 256; ++i) {
        bytes[i] = static_cast<uint8_t>(255 - i);
    }
    EXPECT_EQ(bytes, HexDecode(HexEncode(bytes.data(), bytes.size())));
}

TEST(Hex, DecodingAcceptsLowerCase) {
    EXPECT_EQ((std::vector<uint8_t>{0xAB, 0xCD}), HexDecode("abCd"));
}

TEST(Hex, OddLastDigitIsIgnored) {
    EXPECT_EQ((std::vector<uint8_t>{0x12, 0x34}), HexDecode("12345"));
    EXPECT_TRUE(HexDecode("7").empty());
}

TEST(Hex, DecodingStopsAtTheFirstPairThatIsNotHex) {
    EXPECT_EQ((std::vector<uint8_t>{0x01}), HexDecode("01G2FF"));
    EXPECT_EQ((std::vector<uint8_t>{0x01}), HexDecode("01 2FF"));
}

TEST(Hex, DecodingNeverWritesPastCapacity) {
    uint8_t out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(2u, HexDecode("0102030405", out, 2));
    EXPECT_EQ(0x01, out[0]);
    EXPECT_EQ(0x02, out[1]);
    EXPECT_EQ(0xEE, out[2]);
    EXPECT_EQ(0u, HexDecode("0102", out, 0));
}

}  // namespace
}  // namespace corvanta
