#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <functional>
#include <tuple>
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

// A timer whose handler blocks (a frame asked of a stalled recorder) is due
// again when it returns; Qt's own events still get their turn in between.
TEST_F(QtQueueDriverTest, ABlockingTimerHandlerDoesNotStarveQtsOwnEvents) {
    int ticks = 0;
    int ticksWhenQtRan = -1;
    Hwnd h = CreateMessageWindow("qt driven slow timer", [&](Hwnd, uint32_t m, WParam w, LParam) -> LResult {
        if (m != WM_TIMER || w != 16112) return 0;
        // The first tick queues an event of Qt's (a click, say) behind itself.
        if (++ticks == 1) QTimer::singleShot(0, &app, [&] { ticksWhenQtRan = ticks; });
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        return 0;
    });
    ASSERT_TRUE(SetTimer(h, 16112, 1));
    RunUntil([&] { return ticksWhenQtRan >= 0; });
    KillTimer(h, 16112);
    DestroyWindow(h);
    EXPECT_GE(ticksWhenQtRan, 1) << "Qt's event never ran";
    EXPECT_LE(ticksWhenQtRan, 3);
}
