#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <future>
#include <thread>

#include "platform/SharedRegion.h"
#include "platform/Tick.h"
#include "stores/CLockedPtrArray.h"
#include "stores/CLockedPtrMap.h"
#include "stores/CNamedMutex.h"
#include "stores/CRWSMemory.h"
#include "stores/CSMemory.h"
#include "stores/CYSMemory.h"

using namespace corvanta;

namespace {
std::string Unique(const std::string& what) { return what + " " + std::to_string(getpid()); }
}  // namespace

TEST(CNamedMutex, UnnamedFromConstructionNamedAfterCreate) {
    CNamedMutex m;
    EXPECT_TRUE(m.HasHandle());
    EXPECT_EQ(m.Lock(), 1);
    EXPECT_EQ(m.Unlock(), 1);
    int existed = -1;
    ASSERT_EQ(m.Create(Unique("named one").c_str(), &existed), 1);
    EXPECT_EQ(existed, 0);
    CNamedMutex same;
    ASSERT_EQ(same.Create(Unique("named one").c_str(), &existed), 1);
    EXPECT_EQ(existed, 1);
    ASSERT_EQ(m.Lock(), 1);
    auto other = std::async(std::launch::async, [&] { return same.Lock(20); });
    EXPECT_EQ(other.get(), 0);
    m.Unlock();
}

TEST(CNamedMutex, BackslashesBecomeBlanks) {
    CNamedMutex a, b;
    int existed = 0;
    ASSERT_EQ(a.Create(Unique("Cam\\01").c_str()), 1);
    EXPECT_EQ(a.Name(), Unique("Cam 01"));
    ASSERT_EQ(b.Create(Unique("Cam 01").c_str(), &existed), 1);
    EXPECT_EQ(existed, 1);
}

TEST(CNamedMutex, WithoutHandleEverythingFails) {
    CNamedMutex m;
    EXPECT_EQ(m.Close(), 1);
    EXPECT_EQ(m.Lock(0), 0);
    EXPECT_EQ(m.Unlock(), 0);
    EXPECT_EQ(m.Close(), 0);
}

TEST(CNamedMutex, AbandonedLockReportsZeroThenWorks) {
    CNamedMutex m;
    ASSERT_EQ(m.Create(Unique("abandoned").c_str()), 1);
    std::thread([&] { m.Lock(); }).join();
    EXPECT_EQ(m.Lock(500), 0);
    EXPECT_EQ(m.Lock(500), 1);
    m.Unlock();
}

TEST(LockedContainers, ArrayKeepsOrderAndNeverFreesItsPointers) {
    CLockedPtrArray a;
    int x = 1, y = 2, z = 3;
    ASSERT_EQ(a.Lock(), 1);
    EXPECT_EQ(a.Add(&x), 0u);
    EXPECT_EQ(a.Add(&y), 1u);
    EXPECT_EQ(a.Add(&z), 2u);
    a.RemoveAt(1);
    EXPECT_EQ(a.GetSize(), 2u);
    EXPECT_EQ(a.GetAt(1), &z);
    EXPECT_EQ(a.GetAt(7), nullptr);
    a.RemoveAt(7);
    a.RemoveAll();
    EXPECT_EQ(a.GetSize(), 0u);
    a.Unlock();
    EXPECT_EQ(z, 3);
}

TEST(LockedContainers, MapIsExactAndCaseSensitive) {
    CLockedPtrMap m;
    int a = 1, b = 2;
    ASSERT_EQ(m.Lock(), 1);
    m.SetAt("Key", &a);
    m.SetAt("key", &b);
    void* out = nullptr;
    EXPECT_TRUE(m.Lookup("Key", out));
    EXPECT_EQ(out, &a);
    EXPECT_TRUE(m.Lookup("key", out));
    EXPECT_EQ(out, &b);
    EXPECT_FALSE(m.Lookup("KEY", out));
    m.SetAt("Key", &b);
    EXPECT_EQ(m.GetCount(), 2u);
    EXPECT_TRUE(m.RemoveKey("key"));
    EXPECT_FALSE(m.RemoveKey("key"));
    m.RemoveAll();
    EXPECT_EQ(m.GetCount(), 0u);
    m.Unlock();
}

TEST(LockedContainers, LockExcludesOtherThreads) {
    CLockedPtrArray a;
    ASSERT_EQ(a.Lock(), 1);
    auto other = std::async(std::launch::async, [&] { return a.Lock(20); });
    EXPECT_EQ(other.get(), 0);
    a.Unlock();
    auto later = std::async(std::launch::async, [&] {
        int r = a.Lock(1000);
        a.Unlock();
        return r;
    });
    EXPECT_EQ(later.get(), 1);
}

TEST(CSMemory, TwoObjectsOfOneNameShareBytes) {
    std::string name = Unique("smem share");
    CSMemory a, b;
    int existed = -1;
    ASSERT_EQ(a.Create(520, name.c_str(), &existed), 1);
    EXPECT_EQ(existed, 0);
    ASSERT_EQ(b.Create(520, name.c_str(), &existed), 1);
    EXPECT_EQ(existed, 1);
    a.Lock();
    std::strcpy(static_cast<char*>(a.Data()), "written by a");
    a.Unlock();
    EXPECT_STREQ(static_cast<char*>(b.Data()), "written by a");
}

TEST(CSMemory, CloseWithoutCreateReturnsZeroAndLeavesTheMutexFree) {
    CSMemory never;
    EXPECT_EQ(never.Close(), 0);
    auto other = std::async(std::launch::async, [&] { return never.Lock(20); });
    EXPECT_EQ(other.get(), 1);
    // The other thread ended holding it; a later lock still gets through.
    CSMemory m;
    ASSERT_EQ(m.Create(16, Unique("smem close").c_str()), 1);
    EXPECT_EQ(m.Close(), 1);
    EXPECT_EQ(m.Close(), 0);
    EXPECT_EQ(m.Data(), nullptr);
}

TEST(CSMemory, OpenNeverCreates) {
    CSMemory m;
    EXPECT_EQ(m.Open(64, Unique("smem absent").c_str()), 0);
    EXPECT_EQ(m.Data(), nullptr);
}

TEST(CYSMemory, CreateFailsWhileTheFirstMutexIsHeldTooLong) {
    std::string name = Unique("ysmem busy");
    CYSMemory holder;
    ASSERT_EQ(holder.Create(100, name.c_str()), 1);
    ASSERT_EQ(holder.Lock(true), 1);
    auto late = std::async(std::launch::async, [&] {
        CYSMemory other;
        uint64_t start = platform::MonotonicMs();
        int r = other.Create(100, name.c_str());
        return std::make_pair(r, std::make_pair(platform::MonotonicMs() - start, other.Data()));
    });
    auto [result, rest] = late.get();
    EXPECT_EQ(result, 0);
    EXPECT_GE(rest.first, 500u);
    EXPECT_EQ(rest.second, nullptr);
    holder.Unlock();
}

TEST(CYSMemory, CallersAndHandlerUseDifferentMutexes) {
    std::string name = Unique("ysmem two");
    CYSMemory caller, handler;
    ASSERT_EQ(caller.Create(100, name.c_str()), 1);
    ASSERT_EQ(handler.Create(100, name.c_str()), 1);
    ASSERT_EQ(caller.Lock(true), 1);
    auto second = std::async(std::launch::async, [&] {
        int r = handler.Lock(false, 100);
        handler.Unlock();
        return r;
    });
    EXPECT_EQ(second.get(), 1);
    auto first = std::async(std::launch::async, [&] { return handler.Lock(true, 30); });
    EXPECT_EQ(first.get(), 0);
    caller.Unlock();
    EXPECT_EQ(caller.Close(), 1);
    EXPECT_EQ(caller.Close(), 0);
}

TEST(CRWSMemory, HeaderAndDataAreSharedAndNewRegionsGetTheFirstWord) {
    std::string name = Unique("rws header");
    CRWSMemory a, b;
    int existed = -1;
    ASSERT_EQ(a.Create(228, name.c_str(), true, &existed, 1), 1);
    EXPECT_EQ(existed, 0);
    ASSERT_EQ(b.Create(228, name.c_str(), false, &existed, 5), 1);
    EXPECT_EQ(existed, 1);
    auto* header = static_cast<RWSMemoryHeader*>(static_cast<void*>(static_cast<char*>(a.Data()) - 8));
    EXPECT_EQ(header->inlineFlag, 1u);
    std::strcpy(static_cast<char*>(a.Data()), "pin data");
    EXPECT_STREQ(static_cast<char*>(b.Data()), "pin data");
}

TEST(CRWSMemory, ReadersAreCountedAndAWriterWaitsBoundedForThem) {
    std::string name = Unique("rws readers");
    CRWSMemory reader, writer;
    ASSERT_EQ(reader.Create(64, name.c_str(), true), 1);
    ASSERT_EQ(writer.Create(64, name.c_str(), false), 1);
    ASSERT_EQ(reader.Lock(false), 1);
    EXPECT_EQ(writer.ReaderCount(), 1);
    uint64_t start = platform::MonotonicMs();
    ASSERT_EQ(writer.Lock(true, 100), 1);
    EXPECT_GE(platform::MonotonicMs() - start, 250u);
    EXPECT_TRUE(writer.IsWriter());
    EXPECT_EQ(writer.ReaderCount(), 1);
    writer.Unlock();
    reader.Unlock();
    EXPECT_EQ(writer.ReaderCount(), 0);
}

TEST(CRWSMemory, CloseOfAReaderGivesBackItsCountAndUnmappedFails) {
    std::string name = Unique("rws close");
    CRWSMemory reader, other;
    ASSERT_EQ(reader.Create(64, name.c_str(), true), 1);
    ASSERT_EQ(other.Create(64, name.c_str(), false), 1);
    reader.Lock(false);
    EXPECT_EQ(other.ReaderCount(), 1);
    EXPECT_EQ(reader.Close(), 1);
    EXPECT_EQ(other.ReaderCount(), 0);
    EXPECT_EQ(reader.Close(), 0);
    EXPECT_EQ(reader.Lock(false), 0);
    EXPECT_EQ(reader.Unlock(), 0);
    EXPECT_EQ(reader.Data(), nullptr);
}
