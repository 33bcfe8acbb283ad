#pragma once
// Lets Qt's event loop run the calling thread's message queue: the queue's
// descriptor is watched by a QSocketNotifier and everything waiting is
// handled when it becomes readable. Create it on the thread it serves.

#include <QObject>
#include <memory>

class QSocketNotifier;

namespace corvanta::platform {

class QtQueueDriver : public QObject {
public:
    explicit QtQueueDriver(QObject* parent = nullptr);
    ~QtQueueDriver() override;

private:
    void Pump();
    std::unique_ptr<QSocketNotifier> m_notifier;
};

}  // namespace corvanta::platform
