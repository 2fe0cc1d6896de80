#include "device/model/dispatcher.h"

#include <future>

namespace qm {

LoopDispatcher::LoopDispatcher(Clock& clock)
    : m_Clock(clock), m_Owner(std::this_thread::get_id()) {}

LoopDispatcher::~LoopDispatcher() {
    stop();
}

void LoopDispatcher::post(Task task) {
    {
        std::lock_guard lock(m_Lock);
        m_Posted.push_back(std::move(task));
    }
    m_Wake.notify_all();
}

Dispatcher::TimerId LoopDispatcher::postAfter(std::chrono::milliseconds delay, Task task) {
    TimerId id;
    {
        std::lock_guard lock(m_Lock);
        id = m_NextId++;
        m_Timers.emplace(m_Clock.now() + delay, std::make_pair(id, std::move(task)));
    }
    m_Wake.notify_all();
    return id;
}

void LoopDispatcher::cancel(TimerId id) {
    std::lock_guard lock(m_Lock);
    for (auto it = m_Timers.begin(); it != m_Timers.end(); ++it) {
        if (it->second.first == id) {
            m_Timers.erase(it);
            return;
        }
    }
}

bool LoopDispatcher::send(Task task) {
    if (std::this_thread::get_id() == m_Owner.load()) {
        // Already on the UI thread: run it in place, as a synchronous send does.
        {
            std::lock_guard lock(m_Lock);
            if (m_Stopped)
                return false;
        }
        task();
        return true;
    }
    auto done = std::make_shared<std::promise<bool>>();
    std::future<bool> ran = done->get_future();
    {
        std::lock_guard lock(m_Lock);
        if (m_Stopped)
            return false;
        m_Posted.push_back([task = std::move(task), done] {
            task();
            done->set_value(true);
        });
    }
    m_Wake.notify_all();
    // A loop that stops before running it drops the task, which breaks the promise.
    try {
        return ran.get();
    } catch (const std::future_error&) {
        return false;
    }
}

bool LoopDispatcher::takeDue(Task& task) {
    if (!m_Posted.empty()) {
        task = std::move(m_Posted.front());
        m_Posted.erase(m_Posted.begin());
        return true;
    }
    if (!m_Timers.empty() && m_Timers.begin()->first <= m_Clock.now()) {
        task = std::move(m_Timers.begin()->second.second);
        m_Timers.erase(m_Timers.begin());
        return true;
    }
    return false;
}

int LoopDispatcher::runDue() {
    m_Owner = std::this_thread::get_id();
    int ran = 0;
    for (;;) {
        Task task;
        {
            std::lock_guard lock(m_Lock);
            if (!takeDue(task))
                return ran;
        }
        task();
        ++ran;
    }
}

void LoopDispatcher::run(Clock::time_point deadline) {
    m_Owner = std::this_thread::get_id();
    std::unique_lock lock(m_Lock);
    while (!m_Stopped && m_Clock.now() < deadline) {
        Task task;
        if (takeDue(task)) {
            lock.unlock();
            task();
            lock.lock();
            continue;
        }
        // Sleep until the next timer, the deadline or a post. The wait is in real time; a fake
        // clock's owner calls runDue instead.
        const auto next = m_Timers.empty() ? deadline : std::min(deadline, m_Timers.begin()->first);
        const auto left = next - m_Clock.now();
        if (left > Clock::duration::zero())
            m_Wake.wait_for(lock, std::min<Clock::duration>(left, std::chrono::seconds(1)));
    }
}

void LoopDispatcher::stop() {
    std::vector<Task> dropped;
    {
        std::lock_guard lock(m_Lock);
        m_Stopped = true;
        dropped.swap(m_Posted);
        m_Timers.clear();
    }
    m_Wake.notify_all();
    // Destroying the dropped tasks releases any sender waiting on them.
}

Clock::time_point LoopDispatcher::nextDue() const {
    std::lock_guard lock(m_Lock);
    return m_Timers.empty() ? Clock::time_point::max() : m_Timers.begin()->first;
}

}  // namespace qm
