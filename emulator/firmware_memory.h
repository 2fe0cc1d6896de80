// What a virtual firmware holds: its information block, its memory areas and the few facts that
// shape how it answers (profile block stride, host lighting frame length).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "emulator/info_block.h"

namespace qm::emu {

// The memory areas reached through the command reports.
enum class Area {
    Params,          // 0x05 / 0x06: byte 0 the active profile, then one block per profile
    KeyCodes,        // 0x07 / 0x09: 3 bytes per key
    KeyBytes,        // 0x1B: the LED index of each key, 255 for none
    Macro,           // 0x15: info block byte 6 x 128 bytes
    CustomLighting,  // 0x0B: 512-byte pages of per-LED colours
    ShootData,       // 0x17: the mouse's recoil patterns
    Status,          // 0x1A: battery level, power state, ..., phone type
};
inline constexpr std::size_t kAreaCount = 7;
inline constexpr std::array<Area, kAreaCount> kAreas = {
    Area::Params,         Area::KeyCodes,  Area::KeyBytes, Area::Macro,
    Area::CustomLighting, Area::ShootData, Area::Status,
};
// The area's name in state files and traces ("params", "keyCodes", ...).
std::string_view areaName(Area area);

// An empty area means the firmware has no such memory: its commands answer status 0xFF.
struct FirmwareMemory {
    std::array<std::vector<std::uint8_t>, kAreaCount> areas;

    std::vector<std::uint8_t>& operator[](Area area) { return areas[static_cast<int>(area)]; }
    const std::vector<std::uint8_t>& operator[](Area area) const {
        return areas[static_cast<int>(area)];
    }
    bool operator==(const FirmwareMemory&) const = default;
};

// Status block bytes.
inline constexpr std::size_t kStatusSize = 6;
inline constexpr std::size_t kStatusBattery = 0;    // percent
inline constexpr std::size_t kStatusPower = 1;      // 0 external power, 1 charging, 2 battery
inline constexpr std::size_t kStatusPhoneType = 5;  // mousepad: the phone on its charging pad

inline constexpr std::size_t kCustomLightingPageSize = 512;

struct FirmwareSpec {
    std::string name;  // "keyboard", "mouse", "mousepad", "headset": names the state file
    InfoBlock info{};
    FirmwareMemory factory;
    std::size_t profileStride = 64;      // bytes between profile blocks in Params
    std::size_t frameLength = 0;         // bytes of a host lighting frame (0x12); 0 when none
    bool lightingOutputReports = false;  // takes its frames as output reports 0xFF (headset)
    // A profile switched on the device is reported as 0x10nn (slot in the low nibble); without
    // this, as 0x401 like any other change.
    bool slotEvents = false;
};

// Event codes a firmware sends on its event interface.
inline constexpr std::uint16_t kEventSettingsChanged = 0x0401;
inline constexpr std::uint16_t kEventSlotSwitched = 0x1000;

// Parameter memory of count profile blocks, stride bytes apart, each starting with block; byte 0
// (the active profile) is 0.
std::vector<std::uint8_t> repeatedProfiles(std::size_t count, std::size_t stride,
                                           std::span<const std::uint8_t> block);

FirmwareSpec keyboardFirmware();
FirmwareSpec mouseFirmware();
FirmwareSpec mousepadFirmware();
FirmwareSpec headsetFirmware();

}  // namespace qm::emu
