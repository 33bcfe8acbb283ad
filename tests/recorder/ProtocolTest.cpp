// The recorder's reading of Message requests: hex, query fields, record
// bounds, and the answer record it writes.

#include "RecorderTestSupport.h"

namespace corvanta::recorder::test {
namespace {

TEST(Hex, RoundTripsEveryByteValueInUpperCase) {
    std::vector<uint8_t> all(256);
    for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
    const std::string hex = encodeHex(all);
    EXPECT_EQ(hex.size(), 512u);
    EXPECT_EQ(hex.substr(0, 6), "000102");
    EXPECT_EQ(hex.substr(508), "FEFF");
    EXPECT_EQ(decodeHex(hex), all);
}

TEST(Hex, AcceptsLowerCaseIgnoresAnOddLastDigitAndRejectsOtherCharacters) {
    EXPECT_EQ(decodeHex("0aFf"), (std::vector<uint8_t>{0x0A, 0xFF}));
    EXPECT_EQ(decodeHex("0AF"), (std::vector<uint8_t>{0x0A}));
    EXPECT_EQ(decodeHex(""), std::vector<uint8_t>{});
    EXPECT_FALSE(decodeHex("0G"));
    EXPECT_FALSE(decodeHex("0A 0B"));
    EXPECT_FALSE(decodeHex("0AZ"));
}

TEST(Query, ReadsTheFieldsAndDecodesEscapes) {
    auto q = parseFilterQuery("Message&SID=ABC&Name=AVIArchive%20Query&Data=0A0b");
    ASSERT_TRUE(q);
    EXPECT_EQ(q->sessionId, "ABC");
    EXPECT_EQ(q->filterName, "AVIArchive Query");
    EXPECT_EQ(q->record, (std::vector<uint8_t>{0x0A, 0x0B}));
    // Raw blanks reach the parser as they are when they were not escaped.
    q = parseFilterQuery("Message&SID=&Name=D: Archive CAM01 x.avi&Data=");
    ASSERT_TRUE(q);
    EXPECT_EQ(q->sessionId, "");
    EXPECT_EQ(q->filterName, "D: Archive CAM01 x.avi");
    EXPECT_TRUE(q->record.empty());
}

TEST(Query, RequiresTheMessageMarkerAndHexData) {
    EXPECT_FALSE(parseFilterQuery("SID=A&Name=B&Data=00"));
    EXPECT_FALSE(parseFilterQuery("Message=1&SID=A&Name=B&Data=00"));
    EXPECT_FALSE(parseFilterQuery("Message&SID=A&Name=B"));
    EXPECT_FALSE(parseFilterQuery("Message&SID=A&Name=B&Data=XY"));
    EXPECT_FALSE(parseFilterQuery(""));
}

TEST(RequestRecordBounds, DataMustLieWithinTheBytesReceived) {
    const std::string full = makeRequestRecord(kIcpCommand, 1, 2, 3, textData("CAM01"));
    auto bytes = [](const std::string& s) { return std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(s.data()), s.size()); };
    auto rec = parseRequestRecord(bytes(full));
    ASSERT_TRUE(rec);
    EXPECT_EQ(rec->header.code, 1u);
    EXPECT_EQ(rec->header.param1, 2u);
    EXPECT_EQ(rec->header.param2, 3u);
    EXPECT_EQ(rec->text(), "CAM01");
    EXPECT_TRUE(parseRequestRecord(bytes(full.substr(0, full.size() - 4)))) << "spare bytes may be missing";
    EXPECT_FALSE(parseRequestRecord(bytes(full.substr(0, full.size() - 5))));
    EXPECT_FALSE(parseRequestRecord(bytes(full.substr(0, 63))));
    EXPECT_TRUE(parseRequestRecord(bytes(full.substr(0, 64).replace(52, 4, std::string(4, '\0')))));
    // A data length near 2^32 does not wrap the bounds check.
    std::string huge = full;
    huge.replace(52, 4, std::string(4, '\xFF'));
    EXPECT_FALSE(parseRequestRecord(bytes(huge)));
}

TEST(RequestRecordText, StopsAtTheFirstNulOrTheEndOfTheData) {
    const std::string unterminated = makeRequestRecord(kIcpCommand, 1, 0, 0, std::vector<uint8_t>{'A', 'B'});
    auto rec = parseRequestRecord({reinterpret_cast<const uint8_t*>(unterminated.data()), unterminated.size()});
    ASSERT_TRUE(rec);
    EXPECT_EQ(rec->text(), "AB");
}

TEST(AnswerRecord, CarriesCodeAndReservedWordsAndTheSpareBytes) {
    IcpHeader request{};
    request.code = 6;
    request.reserved[2] = 0xDEADBEEF;
    Answer a(request);
    a.header.param1 = 2;
    a.data = "xyz";
    const std::string body = a.body();
    ASSERT_EQ(body.size(), kIcpOverhead + 3);
    auto d = decodeAnswer(body);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->header.status, kIcpStatusDone);
    EXPECT_EQ(d->header.kind, kIcpCommandAnswer);
    EXPECT_EQ(d->header.code, 6u);
    EXPECT_EQ(d->header.param1, 2u);
    EXPECT_EQ(d->header.dataLength, 3u);
    EXPECT_EQ(d->header.reserved[2], 0xDEADBEEFu);
    EXPECT_EQ(d->data, "xyz");
    EXPECT_EQ(body.substr(kIcpHeaderSize + 3), std::string(4, '\0'));
}

}  // namespace
}  // namespace corvanta::recorder::test
