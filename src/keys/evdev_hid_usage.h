// Linux input key codes (evdev, as in linux/input-event-codes.h) to HID keyboard usages, for
// capturing a key in the desktop app. X11 and Wayland native scan codes are the evdev code + 8.
#pragma once

#include <cstdint>

namespace qm::keys {

constexpr unsigned kNativeScanCodeOffset = 8;

// The HID usage (Keyboard/Keypad page) of an evdev key code; 0 for codes without one.
std::uint8_t EvdevToHidUsage(unsigned evdevCode);

// The same for an X11/Wayland native scan code; 0 for codes below the offset.
std::uint8_t NativeScanCodeToHidUsage(unsigned scanCode);

// The keyboard key table row (kKeyboardKeys) of an evdev key code; -1 when the key has no row.
int KeyboardRowForEvdev(unsigned evdevCode);

}  // namespace qm::keys
