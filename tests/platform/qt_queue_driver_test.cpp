// The main thread's queue driven only by Qt's event loop.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <functional>
#include <thread>

#include "platform/WindowSystem.h"
#include "platform/qt/QtQueueDriver.h"

using namespace corvanta::platform;

namespace {

class QtQueueDriverTest : public ::testing::Test {
protected:
    // Runs Qt's loop until `done` holds, or for about five seconds if it never does.
    void RunUntil(const std::function<bool()>& done) {
        QTimer stop;
        int checks = 0;
        QObject::connect(&stop, &QTimer::timeout, &app, [&] {
            if (done() || ++checks > 500) app.quit();
        });
        stop.start(10);
        app.exec();
    }

    int argc = 1;
    char name[5] = "test";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    QtQueueDriver driver;
};

}  // namespace

TEST_F(QtQueueDriverTest, QtLoopPumpsSendsAndTimersOfItsThread) {
    uint32_t ask = RegisterWindowMessage("qt driven ask");
    int timerTicks = 0;
    std::thread::id handledOn;
    Hwnd h = CreateMessageWindow("qt driven", [&](Hwnd self, uint32_t m, WParam w, LParam) -> LResult {
        if (m == WM_TIMER && w == 16111 && ++timerTicks == 1) SetTimer(self, 16111, 20);
        if (m == ask) handledOn = std::this_thread::get_id();
        return m == ask ? LResult(w) * 3 : 0;
    });
    ASSERT_TRUE(SetTimer(h, 16111, 0));

    std::atomic<LResult> answer{0};
    std::thread sender([&] { answer = SendMessage(h, ask, 14, 0); });

    RunUntil([&] { return answer != 0 && timerTicks >= 4; });
    sender.join();
    EXPECT_EQ(std::tuple(42, std::this_thread::get_id(), true), std::tuple(answer.load(), handledOn, timerTicks >= 4));
    DestroyWindow(h);
}

// A timer set from one of Qt's own events, and one that expires while such
// an event waits on a send, still reach the window under Qt's loop.
TEST_F(QtQueueDriverTest, TimersSetOrExpiredOutsideAPumpStillFire) {
    const uint32_t slow = RegisterWindowMessage("qt driven slow answer");
    std::atomic<Hwnd> peer{0};
    std::atomic<uint32_t> peerThread{0};
    std::thread worker([&] {
        peer = CreateMessageWindow("qt driven peer", [&](Hwnd, uint32_t m, WParam, LParam) -> LResult {
            if (m == slow) std::this_thread::sleep_for(std::chrono::milliseconds(80));
            return 1;
        });
        peerThread = CurrentThreadId();
        Msg m;
        while (GetMessage(&m)) DispatchMessage(m);
        DestroyWindow(peer);
    });
    while (peerThread == 0) std::this_thread::yield();

    int ticks[2] = {0, 0};
    Hwnd h = CreateMessageWindow("qt driven timers", [&](Hwnd, uint32_t m, WParam w, LParam) -> LResult {
        if (m == WM_TIMER && w < 2) ++ticks[w];
        return 0;
    });
    QTimer::singleShot(0, &app, [&] {
        SetTimer(h, 0, 30);
        SendMessage(peer, slow, 0, 0);  // timer 0 expires meanwhile
        SetTimer(h, 1, 20);
    });
    RunUntil([&] { return ticks[0] >= 2 && ticks[1] >= 2; });
    PostThreadMessage(peerThread, WM_QUIT, 0, 0);
    worker.join();
    EXPECT_TRUE(ticks[0] >= 2 && ticks[1] >= 2) << ticks[0] << " " << ticks[1];
    DestroyWindow(h);
}
