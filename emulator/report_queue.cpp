#include "emulator/report_queue.h"

#include <algorithm>
#include <chrono>

namespace qm::emu {

ReportQueue::ReportQueue(Clock& clock)
    : m_Clock(clock), m_VirtualTime(dynamic_cast<FakeClock*>(&clock) != nullptr) {}

void ReportQueue::push(std::vector<std::uint8_t> report, Clock::time_point readyAt) {
    {
        std::lock_guard lock(m_Lock);
        if (m_Reports.size() == kCapacity) {
            m_Reports.pop_front();
            ++m_Dropped;
        }
        m_Reports.push_back({std::move(report), readyAt});
    }
    m_Wake.notify_all();
}

hid::IoStatus ReportQueue::pop(std::span<std::uint8_t> buffer, int timeoutMs, std::size_t& got) {
    got = 0;
    std::unique_lock lock(m_Lock);
    const bool timed = timeoutMs >= 0;
    const Clock::time_point deadline = m_Clock.now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (m_Aborted)
            return hid::IoStatus::Aborted;
        if (m_Failed)
            return hid::IoStatus::Failed;
        const Clock::time_point now = m_Clock.now();
        if (!m_Reports.empty()) {
            Pending& front = m_Reports.front();
            if (front.readyAt <= now) {
                got = std::min(buffer.size(), front.bytes.size());
                std::copy_n(front.bytes.begin(), got, buffer.begin());
                m_Reports.pop_front();
                return hid::IoStatus::Ok;
            }
            // The answer is still on its way back.
            const bool late = timed && front.readyAt > deadline;
            const Clock::duration wait = (late ? deadline : front.readyAt) - now;
            lock.unlock();
            m_Clock.sleepFor(wait);
            lock.lock();
            if (late && m_Clock.now() >= deadline && !m_Aborted && !m_Failed)
                return hid::IoStatus::Timeout;
            continue;
        }
        if (timed && now >= deadline)
            return hid::IoStatus::Timeout;
        if (!timed) {
            m_Wake.wait(lock);
        } else if (m_VirtualTime) {
            lock.unlock();
            m_Clock.sleepFor(deadline - now);
            lock.lock();
        } else {
            m_Wake.wait_for(lock, deadline - now);
        }
    }
}

void ReportQueue::abort() {
    {
        std::lock_guard lock(m_Lock);
        m_Aborted = true;
    }
    m_Wake.notify_all();
}

bool ReportQueue::aborted() const {
    std::lock_guard lock(m_Lock);
    return m_Aborted;
}

void ReportQueue::fail() {
    {
        std::lock_guard lock(m_Lock);
        m_Failed = true;
    }
    m_Wake.notify_all();
}

std::uint64_t ReportQueue::dropped() const {
    std::lock_guard lock(m_Lock);
    return m_Dropped;
}

}  // namespace qm::emu
