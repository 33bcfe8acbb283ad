#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <future>
#include <tuple>

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

// Runs f on another thread, so the recursion of our own locks cannot hide a failure.
template <typename F>
auto Elsewhere(F f) { return std::async(std::launch::async, f).get(); }
}  // namespace

// Sharing by name across processes is in the ICP client's killed-peer test.
TEST(CNamedMutex, BackslashesBecomeBlanksAndAClosedMutexRefusesEverything) {
    CNamedMutex m;
    ASSERT_EQ(m.Create(Unique("Cam\\01").c_str()), 1);
    EXPECT_EQ(m.Name(), Unique("Cam 01"));
    EXPECT_EQ(m.Close(), 1);
    EXPECT_EQ(std::tuple(m.Lock(0), m.Unlock(), m.Close()), std::tuple(0, 0, 0)) << "closed";
}

TEST(LockedContainers, EntriesAreExactAndTheLockExcludesOtherThreads) {
    CLockedPtrArray a;
    CLockedPtrMap m;
    int x = 1, y = 2, z = 3;
    ASSERT_EQ(a.Lock(), 1);
    for (int* p : {&x, &y, &z}) a.Add(p);
    a.RemoveAt(1);
    a.RemoveAt(7);
    EXPECT_EQ(std::tuple(a.GetSize(), a.GetAt(1), a.GetAt(7)), std::tuple(2u, &z, nullptr));
    EXPECT_EQ(Elsewhere([&] { return a.Lock(20); }), 0);
    a.Unlock();

    m.SetAt("Key", &x);
    m.SetAt("key", &y);
    m.SetAt("Key", &z);
    void* out = nullptr;
    EXPECT_TRUE(m.Lookup("Key", out));
    EXPECT_EQ(std::tuple(out, m.GetCount()), std::tuple(static_cast<void*>(&z), 2u)) << "keys keep their case";
}

TEST(CSMemory, OpenNeverCreatesAndCloseOnlyOnce) {
    CSMemory a, absent;
    ASSERT_EQ(a.Create(520, Unique("smem share").c_str()), 1);
    EXPECT_EQ(absent.Open(64, Unique("smem absent").c_str()), 0);
    EXPECT_EQ(a.Close(), 1);
    EXPECT_EQ(std::tuple(a.Close(), a.Data()), std::tuple(0, nullptr));
    // A failed Open and a Close that found nothing mapped must give the mutex back.
    EXPECT_EQ(absent.Close(), 0);
    EXPECT_EQ(Elsewhere([&] { return absent.Lock(20); }), 1);
}

TEST(CYSMemory, CallersAndHandlerUseDifferentMutexesAndCreateWaits500Ms) {
    const std::string name = Unique("ysmem");
    CYSMemory caller, handler;
    ASSERT_EQ(caller.Create(100, name.c_str()), 1);
    ASSERT_EQ(handler.Create(100, name.c_str()), 1);
    ASSERT_EQ(caller.Lock(true), 1);
    EXPECT_EQ(Elsewhere([&] { int r = handler.Lock(false, 100); handler.Unlock(); return r; }), 1);
    EXPECT_EQ(Elsewhere([&] { return handler.Lock(true, 30); }), 0);
    // Mapping takes the first mutex too, and gives up after 500 ms.
    auto [created, waited] = Elsewhere([&] {
        CYSMemory late;
        const uint64_t start = platform::MonotonicMs();
        const int r = late.Create(100, name.c_str());
        return std::make_pair(r + (late.Data() != nullptr), platform::MonotonicMs() - start);
    });
    EXPECT_EQ(created, 0);
    EXPECT_GE(waited, 500u);
    caller.Unlock();
}

TEST(CRWSMemory, ReadersAreCountedAndAWriterWaits250MsForThem) {
    const std::string name = Unique("rws");
    CRWSMemory reader, writer;
    int existed = -1;
    ASSERT_EQ(reader.Create(64, name.c_str(), true, &existed, 1), 1);
    ASSERT_EQ(writer.Create(64, name.c_str(), false, &existed, 5), 1);
    EXPECT_EQ(existed, 1);
    EXPECT_EQ(reinterpret_cast<const RWSMemoryHeader*>(static_cast<char*>(reader.Data()) - 8)->inlineFlag, 1u)
        << "only a new region takes the first word";
    std::strcpy(static_cast<char*>(writer.Data()), "pin data");
    EXPECT_STREQ(static_cast<char*>(reader.Data()), "pin data");

    ASSERT_EQ(reader.Lock(false), 1);
    EXPECT_EQ(writer.ReaderCount(), 1);
    const uint64_t start = platform::MonotonicMs();
    ASSERT_EQ(writer.Lock(true, 100), 1);
    EXPECT_GE(platform::MonotonicMs() - start, 250u);
    writer.Unlock();

    EXPECT_EQ(reader.Close(), 1);
    EXPECT_EQ(writer.ReaderCount(), 0) << "a reader closed while inside is uncounted";
    EXPECT_EQ(std::tuple(reader.Close(), reader.Lock(false), reader.Unlock(), reader.Data()), std::tuple(0, 0, 0, nullptr));
}
