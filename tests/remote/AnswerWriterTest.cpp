#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "RemoteTestSupport.h"
#include "imaging/JpegImage.h"
#include "imaging/JpegTestSupport.h"
#include "remote/AnswerWriter.h"

namespace corvanta {
namespace {

using test::Header;
using test::RecordBody;

// An answer region of `capacity` data bytes, followed by guard words.
class Region {
public:
    explicit Region(uint32_t capacity) : m_words((capacity + kIcpOverhead) / 4 + 16, 0), m_capacity(capacity) {
        std::fill(m_words.end() - 16, m_words.end(), 0xA5A5A5A5);
        Record()->capacity = capacity;
    }
    IcpRecord* Record() { return reinterpret_cast<IcpRecord*>(m_words.data()); }
    // Header and data: what a refused body must leave alone.
    std::vector<uint8_t> Snapshot() {
        const auto* bytes = reinterpret_cast<const uint8_t*>(m_words.data());
        return std::vector<uint8_t>(bytes, bytes + kIcpHeaderSize + std::min(Record()->dataLength, m_capacity));
    }
    bool GuardIntact() const {
        return std::all_of(m_words.end() - 16, m_words.end(), [](uint32_t w) { return w == 0xA5A5A5A5; });
    }
    int32_t Write(CAnswerWriter& writer, const std::string& body) {
        return writer.Write(reinterpret_cast<const uint8_t*>(body.data()), uint32_t(body.size()), Record(), m_capacity);
    }

private:
    std::vector<uint32_t> m_words;
    uint32_t m_capacity;
};

std::string Jpeg(int width, int height) {
    const std::vector<uint8_t> bytes = test::PatternJpeg(width, height);
    return std::string(bytes.begin(), bytes.end());
}

std::string PictureBody(const std::string& jpeg) {
    return RecordBody(Header(uint32_t(jpeg.size()), kIcpEncodingPicture), jpeg);
}

TEST(AnswerWriter, RecordIsTakenWithItsParamsAndSpareBytesButTheRegionsCapacity) {
    Region region(8 * 8 * 3);
    CAnswerWriter writer;
    // An entry count the data does not hold is carried, not acted on; bytes
    // after the record and its spare bytes are ignored.
    IcpHeader header = Header(5);
    header.param1 = 100000;
    ASSERT_EQ(1, region.Write(writer, RecordBody(header, "hello", "SPAR") + std::string(1000, 'z')));
    const IcpRecord* answer = region.Record();
    header.capacity = 8 * 8 * 3;
    EXPECT_EQ(0, std::memcmp(&header, answer, kIcpHeaderSize));
    EXPECT_STREQ("helloSPAR", std::string(reinterpret_cast<const char*>(answer->data), 10).c_str()) << "and nothing after";
    // A record without its spare bytes is whole all the same.
    ASSERT_EQ(1, region.Write(writer, RecordBody(Header(2), "ef", "")));
    EXPECT_EQ(0, std::memcmp("ef", answer->data, answer->dataLength));
    // A picture that fills the capacity exactly fits.
    ASSERT_EQ(1, region.Write(writer, PictureBody(Jpeg(8, 8))));
    EXPECT_EQ(std::tuple(8u * 8 * 3, kIcpEncodingPicture), std::tuple(answer->dataLength, answer->encoding));
    EXPECT_TRUE(region.GuardIntact());
}

TEST(AnswerWriter, BodiesThatAreNoWholeFittingRecordLeaveTheAnswerAlone) {
    Region region(256);
    CAnswerWriter writer;
    ASSERT_EQ(1, region.Write(writer, RecordBody(Header(7), "earlier")));
    const std::vector<uint8_t> before = region.Snapshot();
    const std::string jpeg = Jpeg(8, 8);
    const std::pair<std::string, const char*> bodies[] = {
        {"", "empty"},
        {std::string(63, '\x01'), "shorter than a header"},
        {RecordBody(Header(100), std::string(99, 'x'), ""), "one byte less data than the header says"},
        {RecordBody(Header(0xFFFFFFFF), "x"), "a length that wraps"},
        {RecordBody(Header(257), std::string(257, 'y')), "data one byte over the capacity"},
        {PictureBody(Jpeg(10, 9)), "picture of 270 bytes once decoded"},
        {RecordBody(Header(40, kIcpEncodingPicture), std::string(40, 'j')), "not a JPEG"},
        {PictureBody(jpeg.substr(0, jpeg.size() / 2)), "truncated JPEG"},
    };
    for (const auto& [body, what] : bodies) {
        EXPECT_EQ(0, region.Write(writer, body)) << what;
        EXPECT_TRUE(before == region.Snapshot() && region.GuardIntact()) << what;
    }
    EXPECT_EQ(0, writer.Write(nullptr, 100, region.Record(), 256));
}

// A picture that breaks off half way has written its top rows when decoding
// fails; the answer must read as before all the same, whatever it held.
TEST(AnswerWriter, PictureFailingHalfWayIsUndone) {
    const uint32_t capacity = 64 * 64 * 3;
    const std::string whole = Jpeg(64, 64), half = whole.substr(0, whole.size() * 2 / 3);
    std::vector<uint8_t> probe(capacity, 0x5A);
    uint32_t size = uint32_t(half.size());
    ASSERT_EQ(0, DecodeJpeg(reinterpret_cast<const uint8_t*>(half.data()), size, probe.data(), capacity));
    ASSERT_NE(std::vector<uint8_t>(capacity, 0x5A), probe) << "the broken picture must write before failing";

    Region region(capacity);
    CAnswerWriter writer;
    ASSERT_EQ(1, region.Write(writer, PictureBody(Jpeg(40, 30))));
    const std::vector<uint8_t> before = region.Snapshot();
    EXPECT_EQ(0, region.Write(writer, PictureBody(half)));
    EXPECT_EQ(before, region.Snapshot());
    ASSERT_EQ(1, region.Write(writer, PictureBody(whole)));
    EXPECT_TRUE(capacity == region.Record()->dataLength && region.GuardIntact());
}

}  // namespace
}  // namespace corvanta
