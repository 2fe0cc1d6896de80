// Virtual peripherals for tests: a bus in one line, and a link to a peripheral's command
// collection that sends requests and takes answers the plain way (one write, one read).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "device/hid/hid_backend.h"
#include "device/transport/command_report.h"
#include "emulator/peripheral.h"
#include "emulator/virtual_bus.h"
#include "platform/clock.h"

namespace qm::testing {

// A bus with the named peripherals plugged in and reports that cost no time.
inline std::unique_ptr<emu::VirtualBus> virtualBus(std::initializer_list<std::string_view> names,
                                                   Clock* clock = nullptr,
                                                   std::string stateDir = {}) {
    emu::VirtualBus::Options options;
    options.timing = {std::chrono::microseconds(0), std::chrono::microseconds(0)};
    options.clock = clock;
    options.stateDir = std::move(stateDir);
    auto bus = std::make_unique<emu::VirtualBus>(std::move(options));
    for (std::string_view name : names)
        EXPECT_TRUE(bus->plug(name)) << name;
    return bus;
}

// The command collection of one peripheral, opened for reading and writing.
class CommandLink {
public:
    CommandLink(hid::HidBackend& backend, std::string_view name)
        : m_Path(emu::VirtualBus::commandPath(name)) {
        hid::InterfaceInfo info;
        m_OpenResult = backend.open(m_Path, true, true, m_Connection, info);
    }

    int openResult() const { return m_OpenResult; }
    hid::HidConnection& connection() { return *m_Connection; }
    // What the last write returned.
    hid::IoStatus writeStatus() const { return m_WriteStatus; }

    // Writes the request and takes the next command answer (report id 4) that is readable
    // within the time-out; other input reports of the interface are passed over.
    std::optional<report::Report> exchange(const report::Report& request, int timeoutMs = 0) {
        std::size_t written = 0;
        m_WriteStatus = m_Connection->write(request, 1000, written);
        if (m_WriteStatus != hid::IoStatus::Ok)
            return std::nullopt;
        return nextAnswer(timeoutMs);
    }

    std::optional<report::Report> send(std::uint8_t command, std::uint8_t length = 0,
                                       std::uint16_t offset = 0,
                                       std::span<const std::uint8_t> data = {}) {
        return exchange(report::encodeRequest(command, length, offset, data));
    }

    std::optional<report::Report> nextAnswer(int timeoutMs = 0) {
        report::Report answer{};
        std::size_t got = 0;
        while (m_Connection->read(answer, timeoutMs, got) == hid::IoStatus::Ok)
            if (got == answer.size() && answer[0] == report::kReportId)
                return answer;
        return std::nullopt;
    }

    // Reads length bytes of an area with one read command per chunk; empty when a chunk fails.
    std::vector<std::uint8_t> readArea(std::uint8_t command, std::size_t length,
                                       std::size_t chunk = report::kMaxData) {
        std::vector<std::uint8_t> bytes;
        for (std::size_t at = 0; at < length; at += chunk) {
            const auto size = static_cast<std::uint8_t>(std::min(chunk, length - at));
            auto answer = send(command, size, static_cast<std::uint16_t>(at));
            if (!answer || (*answer)[report::kStatus] != 0)
                return {};
            bytes.insert(bytes.end(), answer->begin() + report::kData,
                         answer->begin() + report::kData + size);
        }
        return bytes;
    }

private:
    std::string m_Path;
    std::unique_ptr<hid::HidConnection> m_Connection;
    int m_OpenResult = -1;
    hid::IoStatus m_WriteStatus = hid::IoStatus::Ok;
};

}  // namespace qm::testing
