// The one monotonic clock behind every time-based behaviour. Tests inject a FakeClock so that
// time-outs, pauses and effects run without waiting on real time.
#pragma once

#include <chrono>
#include <mutex>

namespace qm {

class Clock {
public:
    using duration = std::chrono::nanoseconds;
    using time_point = std::chrono::steady_clock::time_point;

    virtual ~Clock() = default;
    virtual time_point now() const = 0;
    // Blocks the caller for d (a fake clock advances its time instead).
    virtual void sleepFor(duration d) = 0;
};

class SteadyClock final : public Clock {
public:
    time_point now() const override { return std::chrono::steady_clock::now(); }
    void sleepFor(duration d) override;
};

// Time moves only when a test advances it or something sleeps on it.
class FakeClock final : public Clock {
public:
    time_point now() const override;
    void sleepFor(duration d) override { advance(d); }
    void advance(duration d);

private:
    mutable std::mutex m_Lock;
    time_point m_Now{};
};

// The process-wide real clock.
Clock& systemClock();

}  // namespace qm
