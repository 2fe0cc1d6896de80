// The function of a key: a 3-byte key code {type, b1, b2} and its storage forms (the device's key
// code table, the profile's integer, the in-memory assignment record).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "profile/profile_records.h"

namespace qm::keys {

struct KeyCode {
    std::uint8_t type = 0;
    std::uint8_t b1 = 0;
    std::uint8_t b2 = 0;

    constexpr bool operator==(const KeyCode&) const = default;
};

// Function classes (the type byte).
namespace KeyType {
constexpr std::uint8_t Disabled = 0x00;     // with b1 = b2 = 0
constexpr std::uint8_t MouseButton = 0x10;  // b1: MouseButtonBit
constexpr std::uint8_t MouseSwing = 0x11;   // b1: delay << 4 | speed; b2: count, bit 7 rightward
constexpr std::uint8_t Wheel = 0x12;        // b1 as MouseSwing; b2: signed count, < 0 downward
constexpr std::uint8_t Dpi = 0x13;          // b1: DpiFunction
constexpr std::uint8_t Fire = 0x14;         // b1: interval; b2: number of shots
constexpr std::uint8_t DpiShift = 0x16;
constexpr std::uint8_t Keyboard = 0x20;      // b1: ModifierBit set; b2: HID keyboard usage
constexpr std::uint8_t EditShortcut = 0x22;  // b2: 0-8, caption only
constexpr std::uint8_t ShowWindow = 0x23;
constexpr std::uint8_t Consumer = 0x30;     // b1, b2: low and high byte of the consumer usage
constexpr std::uint8_t System = 0x40;       // b1: SystemFunction
constexpr std::uint8_t MacroPlay = 0x70;    // b1: macro number; b2: play mode 0-3
constexpr std::uint8_t MacroRepeat = 0x71;  // b1: macro number; b2: repeat count
constexpr std::uint8_t GunKey = 0x72;       // b1: gun key index
constexpr std::uint8_t Special = 0xA0;      // b1: SpecialKey
constexpr std::uint8_t MKey = 0xD0;         // b1: 0xA2; b2: 1-5 for M1-M5
}  // namespace KeyType

// Modifier bits (b1 of a keyboard code).
namespace ModifierBit {
constexpr std::uint8_t LeftCtrl = 0x01;
constexpr std::uint8_t LeftShift = 0x02;
constexpr std::uint8_t LeftAlt = 0x04;
constexpr std::uint8_t LeftWin = 0x08;
constexpr std::uint8_t RightCtrl = 0x10;
constexpr std::uint8_t RightShift = 0x20;
constexpr std::uint8_t RightAlt = 0x40;
constexpr std::uint8_t RightWin = 0x80;
}  // namespace ModifierBit

// Button bits (b1 of a mouse button code).
namespace MouseButtonBit {
constexpr std::uint8_t Left = 0x01;
constexpr std::uint8_t Right = 0x02;
constexpr std::uint8_t Middle = 0x04;
constexpr std::uint8_t Back = 0x08;
constexpr std::uint8_t Forward = 0x10;
}  // namespace MouseButtonBit

namespace DpiFunction {
constexpr std::uint8_t Up = 0x01;
constexpr std::uint8_t Down = 0x02;
constexpr std::uint8_t Loop = 0x03;
}  // namespace DpiFunction

namespace SystemFunction {
constexpr std::uint8_t Power = 0x01;
constexpr std::uint8_t Sleep = 0x02;
constexpr std::uint8_t WakeUp = 0x04;
}  // namespace SystemFunction

namespace SpecialKey {
constexpr std::uint8_t Off = 0x00;
constexpr std::uint8_t Fn = 0x01;
constexpr std::uint8_t SmartKey = 0x02;
constexpr std::uint8_t Gm = 0x1B;
constexpr std::uint8_t Position17 = 0x24;  // the key at layout position 17
}  // namespace SpecialKey

constexpr std::uint8_t kMKeyB1 = 0xA2;
// Macro play modes of a MacroPlay code; the page's mode 4 builds a MacroRepeat code instead.
constexpr int kMacroPlayModes = 4;

// A disabled key.
constexpr KeyCode kDisabledKey{};
// The code of an empty layout position.
constexpr KeyCode kEmptyKey{KeyType::Keyboard, 0, 0};

// The profile's integer form (packKeyCode): type x 65536 + b1 x 256 + b2.
constexpr std::int64_t PackKeyCode(KeyCode code) {
    return packKeyCode(KeyAssignment{0, code.type, code.b1, code.b2, 0});
}
// Nothing for an integer outside 0-0xFFFFFF (it is no key code).
std::optional<KeyCode> UnpackKeyCode(std::int64_t value);

// The device form: 3 bytes in order.
constexpr std::array<std::uint8_t, 3> KeyCodeBytes(KeyCode code) {
    return {code.type, code.b1, code.b2};
}
constexpr KeyCode KeyCodeFromBytes(std::span<const std::uint8_t, 3> bytes) {
    return {bytes[0], bytes[1], bytes[2]};
}
constexpr std::size_t kKeyCodeSize = 3;

// Entry k of a device key code table (k x 3 bytes in). False (code unchanged) when the entry lies
// beyond the table.
bool ReadKeyTableEntry(std::span<const std::uint8_t> table, std::size_t k, KeyCode& code);
// False (table unchanged) when the entry lies beyond the table.
bool WriteKeyTableEntry(std::span<std::uint8_t> table, std::size_t k, KeyCode code);

// The in-memory record form.
constexpr KeyCode KeyCodeOf(const KeyAssignment& a) {
    return {a.type, a.b1, a.b2};
}
constexpr KeyAssignment MakeAssignment(std::uint16_t position, KeyCode code) {
    return {position, code.type, code.b1, code.b2, 0};
}

// Six upper-case hex digits, type first ("200005"): the neutral name of any code.
std::string KeyCodeHex(KeyCode code);

}  // namespace qm::keys
