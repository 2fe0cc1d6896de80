// The UI thread's queue, as the core sees it. Device objects and the scan hand work to the thread
// that owns the devices through it, and its one-shot timers stand in for the window timers.
// The desktop app provides one over its event loop; the command line and the tests use
// LoopDispatcher.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/clock.h"

namespace qm {

class Dispatcher {
public:
    using Task = std::function<void()>;
    using TimerId = std::uint64_t;  // 0 is never a timer

    virtual ~Dispatcher() = default;
    // Runs task later on the UI thread. Callable from any thread.
    virtual void post(Task task) = 0;
    // Runs task once on the UI thread after delay; returns a handle for cancel.
    virtual TimerId postAfter(std::chrono::milliseconds delay, Task task) = 0;
    // A timer that has not run yet never runs. Unknown or finished ids are ignored.
    virtual void cancel(TimerId id) = 0;
    // Runs task on the UI thread and returns once it has run (at once when called on the UI
    // thread). Returns false, without running it, when the loop has stopped.
    virtual bool send(Task task) = 0;
};

// A simple loop: the thread that calls run (or runDue) is the UI thread. Time comes from the
// injected clock, so tests drive timers with a FakeClock and runDue.
class LoopDispatcher final : public Dispatcher {
public:
    explicit LoopDispatcher(Clock& clock = systemClock());
    ~LoopDispatcher() override;

    void post(Task task) override;
    TimerId postAfter(std::chrono::milliseconds delay, Task task) override;
    void cancel(TimerId id) override;
    bool send(Task task) override;

    // Runs tasks as they come and timers as they fall due until stop() or until deadline.
    void run(Clock::time_point deadline = Clock::time_point::max());
    // Runs everything posted and every timer due now, then returns. Returns the tasks run.
    int runDue();
    // Makes run return and drops what is queued; later sends fail instead of waiting.
    // Callable from any thread.
    void stop();
    // The next timer's due time, or time_point::max() when none.
    Clock::time_point nextDue() const;

private:
    bool takeDue(Task& task);

    Clock& m_Clock;
    mutable std::mutex m_Lock;
    std::condition_variable m_Wake;
    std::vector<Task> m_Posted;
    std::multimap<Clock::time_point, std::pair<TimerId, Task>> m_Timers;
    TimerId m_NextId = 1;
    bool m_Stopped = false;
    std::atomic<std::thread::id> m_Owner;
};

}  // namespace qm
