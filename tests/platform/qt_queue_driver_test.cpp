// The main thread's queue driven only by Qt's event loop.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <thread>

#include "platform/WindowSystem.h"
#include "platform/qt/QtQueueDriver.h"

using namespace corvanta::platform;

TEST(QtQueueDriver, QtLoopPumpsSendsAndTimersOfItsThread) {
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QtQueueDriver driver;

    uint32_t ask = RegisterWindowMessage("qt driven ask");
    int timerTicks = 0;
    std::thread::id handledOn;
    Hwnd h = CreateMessageWindow("qt driven", [&](Hwnd self, uint32_t m, WParam w, LParam) -> LResult {
        if (m == WM_TIMER && w == 16111) {
            ++timerTicks;
            if (timerTicks == 1) SetTimer(self, 16111, 20);
            return 0;
        }
        if (m == ask) {
            handledOn = std::this_thread::get_id();
            return LResult(w) * 3;
        }
        return 0;
    });
    ASSERT_NE(h, 0u);
    ASSERT_TRUE(SetTimer(h, 16111, 0));

    std::atomic<LResult> answer{0};
    std::thread sender([&] { answer = SendMessage(h, ask, 14, 0); });

    // Quits once both happened, or after about five seconds if they never do.
    QTimer stop;
    int checks = 0;
    QObject::connect(&stop, &QTimer::timeout, &app, [&] {
        if ((answer != 0 && timerTicks >= 4) || ++checks > 500) app.quit();
    });
    stop.start(10);
    app.exec();
    sender.join();

    EXPECT_EQ(answer.load(), 42);
    EXPECT_EQ(handledOn, std::this_thread::get_id());
    EXPECT_GE(timerTicks, 4);
    DestroyWindow(h);
}
