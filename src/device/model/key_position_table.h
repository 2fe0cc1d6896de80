// The keyboard picture's 170 key positions: the default key code of the key at each position,
// and the maps from positions to the device's keys and LEDs that an attach builds from the
// device's own key code and LED index tables.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "keys/key_code.h"
#include "profile/profile_records.h"

namespace qm {

// The 3 bytes of a key code (type, b1, b2); the device object only compares and copies them.
using PositionKeyCode = keys::KeyCode;

// Key code types the key table write treats specially.
inline constexpr std::uint8_t kKeyTypeMacroPlay = keys::KeyType::MacroPlay;
inline constexpr std::uint8_t kKeyTypeMacroRepeat = keys::KeyType::MacroRepeat;
// A layout position without a key.
inline constexpr PositionKeyCode kEmptyKeyCode{0x20, 0x00, 0x00};

// No device key, or no LED, in the position maps.
inline constexpr std::uint8_t kNoPosition = 255;
// The most keys a keyboard reports: one per layout position.
inline constexpr std::size_t kMaxDeviceKeys = kLayoutPositions;
// Device key 105 never gets a position LED.
inline constexpr std::uint8_t kDeviceKeyWithoutLed = 105;

using KeyPositionTable = std::array<PositionKeyCode, kLayoutPositions>;
// The default key code of each layout position.
const KeyPositionTable& keyPositionTable();

inline bool isMacroCode(std::uint8_t type) {
    return type == kKeyTypeMacroPlay || type == kKeyTypeMacroRepeat;
}

using PositionMap = std::array<std::uint8_t, kLayoutPositions>;

struct PositionMaps {
    PositionMap key;  // KeyPositionMap: the device key at each position
    PositionMap led;  // LedPositionMap: the LED of that key

    PositionMaps() {
        key.fill(kNoPosition);
        led.fill(kNoPosition);
    }
};

// Builds both maps from keyCount device keys: codes holds 3 bytes and leds one byte per key.
// Each position takes the first device key whose code equals its default code. A key count
// above 170 or beyond either table counts as what the tables hold; an LED index of 170 or more
// counts as no LED.
PositionMaps buildPositionMaps(std::span<const std::uint8_t> codes,
                               std::span<const std::uint8_t> leds, std::size_t keyCount);

}  // namespace qm
