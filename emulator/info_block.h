// The 34-byte device information block (command 0x03) as the virtual firmware lays it out.
// The host reads bytes 5 and 6, and on the mouse the step scale in bytes 9-15; the rest is the
// firmware's own description of itself.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "device/transport/command_report.h"

namespace qm::emu {

using InfoBlock = std::array<std::uint8_t, report::kDeviceInfoSize>;

inline constexpr std::size_t kInfoFirmwareMajor = 0;
inline constexpr std::size_t kInfoFirmwareMinor = 1;
inline constexpr std::size_t kInfoProductId = 2;  // 16-bit, little-endian
inline constexpr std::size_t kInfoDeviceType = 4;
inline constexpr std::size_t kInfoKeyCount = 5;
inline constexpr std::size_t kInfoMacroUnits = 6;  // macro memory in 128-byte units
inline constexpr std::size_t kInfoProfileCount = 7;
inline constexpr std::size_t kInfoLedCount = 8;
inline constexpr std::size_t kInfoSensorId = 9;  // 16-bit, little-endian
inline constexpr std::size_t kInfoStep = 11;
inline constexpr std::size_t kInfoHighestStep = 12;       // 16-bit, little-endian
inline constexpr std::size_t kInfoLowestResolution = 14;  // 16-bit, little-endian
inline constexpr std::size_t kInfoModelName = 16;         // ASCII, zero-padded
inline constexpr std::size_t kInfoModelNameSize = report::kDeviceInfoSize - kInfoModelName;
inline constexpr std::size_t kMacroUnitBytes = 128;

struct DeviceInfo {
    std::uint8_t firmwareMajor = 0;
    std::uint8_t firmwareMinor = 0;
    std::uint16_t productId = 0;
    std::uint8_t deviceType = 0;  // 1 keyboard, 2 mouse, 3 mousepad, 7 headset
    std::uint8_t keyCount = 0;
    std::uint8_t macroUnits = 0;
    std::uint8_t profileCount = 0;
    std::uint8_t ledCount = 0;
    std::uint16_t sensorId = 0;
    std::uint8_t step = 0;
    std::uint16_t highestStep = 0;
    std::uint16_t lowestResolution = 0;
    std::string modelName;  // at most kInfoModelNameSize characters are kept

    bool operator==(const DeviceInfo&) const = default;
};

InfoBlock encodeDeviceInfo(const DeviceInfo& info);
DeviceInfo decodeDeviceInfo(const InfoBlock& block);

}  // namespace qm::emu
