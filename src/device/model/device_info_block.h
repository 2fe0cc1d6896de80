// The 34-byte device information block (command 0x03), decoded.
#pragma once

#include <cstdint>
#include <span>

#include "device/transport/command_report.h"

namespace qm {

struct DeviceInfoBlock {
    static constexpr std::size_t kKeyCount = 5;
    static constexpr std::size_t kMacroUnits = 6;
    static constexpr std::size_t kSensorId = 9;  // 16-bit little-endian
    static constexpr std::size_t kStep = 11;
    static constexpr std::size_t kHighestStep = 12;       // 16-bit little-endian
    static constexpr std::size_t kLowestResolution = 14;  // 16-bit little-endian
    static constexpr std::uint16_t kTwoSlopeSensor = 0x3325;
    static_assert(kLowestResolution + 2 <= report::kDeviceInfoSize);

    std::uint8_t keyCount = 0;
    std::uint8_t macroUnits = 0;  // macro memory in units of 128 bytes
    // The mouse's sensitivity step scale.
    std::uint16_t sensorId = 0;
    std::uint8_t step = 0;
    std::uint16_t highestStep = 0;
    std::uint16_t lowestResolution = 0;

    static DeviceInfoBlock decode(std::span<const std::uint8_t, report::kDeviceInfoSize> block);

    std::uint32_t macroCapacity() const { return macroUnits * 128u; }
    // Counts per inch of step n; the two-slope sensor moves in steps of 200 above step 48.
    std::uint32_t stepToCpi(std::uint32_t n) const;
};

}  // namespace qm
