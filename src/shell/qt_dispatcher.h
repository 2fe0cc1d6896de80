// The core's Dispatcher over the Qt event loop of the GUI thread: posted tasks are queued calls,
// timers are single-shot QTimers with ids, and send runs in place on the GUI thread or waits for
// the GUI thread elsewhere.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <atomic>
#include <map>
#include <mutex>

#include "device/model/dispatcher.h"

namespace qm::shell {

class QtDispatcher final : public QObject, public Dispatcher {
public:
    // Must be created on the GUI thread.
    QtDispatcher();
    ~QtDispatcher() override;

    void post(Task task) override;
    TimerId postAfter(std::chrono::milliseconds delay, Task task) override;
    void cancel(TimerId id) override;
    bool send(Task task) override;

    // From now on nothing queued runs and send fails instead of waiting (the app is quitting).
    // Callable from any thread.
    void stop();
    bool stopped() const { return m_Stopped; }

private:
    void startTimer(TimerId id, std::chrono::milliseconds delay, Task task);

    std::atomic<bool> m_Stopped{false};
    std::mutex m_Lock;
    std::map<TimerId, QPointer<QTimer>> m_Timers;  // GUI thread only
    std::atomic<TimerId> m_NextId{1};
};

}  // namespace qm::shell
