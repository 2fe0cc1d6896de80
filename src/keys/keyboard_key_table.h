// The keyboard keys a key can be given: the key capture, the key captions and the command line
// names all go through this table.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "keys/key_code.h"

namespace qm::keys {

struct KeyboardKeyRow {
    std::string_view textId;   // language key of the key's name
    std::uint16_t virtualKey;  // Windows virtual-key code; 0xFF none, 0x101 keypad Enter
    KeyCode code;
};

// Rows 0-7 are the modifiers alone (in ModifierBit order), rows 8-113 plain keys (type 0x20, b1 0,
// the HID usage in b2), rows 114-141 media, system, M and special keys.
constexpr std::size_t kKeyboardKeyRows = 142;
constexpr int kModifierRows = 8;
constexpr int kFirstPlainKeyRow = 8;
constexpr int kFirstFunctionKeyRow = 114;
extern const std::array<KeyboardKeyRow, kKeyboardKeyRows> kKeyboardKeys;

// A language key that names the lighting key; no row carries it.
inline constexpr std::string_view kColorKeyTextId = "keyboard_key_COLOR";

// The row of a HID keyboard usage: a plain key (rows 8-113), or a modifier alone for the modifier
// usages 0xE0-0xE7 (rows 0-7). -1 when the table has no such key.
int KeyboardRowForUsage(std::uint8_t usage);

// The first row with exactly this code; -1 when none.
int KeyboardRowForCode(KeyCode code);

}  // namespace qm::keys
