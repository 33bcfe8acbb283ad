#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "framework/InstanceNames.h"
#include "platform/WindowSystem.h"
#include "support/InstanceTest.h"
#include "support/TestFilters.h"
#include "support/WindowThread.h"

using namespace corvanta;
using corvanta::test::WaitFor;
using corvanta::test::WindowThread;

namespace {

// A window counting what it is sent or posted, by message, wParam and lParam.
class RecordingTarget {
public:
    RecordingTarget()
        : m_thread([this](platform::Hwnd, uint32_t m, platform::WParam w, platform::LParam l) {
              std::lock_guard<std::mutex> lock(m_mutex);
              ++m_counts[{m, w, l}];
              return platform::LResult(1);
          }) {}
    platform::Hwnd Window() const { return m_thread.Hwnd(); }
    int Count(uint32_t msg, platform::WParam w, platform::LParam l) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_counts[{msg, w, l}];
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

// Keeps what its pin updates bring.
class Consumer : public CFilter {
public:
    explicit Consumer(const std::string& name) { Init(CFilterDescriptor{.name = name}); }
    ~Consumer() override { Close(); }
    int OnPinConnected(CPinConnection* c) override {
        int r = CFilter::OnPinConnected(c);
        connected += r;
        return r;
    }
    int OnPinUpdate(CPinConnection* c) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_updates.push_back(Read(c));
        return 1;
    }
    std::vector<std::string> Updates() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_updates;
    }
    static std::string Read(CPinConnection* c) {
        c->Memory().Lock(false);
        std::string data(reinterpret_cast<const char*>(c->Data()), c->dataSize);
        c->Memory().Unlock();
        return data;
    }
    std::atomic<int> connected{0};

private:
    std::mutex m_mutex;
    std::vector<std::string> m_updates;
};

// An owner filter with the given pins, each with `dataSize` bytes of data unless 0.
class Owner : public CFilter {
public:
    Owner(const std::string& name, std::initializer_list<uint32_t> pins, uint32_t dataSize = 0, bool ready = true) {
        Init(CFilterDescriptor{.name = name});
        for (uint32_t n : pins) {
            auto* pin = new CountingPin(n);
            if (dataSize) pin->CreateMemory(name, dataSize);
            pin->ready = ready;
            AddPin(pin);
            m_pins[n] = pin;
        }
    }
    CountingPin* Pin(uint32_t n) { return m_pins[n]; }

private:
    std::map<uint32_t, CountingPin*> m_pins;
};

class PinTest : public test::InstanceTest {
protected:
    platform::LResult Send(platform::Hwnd to, FilterMessage which, platform::WParam w, platform::LParam l) {
        return platform::SendMessage(to, numbers[which], w, l);
    }
    int Told(RecordingTarget& target, CFilter& owner, uint32_t pin) {
        return target.Count(numbers[PIN_CONNECT], owner.Window(), pin);
    }
    static int TargetCount(CPin* pin) {
        pin->targets.Lock();
        int n = int(pin->targetCount);
        EXPECT_EQ(pin->targets.GetSize(), size_t(n));
        pin->targets.Unlock();
        return n;
    }
    FilterMessageNumbers numbers;
};

std::unique_ptr<FilterInfoBlock> ReadInfo(const std::string& filter) {
    CSMemory region;
    auto info = std::make_unique<FilterInfoBlock>();
    if (region.Open(sizeof(FilterInfoBlock), InstanceNames::FilterInfoRegion(filter).c_str())) {
        region.Lock();
        std::memcpy(info.get(), region.Data(), sizeof *info);
        region.Unlock();
    }
    return info;
}

}  // namespace

TEST_F(PinTest, PublishingWritesEachPinAndHandsItsWordBack) {
    Owner owner("Two Pins", {1, 2}, 0, false);
    owner.Pin(1)->text2 = std::string(60, 'b');  // longer than its field
    owner.Pin(1)->word8 = 800;
    owner.Pin(1)->word64 = 64;
    owner.Pin(1)->ready = true;
    ASSERT_EQ(owner.PublishInfo(), 1);
    auto info = ReadInfo("Two Pins");
    const PinInfo& p0 = info->pins[0];
    EXPECT_EQ(std::tuple(info->pinCount, p0.valid, p0.pinNumber, p0.word1, p0.word4, p0.pinReady, info->pins[1].pinReady),
              std::tuple(2u, 1u, 1u, 800u, 64u, 1u, 0u));
    EXPECT_EQ(std::string(p0.text2), std::string(50, 'b'));
    // The word at offset 8 is handed to the pin only when not 0.
    EXPECT_EQ(std::tuple(owner.Pin(1)->lastWord, owner.Pin(2)->published), std::tuple(800u, 0));
    owner.Close();
}

TEST_F(PinTest, ConnectionRequestsAddTargetsToldOnceTheStartedPinIsReadyAndOnEveryStart) {
    Owner owner("Pin Owner", {4}, 0, false);
    RecordingTarget target;
    EXPECT_EQ(Send(owner.Window(), PIN_CONNECTION_REQUEST, 9, target.Window()), 0);  // no such pin
    // Bit 15 is a flag, not part of the pin number.
    EXPECT_EQ(Send(owner.Window(), PIN_CONNECTION_REQUEST, 0x8004, target.Window()), 1);
    EXPECT_EQ(Send(owner.Window(), PIN_CONNECTION_REQUEST, 4, 12345), 1);
    EXPECT_EQ(Send(owner.Window(), PIN_DISCONNECTION_REQUEST, 4, 12345), 1);
    EXPECT_EQ(TargetCount(owner.Pin(4)), 1);

    // Held back while stopped, then across several retries while the pin is not ready.
    owner.Start(true);
    EXPECT_FALSE(WaitFor([&] { return Told(target, owner, 4) > 0; }, 700));
    owner.Pin(4)->ready = true;
    ASSERT_TRUE(WaitFor([&] { return Told(target, owner, 4) == 1; }, 3000));
    platform::SleepMs(500);  // time for a wrongly repeating retry to show
    EXPECT_EQ(Told(target, owner, 4), 1);
    owner.Stop(true);
    owner.Start(true);
    EXPECT_TRUE(WaitFor([&] { return Told(target, owner, 4) == 2; }, 3000));
}

TEST_F(PinTest, AForcedConnectionReadsThePinDataUntilDisconnected) {
    Owner owner("Data Owner", {3, 4}, 8);
    CountingPin* pin = owner.Pin(3);
    pin->text2 = "video out";
    pin->Write("frame 01", 8);
    owner.Start(true);
    Consumer consumer("Data Consumer");
    EXPECT_EQ(Send(consumer.Window(), PIN_FORCED_RECONNECTION, 0x12345678u, 3), 0);  // no such window
    for (uint32_t n : {3u, 4u}) ASSERT_EQ(Send(consumer.Window(), PIN_FORCED_RECONNECTION, owner.Window(), n), 1);
    // The owner confirms with PIN_CONNECT; the consumer then maps the data.
    ASSERT_TRUE(WaitFor([&] { return consumer.connected == 2; }, 3000));
    consumer.ForEachConnection([&](CPinConnection* c) {
        if (c->pinNumber == 3) {
            EXPECT_EQ(std::tuple(c->pinName, c->ownerWindow, Consumer::Read(c)),
                      std::tuple("video out", owner.Window(), "frame 01"));
        }
    });

    // A closed connection gets no updates.
    EXPECT_EQ(Send(consumer.Window(), PIN_DISCONNECT, owner.Window(), 4), 1);
    pin->Write("frame 02", 8);
    owner.NotifyTargets(numbers[PIN_UPDATE], false);
    ASSERT_TRUE(WaitFor([&] { return consumer.Updates().size() == 1; }, 3000));
    EXPECT_EQ(consumer.Updates()[0], "frame 02");

    // Stopping the consumer drops every connection and tells the owner.
    consumer.Start(true);
    consumer.Stop(true);
    EXPECT_EQ(consumer.ConnectionCount(), 0u);
    EXPECT_EQ(TargetCount(pin), 0);
    owner.Stop(true);
    EXPECT_GE(pin->released, 1);
}
