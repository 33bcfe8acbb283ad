// The answer side of the channel without HTTP: what becomes of a body the
// recorder (or something pretending to be it) sends.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "RemoteTestSupport.h"
#include "imaging/JpegImage.h"
#include "imaging/JpegTestSupport.h"
#include "remote/AnswerWriter.h"

namespace corvanta {
namespace {

using test::RecordBody;

// An answer region of `capacity` data bytes, as a filter makes it.
class Region {
public:
    explicit Region(uint32_t capacity) : m_words((capacity + kIcpOverhead + 3) / 4, 0), m_capacity(capacity) {
        Record()->capacity = capacity;
    }
    IcpRecord* Record() { return reinterpret_cast<IcpRecord*>(m_words.data()); }
    uint32_t Capacity() const { return m_capacity; }
    // Header and data, the part a failed answer must leave alone.
    std::vector<uint8_t> Snapshot() {
        const auto* bytes = reinterpret_cast<const uint8_t*>(m_words.data());
        return std::vector<uint8_t>(bytes, bytes + kIcpHeaderSize + std::min(Record()->dataLength, m_capacity));
    }
    int32_t Write(CAnswerWriter& writer, const std::string& body) {
        return writer.Write(reinterpret_cast<const uint8_t*>(body.data()), uint32_t(body.size()), Record(), m_capacity);
    }

private:
    std::vector<uint32_t> m_words;
    uint32_t m_capacity;
};

IcpHeader Header(uint32_t dataLength, uint32_t encoding = kIcpEncodingRaw) {
    IcpHeader header{};
    header.status = kIcpStatusDone;
    header.reserved[2] = 0xA5A5A5A5;
    header.kind = kIcpCommandAnswer;
    header.code = 6;
    header.param1 = 11;
    header.param2 = 22;
    header.param3 = 40;
    header.param4 = 44;
    header.dataLength = dataLength;
    header.capacity = 0xDEAD;
    header.encoding = encoding;
    return header;
}

std::string Jpeg(int width, int height, int quality = 90) {
    test::EncodeOptions options;
    options.width = width;
    options.height = height;
    options.quality = quality;
    const std::vector<uint8_t> bytes = test::EncodeJpeg(options, test::TestPattern(width, height));
    return std::string(bytes.begin(), bytes.end());
}

std::string PictureBody(const std::string& jpeg) {
    return RecordBody(Header(uint32_t(jpeg.size()), kIcpEncodingPicture), jpeg);
}

std::vector<uint8_t> Decoded(const std::string& jpeg, uint32_t capacity) {
    std::vector<uint8_t> pixels(capacity);
    uint32_t size = uint32_t(jpeg.size());
    EXPECT_EQ(1, DecodeJpeg(reinterpret_cast<const uint8_t*>(jpeg.data()), size, pixels.data(), capacity));
    pixels.resize(size);
    return pixels;
}

TEST(AnswerWriter, PlainRecordIsCopiedWithItsSpareBytesAndTheRegionsCapacityKept) {
    Region region(64);
    CAnswerWriter writer;
    std::string body = RecordBody(Header(5), "hello");
    body.replace(kIcpHeaderSize + 5, 4, "SPAR");
    ASSERT_EQ(1, region.Write(writer, body));
    const IcpRecord* answer = region.Record();
    EXPECT_EQ(kIcpStatusDone, answer->status);
    EXPECT_EQ(0xA5A5A5A5u, answer->reserved[2]);
    EXPECT_EQ(uint32_t(kIcpCommandAnswer), answer->kind);
    EXPECT_EQ(6u, answer->code);
    EXPECT_EQ(11u, answer->param1);
    EXPECT_EQ(22u, answer->param2);
    EXPECT_EQ(40u, answer->param3);
    EXPECT_EQ(44u, answer->param4);
    EXPECT_EQ(5u, answer->dataLength);
    EXPECT_EQ(kIcpEncodingRaw, answer->encoding);
    EXPECT_EQ(64u, answer->capacity);
    EXPECT_EQ("helloSPAR", std::string(reinterpret_cast<const char*>(answer->data), 9));
}

TEST(AnswerWriter, PictureIsDecodedIntoTheDataWithEncodingTwoKept) {
    Region region(4 * 4 * 3);
    CAnswerWriter writer;
    const std::string jpeg = Jpeg(2, 2);
    ASSERT_EQ(1, region.Write(writer, PictureBody(jpeg)));
    const IcpRecord* answer = region.Record();
    EXPECT_EQ(12u, answer->dataLength);
    EXPECT_EQ(kIcpEncodingPicture, answer->encoding);
    EXPECT_EQ(40u, answer->param3);
    EXPECT_EQ(48u, answer->capacity);
    EXPECT_EQ(Decoded(jpeg, 48), std::vector<uint8_t>(answer->data, answer->data + 12));
}

TEST(AnswerWriter, PictureThatFillsTheCapacityExactlyFits) {
    Region region(8 * 8 * 3);
    CAnswerWriter writer;
    ASSERT_EQ(1, region.Write(writer, PictureBody(Jpeg(8, 8))));
    EXPECT_EQ(192u, region.Record()->dataLength);
}

// Bodies that are refused leave header and data exactly as they were.
class AnswerWriterRefusal : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(1, region.Write(writer, RecordBody(Header(7), "earlier")));
        before = region.Snapshot();
    }
    void ExpectRefused(const std::string& body, const char* what) {
        EXPECT_EQ(0, region.Write(writer, body)) << what;
        EXPECT_EQ(before, region.Snapshot()) << what;
    }

    Region region{256};
    CAnswerWriter writer;
    std::vector<uint8_t> before;
};

TEST_F(AnswerWriterRefusal, BodiesThatAreNoWholeRecord) {
    ExpectRefused("", "empty");
    ExpectRefused(std::string(63, '\x01'), "shorter than a header");
    std::string shortData = RecordBody(Header(100), std::string(100, 'x'));
    shortData.resize(kIcpHeaderSize + 99);
    ExpectRefused(shortData, "one byte less data than the header says");
    ExpectRefused(RecordBody(Header(0xFFFFFFFF), "x"), "a length that wraps");
    std::string picture = PictureBody(Jpeg(4, 4));
    picture.resize(picture.size() - 10);
    ExpectRefused(picture, "picture cut inside its data");
    EXPECT_EQ(0, writer.Write(nullptr, 100, region.Record(), region.Capacity()));
}

TEST_F(AnswerWriterRefusal, DataLargerThanTheAnswerRegionIsRefusedNotCut) {
    ExpectRefused(RecordBody(Header(257), std::string(257, 'y')), "data one byte over the capacity");
    ExpectRefused(PictureBody(Jpeg(10, 9)), "picture of 270 bytes");
}

TEST_F(AnswerWriterRefusal, PicturesThatDoNotDecode) {
    ExpectRefused(RecordBody(Header(0, kIcpEncodingPicture), ""), "picture without data");
    ExpectRefused(RecordBody(Header(40, kIcpEncodingPicture), std::string(40, 'j')), "not a JPEG");
    const std::string jpeg = Jpeg(8, 8);
    ExpectRefused(PictureBody(jpeg.substr(0, jpeg.size() / 2)), "truncated JPEG");
}

TEST(AnswerWriter, BytesAfterTheRecordAreIgnored) {
    Region region(16);
    CAnswerWriter writer;
    std::string body = RecordBody(Header(4), "abcd") + std::string(1000, 'z');
    ASSERT_EQ(1, region.Write(writer, body));
    EXPECT_EQ(4u, region.Record()->dataLength);
    EXPECT_EQ("abcd", std::string(reinterpret_cast<const char*>(region.Record()->data), 4));
    EXPECT_NE('z', region.Record()->data[8]);
    // A record with fewer than its 4 spare bytes is still whole.
    std::string noSpare = RecordBody(Header(2), "ef");
    noSpare.resize(kIcpHeaderSize + 2);
    ASSERT_EQ(1, region.Write(writer, noSpare));
    EXPECT_EQ("ef", std::string(reinterpret_cast<const char*>(region.Record()->data), 2));
}

// A JPEG whose data breaks off half way: decoding writes the top rows into
// the area and then fails.
std::string HalfJpeg(int width, int height) {
    const std::string jpeg = Jpeg(width, height, 95);
    return jpeg.substr(0, jpeg.size() * 2 / 3);
}

TEST(AnswerWriter, PictureFailingHalfWayIsUndoneBackToTheEarlierPicture) {
    const uint32_t capacity = 64 * 64 * 3;
    const std::string broken = HalfJpeg(64, 64);
    // Precondition: the broken picture does overwrite part of the area before failing.
    std::vector<uint8_t> probe(capacity, 0x5A);
    uint32_t size = uint32_t(broken.size());
    ASSERT_EQ(0, DecodeJpeg(reinterpret_cast<const uint8_t*>(broken.data()), size, probe.data(), capacity));
    ASSERT_NE(std::vector<uint8_t>(capacity, 0x5A), probe);

    Region region(capacity);
    CAnswerWriter writer;
    const std::string first = Jpeg(40, 30);
    ASSERT_EQ(1, region.Write(writer, PictureBody(first)));
    const std::vector<uint8_t> before = region.Snapshot();
    EXPECT_EQ(0, region.Write(writer, PictureBody(broken)));
    EXPECT_EQ(before, region.Snapshot());
    EXPECT_EQ(Decoded(first, capacity), std::vector<uint8_t>(region.Record()->data, region.Record()->data + 3600));

    // And the writer goes on normally afterwards.
    ASSERT_EQ(1, region.Write(writer, PictureBody(Jpeg(64, 64))));
    EXPECT_EQ(capacity, region.Record()->dataLength);
}

TEST(AnswerWriter, PictureFailingHalfWayIsUndoneBackToTheEarlierPlainData) {
    const uint32_t capacity = 64 * 64 * 3;
    Region region(capacity);
    CAnswerWriter writer;
    const std::string data(3000, 'd');
    ASSERT_EQ(1, region.Write(writer, RecordBody(Header(3000), data)));
    const std::vector<uint8_t> before = region.Snapshot();
    EXPECT_EQ(0, region.Write(writer, PictureBody(HalfJpeg(64, 64))));
    EXPECT_EQ(before, region.Snapshot());
}

TEST(AnswerWriter, FirstAnswerFailingHalfWayLeavesWhatTheRegionHeldBefore) {
    const uint32_t capacity = 64 * 64 * 3;
    Region region(capacity);
    IcpRecord* answer = region.Record();
    answer->kind = 99;
    answer->dataLength = 500;
    std::memset(answer->data, 0x77, 500);
    const std::vector<uint8_t> before = region.Snapshot();
    CAnswerWriter writer;
    EXPECT_EQ(0, region.Write(writer, PictureBody(HalfJpeg(64, 64))));
    EXPECT_EQ(before, region.Snapshot());
}

}  // namespace
}  // namespace corvanta
