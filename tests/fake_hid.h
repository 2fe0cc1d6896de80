// A scripted HID backend for tests. Every path opens one vendor collection with 64-byte input and
// output reports (report id 4). Each written report is recorded and handed to an answerer, which
// returns the input reports the device sends back; the default answer echoes the command with
// status 0. Reads take the answers of their own connection in order and time out at once when
// none is left.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "device/hid/hid_backend.h"

namespace qm::testing {

using Bytes = std::vector<std::uint8_t>;

struct WrittenReport {
    std::string path;
    Bytes bytes;
    int timeoutMs = 0;
};

// An answer of 64 bytes: the request's report id and command, the status, data from byte 8 on.
inline Bytes echoAnswer(std::span<const std::uint8_t> request, std::uint8_t status = 0,
                        std::span<const std::uint8_t> data = {}) {
    Bytes answer(64, 0);
    std::copy_n(request.begin(), std::min<std::size_t>(request.size(), 4), answer.begin());
    answer[1] = answer[2] = 0;
    answer[7] = status;
    std::copy_n(data.begin(), std::min<std::size_t>(data.size(), 56), answer.begin() + 8);
    return answer;
}

class FakeHid final : public hid::HidBackend {
public:
    // Gets each written report and its 0-based index among all writes of the backend; returns
    // the input reports that answer it (none: the read times out).
    using Answerer =
        std::function<std::vector<Bytes>(const WrittenReport& report, std::size_t index)>;

    // Usage page 0xFF1C, usage 0x92, report id 4, 63 data bytes in and out.
    static constexpr std::uint8_t kDescriptor[] = {
        0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01, 0x85, 0x04, 0x15, 0x00, 0x26, 0xFF, 0x00,
        0x75, 0x08, 0x95, 0x3F, 0x09, 0x01, 0x81, 0x02, 0x09, 0x02, 0x91, 0x02, 0xC0};

    void setAnswerer(Answerer answerer) {
        std::lock_guard lock(m_State->lock);
        m_State->answerer = std::move(answerer);
    }
    void failWrites(bool fail) {
        std::lock_guard lock(m_State->lock);
        m_State->failWrites = fail;
    }
    // While held, every write waits inside the backend (outside its lock) until releaseWrites.
    void holdWrites() {
        std::lock_guard lock(m_State->lock);
        m_State->hold = true;
    }
    // Blocks until a write is waiting in a hold.
    void waitForHeldWrite() {
        std::unique_lock lock(m_State->lock);
        m_State->changed.wait(lock, [this] { return m_State->heldWriters > 0; });
    }
    void releaseWrites() {
        std::lock_guard lock(m_State->lock);
        m_State->hold = false;
        m_State->changed.notify_all();
    }

    std::vector<WrittenReport> writes() const {
        std::lock_guard lock(m_State->lock);
        return m_State->writes;
    }
    // The time-out of every read, in order.
    std::vector<int> readTimeouts() const {
        std::lock_guard lock(m_State->lock);
        return m_State->readTimeouts;
    }

    bool enumerate(std::vector<std::string>& paths) override {
        paths.clear();
        return true;
    }
    int open(const std::string& path, bool, bool, std::unique_ptr<hid::HidConnection>& connection,
             hid::InterfaceInfo& info) override {
        connection = std::make_unique<Connection>(m_State, path);
        info = {};
        info.vendorId = 0x320F;
        info.productId = 0x5055;
        info.reportDescriptor.assign(std::begin(kDescriptor), std::end(kDescriptor));
        return 0;
    }
    bool exists(const std::string&) override { return true; }

private:
    struct State {
        mutable std::mutex lock;
        std::condition_variable changed;
        Answerer answerer = [](const WrittenReport& r, std::size_t) {
            return std::vector<Bytes>{echoAnswer(r.bytes)};
        };
        bool failWrites = false;
        bool hold = false;
        int heldWriters = 0;
        std::vector<WrittenReport> writes;
        std::vector<int> readTimeouts;
    };

    class Connection final : public hid::HidConnection {
    public:
        Connection(std::shared_ptr<State> state, std::string path)
            : m_State(std::move(state)), m_Path(std::move(path)) {}

        hid::IoStatus read(std::span<std::uint8_t> buffer, int timeoutMs,
                           std::size_t& got) override {
            std::lock_guard lock(m_State->lock);
            got = 0;
            m_State->readTimeouts.push_back(timeoutMs);
            if (m_Aborted)
                return hid::IoStatus::Aborted;
            if (m_Pending.empty())
                return hid::IoStatus::Timeout;
            const Bytes answer = std::move(m_Pending.front());
            m_Pending.pop_front();
            got = std::min(answer.size(), buffer.size());
            std::copy_n(answer.begin(), got, buffer.begin());
            return hid::IoStatus::Ok;
        }

        hid::IoStatus write(std::span<const std::uint8_t> report, int timeoutMs,
                            std::size_t& written) override {
            written = 0;
            WrittenReport record{m_Path, Bytes(report.begin(), report.end()), timeoutMs};
            Answerer answerer;
            std::size_t index = 0;
            {
                std::unique_lock lock(m_State->lock);
                if (m_State->hold) {
                    ++m_State->heldWriters;
                    m_State->changed.notify_all();
                    m_State->changed.wait(lock, [this] { return !m_State->hold || m_Aborted; });
                    --m_State->heldWriters;
                }
                if (m_Aborted)
                    return hid::IoStatus::Aborted;
                if (m_State->failWrites)
                    return hid::IoStatus::Failed;
                index = m_State->writes.size();
                m_State->writes.push_back(record);
                answerer = m_State->answerer;
            }
            // Outside the lock, so that an answerer may look at the backend.
            std::vector<Bytes> answers = answerer(record, index);
            std::lock_guard lock(m_State->lock);
            for (Bytes& answer : answers)
                m_Pending.push_back(std::move(answer));
            written = report.size();
            return hid::IoStatus::Ok;
        }

        void abort() override {
            std::lock_guard lock(m_State->lock);
            m_Aborted = true;
            m_State->changed.notify_all();
        }

    private:
        std::shared_ptr<State> m_State;
        std::string m_Path;
        bool m_Aborted = false;  // guarded by the state's lock
        std::deque<Bytes> m_Pending;
    };

    std::shared_ptr<State> m_State = std::make_shared<State>();
};

}  // namespace qm::testing
