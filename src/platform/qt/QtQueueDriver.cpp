#include "platform/qt/QtQueueDriver.h"

#include <QSocketNotifier>

#include "platform/WindowSystem.h"

namespace corvanta::platform {

QtQueueDriver::QtQueueDriver(QObject* parent)
    : QObject(parent),
      m_notifier(std::make_unique<QSocketNotifier>(MessageQueueFd(), QSocketNotifier::Read)) {
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { Pump(); });
    // Whatever arrived before Qt's loop started would otherwise wait for the next wake.
    Pump();
}

QtQueueDriver::~QtQueueDriver() = default;

void QtQueueDriver::Pump() { PumpMessages(); }

}  // namespace corvanta::platform
