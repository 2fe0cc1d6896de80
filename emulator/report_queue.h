// The input reports waiting on one open connection, kept as the kernel keeps them per open file:
// at most kCapacity, the oldest dropped when a new one comes. A report becomes readable at its
// ready time on the bus clock, which models the time an answer takes to come back.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <vector>

#include "device/hid/hid_backend.h"
#include "platform/clock.h"

namespace qm::emu {

class ReportQueue {
public:
    static constexpr std::size_t kCapacity = 64;

    explicit ReportQueue(Clock& clock);

    void push(std::vector<std::uint8_t> report, Clock::time_point readyAt);
    // Takes the oldest report, waiting up to timeoutMs (< 0: until a report comes or abort).
    // With a FakeClock a wait on an empty queue advances the clock by the time-out instead of
    // blocking, so that tests of time-outs run instantly.
    hid::IoStatus pop(std::span<std::uint8_t> buffer, int timeoutMs, std::size_t& got);
    // This pop and every later one return Aborted.
    void abort();
    bool aborted() const;
    // The device left: pops return Failed.
    void fail();
    // Reports dropped because the queue was full.
    std::uint64_t dropped() const;

private:
    struct Pending {
        std::vector<std::uint8_t> bytes;
        Clock::time_point readyAt;
    };

    Clock& m_Clock;
    const bool m_VirtualTime;
    mutable std::mutex m_Lock;
    std::condition_variable m_Wake;
    std::deque<Pending> m_Reports;
    bool m_Aborted = false;
    bool m_Failed = false;
    std::uint64_t m_Dropped = 0;
};

}  // namespace qm::emu
