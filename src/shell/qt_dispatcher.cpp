#include "qt_dispatcher.h"

#include <QCoreApplication>
#include <QThread>

#include <condition_variable>
#include <memory>

namespace qm::shell {

QtDispatcher::QtDispatcher() = default;

QtDispatcher::~QtDispatcher() {
    stop();
}

void QtDispatcher::post(Task task) {
    if (m_Stopped)
        return;
    QMetaObject::invokeMethod(
        this,
        [this, task = std::move(task)] {
            if (!m_Stopped)
                task();
        },
        Qt::QueuedConnection);
}

Dispatcher::TimerId QtDispatcher::postAfter(std::chrono::milliseconds delay, Task task) {
    const TimerId id = m_NextId++;
    if (m_Stopped)
        return id;
    if (QThread::currentThread() == thread()) {
        startTimer(id, delay, std::move(task));
    } else {
        QMetaObject::invokeMethod(
            this,
            [this, id, delay, task = std::move(task)]() mutable {
                startTimer(id, delay, std::move(task));
            },
            Qt::QueuedConnection);
    }
    return id;
}

void QtDispatcher::startTimer(TimerId id, std::chrono::milliseconds delay, Task task) {
    if (m_Stopped)
        return;
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer, &QTimer::timeout, this, [this, id, timer, task = std::move(task)] {
        m_Timers.erase(id);
        timer->deleteLater();
        if (!m_Stopped)
            task();
    });
    m_Timers[id] = timer;
    timer->start(delay);
}

void QtDispatcher::cancel(TimerId id) {
    if (QThread::currentThread() != thread()) {
        // A timer started from another thread is created by a queued call; this queued cancel
        // runs after it.
        QMetaObject::invokeMethod(
            this, [this, id] { cancel(id); }, Qt::QueuedConnection);
        return;
    }
    const auto found = m_Timers.find(id);
    if (found == m_Timers.end())
        return;
    if (found->second)
        found->second->deleteLater();
    if (found->second)
        found->second->stop();
    m_Timers.erase(found);
}

bool QtDispatcher::send(Task task) {
    if (m_Stopped)
        return false;
    if (QThread::currentThread() == thread()) {
        task();
        return true;
    }
    // The waiter may give up (stop) before the GUI thread runs the task, so the state is shared.
    struct Wait {
        std::mutex lock;
        std::condition_variable done;
        bool finished = false;
        bool ran = false;
    };
    auto wait = std::make_shared<Wait>();
    const bool queued = QMetaObject::invokeMethod(
        this,
        [this, wait, task = std::move(task)] {
            const bool run = !m_Stopped;
            if (run)
                task();
            std::lock_guard guard(wait->lock);
            wait->finished = true;
            wait->ran = run;
            wait->done.notify_all();
        },
        Qt::QueuedConnection);
    if (!queued)
        return false;
    std::unique_lock guard(wait->lock);
    // Polls the stop flag so that a quitting app never leaves a sender waiting.
    while (!wait->finished && !m_Stopped)
        wait->done.wait_for(guard, std::chrono::milliseconds(50));
    return wait->finished && wait->ran;
}

void QtDispatcher::stop() {
    m_Stopped = true;
}

}  // namespace qm::shell
