// The headset's lighting output reports (id 0xFF, 17 bytes): twelve of them carry one frame, one
// colour channel of seven or six LEDs each, sent to two LED groups with the same values.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace qm::emu {

inline constexpr std::size_t kHeadsetLedCount = 13;
inline constexpr std::size_t kHeadsetFrameLength = kHeadsetLedCount * 3;  // R, G, B per LED
using HeadsetFrame = std::array<std::uint8_t, kHeadsetFrameLength>;

inline constexpr std::size_t kLightingGroup = 1;       // 0x22 or 0x44
inline constexpr std::size_t kLightingSubCommand = 2;  // 0xAA..0xAF
inline constexpr std::size_t kLightingValues = 4;      // channel values from here
inline constexpr std::uint8_t kLightingLastGroup = 0x44;
inline constexpr std::uint8_t kLightingLastSubCommand = 0xAF;  // blue of LEDs 7-12

// Applies one report (report id first) to the frame. False, with the frame unchanged, for a
// report of another id, a short one, or an unknown group or sub-command. lastOfFrame is set when
// the report is the last of the twelve.
bool applyHeadsetLightingReport(std::span<const std::uint8_t> report, HeadsetFrame& frame,
                                bool& lastOfFrame);

}  // namespace qm::emu
