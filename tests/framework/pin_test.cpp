// Output pins and input connections: publishing, connection requests,
// notification of targets with the 200 ms retry, forced connections, the
// pin's shared data, and disconnection.

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "framework/CMessageQueueManager.h"
#include "framework/InstanceNames.h"
#include "framework/PinTarget.h"
#include "platform/WindowSystem.h"
#include "support/Instance.h"
#include "support/PeerProcess.h"
#include "support/TestFilters.h"
#include "support/WaitFor.h"
#include "support/WindowThread.h"

using namespace corvanta;
using corvanta::test::PeerProcess;
using corvanta::test::WaitFor;
using corvanta::test::WindowThread;

namespace {

// A window that counts the filter messages it is sent or posted, by (message, wParam, lParam).
class RecordingTarget {
public:
    RecordingTarget()
        : m_thread([this](platform::Hwnd h, uint32_t m, platform::WParam w, platform::LParam l) {
              std::lock_guard<std::mutex> lock(m_mutex);
              ++m_counts[{m, w, l}];
              (void)h;
              return platform::LResult(1);
          }) {}
    platform::Hwnd Window() const { return m_thread.Hwnd(); }
    int Count(uint32_t msg, platform::WParam w, platform::LParam l) {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_counts.find({msg, w, l});
        return it == m_counts.end() ? 0 : it->second;
    }

private:
    std::mutex m_mutex;
    std::map<std::tuple<uint32_t, platform::WParam, platform::LParam>, int> m_counts;
    WindowThread m_thread;
};

class CountingPin : public CPin {
public:
    using CPin::CPin;
    int OnPublishWord(uint32_t word) override {
        lastWord = word;
        ++published;
        return 1;
    }
    int Release() override {
        ++released;
        return 1;
    }
    uint32_t lastWord = 0;
    int published = 0;
    std::atomic<int> released{0};
};

// A consumer that keeps what its pin updates bring.
class Consumer : public CFilter {
public:
    explicit Consumer(const std::string& name) { Init(CFilterDescriptor(name)); }
    ~Consumer() override { Close(); }
    int OnPinConnected(CPinConnection* c) override {
        int r = CFilter::OnPinConnected(c);
        connected += r;
        return r;
    }
    int OnPinUpdate(CPinConnection* c) override {
        c->Memory().Lock(false);
        std::string data(reinterpret_cast<const char*>(c->Data()), c->dataSize);
        c->Memory().Unlock();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_updates.push_back(data);
        return 1;
    }
    std::vector<std::string> Updates() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_updates;
    }
    std::atomic<int> connected{0};

private:
    std::mutex m_mutex;
    std::vector<std::string> m_updates;
};

class PinTest : public ::testing::Test {
protected:
    void SetUp() override {
        instance = test::UseOwnInstance();
        manager.Start();
    }
    static int TargetCount(CPin* pin) {
        pin->targets.Lock();
        int n = int(pin->targetCount);
        EXPECT_EQ(pin->targets.GetSize(), size_t(n));
        pin->targets.Unlock();
        return n;
    }
    FilterMessageNumbers numbers;
    int instance = 0;
    CMessageQueueManager manager;
};

FilterInfoBlock ReadInfo(const std::string& filter) {
    CSMemory region;
    auto info = std::make_unique<FilterInfoBlock>();
    if (region.Open(sizeof(FilterInfoBlock), InstanceNames::FilterInfoRegion(filter).c_str())) {
        region.Lock();
        std::memcpy(info.get(), region.Data(), sizeof *info);
        region.Unlock();
    }
    return *info;
}

}  // namespace

TEST_F(PinTest, PublishingFillsThePinTableUpTo200AndCountsAll) {
    CFilter owner;
    ASSERT_EQ(owner.Init(CFilterDescriptor("Many Pins")), 1);
    std::vector<CountingPin*> pins;
    for (uint32_t i = 0; i < 201; ++i) {
        auto* pin = new CountingPin(i + 1);
        pin->text1 = "first " + std::to_string(i);
        pin->text2 = std::string(60, 'b');  // longer than its field
        pin->text3 = "third";
        pin->word8 = i % 2 ? 0 : 800 + i;
        pin->word12 = 12;
        pin->word60 = 60;
        pin->word64 = 64;
        pin->ready = i == 0;
        owner.AddPin(pin);
        pins.push_back(pin);
    }
    ASSERT_EQ(owner.PublishInfo(), 1);
    auto info = std::make_unique<FilterInfoBlock>(ReadInfo("Many Pins"));
    EXPECT_EQ(info->pinCount, 201u);
    const PinInfo& p0 = info->pins[0];
    EXPECT_EQ(p0.valid, 1u);
    EXPECT_EQ(p0.pinNumber, 1u);
    EXPECT_EQ(p0.word1, 800u);
    EXPECT_EQ(p0.word2, 12u);
    EXPECT_EQ(p0.word3, 60u);
    EXPECT_EQ(p0.word4, 64u);
    EXPECT_EQ(p0.pinReady, 1u);
    EXPECT_STREQ(p0.text1, "first 0");
    EXPECT_EQ(std::string(p0.text2), std::string(50, 'b'));
    EXPECT_STREQ(p0.text3, "third");
    EXPECT_EQ(info->pins[1].pinReady, 0u);
    EXPECT_EQ(info->pins[199].pinNumber, 200u);
    // The word published at 8 is handed to the pin first, only when not 0.
    EXPECT_EQ(pins[0]->published, 1);
    EXPECT_EQ(pins[0]->lastWord, 800u);
    EXPECT_EQ(pins[1]->published, 0);
    EXPECT_EQ(pins[200]->published, 0);  // not published at all

    // Disconnecting releases and drops every pin and empties the table.
    owner.Disconnect();
    info = std::make_unique<FilterInfoBlock>(ReadInfo("Many Pins"));
    EXPECT_EQ(info->pinCount, 0u);
    EXPECT_EQ(info->pins[0].valid, 0u);
    owner.Close();
}

TEST_F(PinTest, ConnectionRequestsAddAndRemoveTargets) {
    CFilter owner;
    ASSERT_EQ(owner.Init(CFilterDescriptor("Pin Owner")), 1);
    auto* pin = new CPin(4);
    owner.AddPin(pin);
    RecordingTarget target;

    // A pin the filter does not have: 0, nothing added.
    EXPECT_EQ(platform::SendMessage(owner.Window(), numbers[PIN_CONNECTION_REQUEST], 9, target.Window()), 0);
    EXPECT_EQ(TargetCount(pin), 0);
    // Bit 15 is a flag and does not take part in the pin number.
    EXPECT_EQ(platform::SendMessage(owner.Window(), numbers[PIN_CONNECTION_REQUEST], 0x8004, target.Window()), 1);
    EXPECT_EQ(platform::SendMessage(owner.Window(), numbers[PIN_CONNECTION_REQUEST], 4, 12345), 1);
    EXPECT_EQ(TargetCount(pin), 2);
    pin->targets.Lock();
    EXPECT_FALSE(static_cast<PinTarget*>(pin->targets.GetAt(0))->local);
    EXPECT_TRUE(static_cast<PinTarget*>(pin->targets.GetAt(1))->local);
    pin->targets.Unlock();

    EXPECT_EQ(platform::SendMessage(owner.Window(), numbers[PIN_DISCONNECTION_REQUEST], 4, target.Window()), 1);
    EXPECT_EQ(TargetCount(pin), 1);
    EXPECT_EQ(platform::SendMessage(owner.Window(), numbers[PIN_DISCONNECTION_REQUEST], 5, 12345), 0);
    EXPECT_EQ(platform::SendMessage(owner.Window(), numbers[PIN_DISCONNECTION_REQUEST], 4, 999), 1);
    EXPECT_EQ(TargetCount(pin), 1);
    owner.Close();
}

TEST_F(PinTest, ATargetAddedWhileStoppedIsToldOnStart) {
    CFilter owner;
    ASSERT_EQ(owner.Init(CFilterDescriptor("Stopped Owner")), 1);
    auto* pin = new CPin(2);
    pin->ready = true;
    owner.AddPin(pin);
    RecordingTarget target;
    ASSERT_EQ(platform::SendMessage(owner.Window(), numbers[PIN_CONNECTION_REQUEST], 2, target.Window()), 1);
    EXPECT_FALSE(WaitFor([&] { return target.Count(numbers[PIN_CONNECT], owner.Window(), 2) > 0; }, 400));

    owner.Start(true);
    ASSERT_TRUE(WaitFor([&] { return target.Count(numbers[PIN_CONNECT], owner.Window(), 2) > 0; }, 3000));
    // A second start tells every target again.
    owner.Stop(true);
    owner.Start(true);
    ASSERT_TRUE(WaitFor([&] { return target.Count(numbers[PIN_CONNECT], owner.Window(), 2) == 2; }, 3000));
    owner.Stop(true);
    owner.Close();
}

TEST_F(PinTest, ANotReadyPinIsReleasedByTheRetryAndNoTargetIsToldTwice) {
    CFilter owner;
    ASSERT_EQ(owner.Init(CFilterDescriptor("Slow Owner")), 1);
    auto* pin = new CPin(6);
    owner.AddPin(pin);
    owner.Start(true);
    RecordingTarget first, second;
    ASSERT_EQ(platform::SendMessage(owner.Window(), numbers[PIN_CONNECTION_REQUEST], 6, first.Window()), 1);
    // Held back while the pin is not ready, across several retries.
    EXPECT_FALSE(WaitFor([&] { return first.Count(numbers[PIN_CONNECT], owner.Window(), 6) > 0; }, 700));

    pin->ready = true;
    ASSERT_TRUE(WaitFor([&] { return first.Count(numbers[PIN_CONNECT], owner.Window(), 6) == 1; }, 3000));
    ASSERT_EQ(platform::SendMessage(owner.Window(), numbers[PIN_CONNECTION_REQUEST], 6, second.Window()), 1);
    ASSERT_TRUE(WaitFor([&] { return second.Count(numbers[PIN_CONNECT], owner.Window(), 6) == 1; }, 3000));
    // Give a wrongly repeating retry time to show itself.
    platform::SleepMs(500);
    EXPECT_EQ(first.Count(numbers[PIN_CONNECT], owner.Window(), 6), 1);
    EXPECT_EQ(second.Count(numbers[PIN_CONNECT], owner.Window(), 6), 1);
    owner.Stop(true);
    owner.Close();
}

TEST_F(PinTest, AForcedConnectionToAGoneWindowFails) {
    Consumer consumer("Lonely Consumer");
    platform::Hwnd gone = 0;
    {
        WindowThread t([](platform::Hwnd, uint32_t, platform::WParam, platform::LParam) { return platform::LResult(1); });
        gone = t.Hwnd();
    }
    ASSERT_FALSE(platform::IsWindow(gone));
    EXPECT_EQ(platform::SendMessage(consumer.Window(), numbers[PIN_FORCED_RECONNECTION], gone, 1), 0);
    EXPECT_EQ(consumer.ConnectionCount(), 0u);
    // A live owner without that pin refuses too.
    CFilter owner;
    owner.Init(CFilterDescriptor("Pinless Owner"));
    EXPECT_EQ(platform::SendMessage(consumer.Window(), numbers[PIN_FORCED_RECONNECTION], owner.Window(), 1), 0);
    EXPECT_EQ(consumer.ConnectionCount(), 0u);
    owner.Close();
}

TEST_F(PinTest, AConsumerConnectsReadsThePinDataAndDisconnects) {
    CFilter owner;
    ASSERT_EQ(owner.Init(CFilterDescriptor("Data Owner")), 1);
    auto* pin = new CountingPin(3);
    pin->text2 = "video out";
    ASSERT_EQ(pin->CreateMemory("Data Owner", 8), 1);
    pin->Write("frame 01", 8);
    pin->ready = true;
    owner.AddPin(pin);
    owner.Start(true);
    Consumer consumer("Data Consumer");

    ASSERT_EQ(platform::SendMessage(consumer.Window(), numbers[PIN_FORCED_RECONNECTION], owner.Window(), 3), 1);
    ASSERT_EQ(consumer.ConnectionCount(), 1u);
    EXPECT_EQ(TargetCount(pin), 1);
    consumer.ForEachConnection([&](CPinConnection* c) {
        EXPECT_EQ(c->remoteFilterName, "Data Owner");
        EXPECT_EQ(c->pinName, "video out");
        EXPECT_EQ(c->pinNumber, 3u);
        EXPECT_EQ(c->ownerWindow, owner.Window());
        EXPECT_EQ(c->ownWindow, consumer.Window());
        EXPECT_TRUE(c->smallPin);
    });
    // The owner confirms with PIN_CONNECT; the consumer maps the data.
    ASSERT_TRUE(WaitFor([&] { return consumer.connected == 1; }, 3000));
    consumer.ForEachConnection([&](CPinConnection* c) {
        EXPECT_TRUE(c->open);
        EXPECT_EQ(c->dataSize, 8u);
    });

    pin->Write("frame 02", 8);
    owner.NotifyTargets(numbers[PIN_UPDATE], false);
    ASSERT_TRUE(WaitFor([&] { return !consumer.Updates().empty(); }, 3000));
    EXPECT_EQ(consumer.Updates().front(), "frame 02");

    // Stopping the consumer closes its connection and tells the owner.
    consumer.Start(true);
    consumer.Stop(true);
    EXPECT_EQ(consumer.ConnectionCount(), 0u);
    EXPECT_EQ(TargetCount(pin), 0);
    owner.Stop(true);
    EXPECT_GE(pin->released, 1);
    owner.Disconnect();
    owner.Close();
}

TEST_F(PinTest, APinDisconnectDeletesTheConnectionUnlessKept) {
    CFilter owner;
    ASSERT_EQ(owner.Init(CFilterDescriptor("Leaving Owner")), 1);
    for (uint32_t n : {1u, 2u}) {
        auto* pin = new CPin(n);
        pin->CreateMemory("Leaving Owner", 4);
        pin->ready = true;
        owner.AddPin(pin);
    }
    owner.Start(true);
    Consumer consumer("Kept Consumer");
    ASSERT_EQ(platform::SendMessage(consumer.Window(), numbers[PIN_FORCED_RECONNECTION], owner.Window(), 1), 1);
    ASSERT_EQ(platform::SendMessage(consumer.Window(), numbers[PIN_FORCED_RECONNECTION], owner.Window(), 2), 1);
    ASSERT_TRUE(WaitFor([&] { return consumer.connected == 2; }, 3000));
    consumer.ForEachConnection([](CPinConnection* c) { c->keep = c->pinNumber == 2; });

    EXPECT_EQ(platform::SendMessage(consumer.Window(), numbers[PIN_DISCONNECT], owner.Window(), 1), 1);
    EXPECT_EQ(platform::SendMessage(consumer.Window(), numbers[PIN_DISCONNECT], owner.Window(), 2), 0);
    EXPECT_EQ(platform::SendMessage(consumer.Window(), numbers[PIN_DISCONNECT], owner.Window(), 7), 0);
    ASSERT_EQ(consumer.ConnectionCount(), 1u);
    consumer.ForEachConnection([](CPinConnection* c) {
        EXPECT_EQ(c->pinNumber, 2u);
        EXPECT_FALSE(c->open);
    });
    // Updates reach only open connections.
    EXPECT_EQ(platform::SendMessage(consumer.Window(), numbers[PIN_UPDATE], owner.Window(), 2), 0);
    EXPECT_TRUE(consumer.Updates().empty());
    consumer.Disconnect();
    EXPECT_EQ(consumer.ConnectionCount(), 0u);
    owner.Stop(true);
    owner.Disconnect();
    owner.Close();
}

TEST_F(PinTest, PinDataOfAnOwnerInAnotherProcess) {
    PeerProcess peer(FRAMEWORK_PEER, {std::to_string(instance), "pinowner", "Peer Pin Owner", "remote bytes"});
    std::string line = peer.ReadLine();
    ASSERT_EQ(line.rfind("ready ", 0), 0u);
    platform::Hwnd ownerWindow = platform::Hwnd(std::stoul(line.substr(6)));
    Consumer consumer("Remote Consumer");
    ASSERT_EQ(platform::SendMessage(consumer.Window(), numbers[PIN_FORCED_RECONNECTION], ownerWindow, 3), 1);
    ASSERT_TRUE(WaitFor([&] { return consumer.connected == 1; }, 3000));
    consumer.ForEachConnection([](CPinConnection* c) {
        EXPECT_EQ(c->remoteFilterName, "Peer Pin Owner");
        EXPECT_EQ(c->pinName, "peer pin");
        c->Memory().Lock(false);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(c->Data()), c->dataSize), "remote bytes");
        c->Memory().Unlock();
    });
    consumer.Disconnect();
    EXPECT_EQ(consumer.ConnectionCount(), 0u);
    consumer.Close();
    peer.Kill();
}
