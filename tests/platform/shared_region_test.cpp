#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>

#include "platform/SharedRegion.h"
#include "support/PeerProcess.h"

using namespace corvanta::platform;
using corvanta::test::PeerProcess;

namespace {

std::string Unique(const std::string& what) { return what + " " + std::to_string(getpid()); }

bool ObjectExists(const std::string& name) {
    struct stat st{};
    return stat(("/dev/shm" + SharedRegion::ObjectName(name)).c_str(), &st) == 0;
}

}  // namespace

TEST(SharedRegion, NewRegionIsZeroedAndPrivateToTheUser) {
    std::string name = Unique("region zero");
    auto r = SharedRegion::Open(name, 5000);
    ASSERT_TRUE(r) << r.Error().Message();
    EXPECT_FALSE(r.Value().Existed());
    auto* p = static_cast<unsigned char*>(r.Value().Data());
    for (size_t i = 0; i < 5000; ++i) ASSERT_EQ(p[i], 0) << i;
    struct stat st{};
    ASSERT_EQ(stat(("/dev/shm" + SharedRegion::ObjectName(name)).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(SharedRegion, TwoOpenersShareBytesAndTheSecondSeesExisted) {
    std::string name = Unique("region share");
    auto a = SharedRegion::Open(name, 64);
    auto b = SharedRegion::Open(name, 64);
    ASSERT_TRUE(a && b);
    EXPECT_TRUE(b.Value().Existed());
    std::strcpy(static_cast<char*>(a.Value().Data()), "hello");
    EXPECT_STREQ(static_cast<char*>(b.Value().Data()), "hello");
}

TEST(SharedRegion, DisappearsWhenTheLastUserCloses) {
    std::string name = Unique("region last");
    auto a = SharedRegion::Open(name, 64);
    auto b = SharedRegion::Open(name, 64);
    ASSERT_TRUE(a && b);
    a.Value().Close();
    EXPECT_TRUE(ObjectExists(name));
    EXPECT_TRUE(SharedRegion::InUse(name));
    b.Value().Close();
    EXPECT_FALSE(ObjectExists(name));
    auto c = SharedRegion::Open(name, 64);
    ASSERT_TRUE(c);
    EXPECT_FALSE(c.Value().Existed());
}

TEST(SharedRegion, SmallerViewOfABiggerRegionWorksLargerFails) {
    std::string name = Unique("region sizes");
    auto big = SharedRegion::Open(name, 1000);
    ASSERT_TRUE(big);
    static_cast<char*>(big.Value().Data())[10] = 'x';
    auto small = SharedRegion::Open(name, 68, SharedRegion::Mode::OpenExisting);
    ASSERT_TRUE(small);
    EXPECT_EQ(static_cast<char*>(small.Value().Data())[10], 'x');
    auto bigger = SharedRegion::Open(name, 1001);
    ASSERT_FALSE(bigger);
    EXPECT_EQ(bigger.Error().error, EINVAL);
}

TEST(SharedRegion, OpenExistingNeverCreates) {
    auto r = SharedRegion::Open(Unique("region absent"), 68, SharedRegion::Mode::OpenExisting);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.Error().error, ENOENT);
    EXPECT_FALSE(ObjectExists(Unique("region absent")));
}

TEST(SharedRegion, AnyCharactersAndLengthsMakeDistinctNames) {
    std::string slashy = Unique("Cam\\01 / Some  Name\\x");
    std::string similar = Unique("Cam 01 / Some  Name x");
    std::string longName = Unique(std::string(2000, 'n'));
    auto a = SharedRegion::Open(slashy, 16);
    auto b = SharedRegion::Open(similar, 16);
    auto c = SharedRegion::Open(longName, 16);
    ASSERT_TRUE(a && b && c);
    EXPECT_FALSE(b.Value().Existed());
    EXPECT_FALSE(c.Value().Existed());
    EXPECT_NE(SharedRegion::ObjectName(slashy), SharedRegion::ObjectName(similar));
    EXPECT_LT(SharedRegion::ObjectName(longName).size(), 255u);
    EXPECT_EQ(SharedRegion::Open("", 16).Ok(), true);
    EXPECT_FALSE(SharedRegion::Open(Unique("zero"), 0));
}

TEST(SharedRegion, SharedWithAnotherProcess) {
    std::string name = Unique("region peer");
    PeerProcess peer(PLATFORM_PEER, {"region", name, "256", "171"});
    ASSERT_EQ(peer.ReadLine(), "ready new");
    auto r = SharedRegion::Open(name, 256);
    ASSERT_TRUE(r);
    EXPECT_TRUE(r.Value().Existed());
    EXPECT_EQ(static_cast<unsigned char*>(r.Value().Data())[255], 171);
}

TEST(SharedRegion, LeftoverOfAKilledProcessDoesNotPoisonTheNextRun) {
    std::string name = Unique("region leftover");
    {
        PeerProcess peer(PLATFORM_PEER, {"region", name, "256", "99"});
        ASSERT_EQ(peer.ReadLine(), "ready new");
        peer.Kill();
    }
    EXPECT_TRUE(ObjectExists(name));  // nobody removed it
    EXPECT_FALSE(SharedRegion::InUse(name));
    auto r = SharedRegion::Open(name, 256);
    ASSERT_TRUE(r);
    EXPECT_FALSE(r.Value().Existed());
    EXPECT_EQ(static_cast<unsigned char*>(r.Value().Data())[0], 0);
}
