#include "platform/clock.h"

#include <thread>

namespace qm {

void SteadyClock::sleepFor(duration d) {
    if (d.count() > 0)
        std::this_thread::sleep_for(d);
}

Clock::time_point FakeClock::now() const {
    std::lock_guard lock(m_Lock);
    return m_Now;
}

void FakeClock::advance(duration d) {
    std::lock_guard lock(m_Lock);
    m_Now += d;
}

Clock& systemClock() {
    static SteadyClock clock;
    return clock;
}

}  // namespace qm
