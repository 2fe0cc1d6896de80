#include "device/model/key_position_table.h"

#include <algorithm>

namespace qm {
namespace {

constexpr PositionKeyCode key(std::uint8_t usage) {
    return {0x20, 0x00, usage};
}
constexpr PositionKeyCode modifier(std::uint8_t bit) {
    return {0x20, bit, 0x00};
}
constexpr PositionKeyCode kE = kEmptyKeyCode;
constexpr PositionKeyCode mKey(std::uint8_t n) {
    return {0xD0, 0xA2, n};
}

// clang-format off
constexpr KeyPositionTable kTable = {
    // 0-20: Esc, F1-F12, Print Screen, Scroll Lock, Pause, GM, special key, three empty.
    key(0x29), key(0x3A), key(0x3B), key(0x3C), key(0x3D), key(0x3E), key(0x3F), key(0x40),
    key(0x41), key(0x42), key(0x43), key(0x44), key(0x45), key(0x46), key(0x47), key(0x48),
    PositionKeyCode{0xA0, 0x1B, 0x00}, PositionKeyCode{0xA0, 0x24, 0x00}, kE, kE, kE,
    // 21-41: ` 1-0 - = Backspace Insert Home PageUp NumLock Num/ Num* Num-.
    key(0x35), key(0x1E), key(0x1F), key(0x20), key(0x21), key(0x22), key(0x23), key(0x24),
    key(0x25), key(0x26), key(0x27), key(0x2D), key(0x2E), key(0x2A), key(0x49), key(0x4A),
    key(0x4B), key(0x53), key(0x54), key(0x55), key(0x56),
    // 42-62: Tab Q-P [ ] \ Delete End PageDown Num7-9 K42.
    key(0x2B), key(0x14), key(0x1A), key(0x08), key(0x15), key(0x17), key(0x1C), key(0x18),
    key(0x0C), key(0x12), key(0x13), key(0x2F), key(0x30), key(0x31), key(0x4C), key(0x4D),
    key(0x4E), key(0x5F), key(0x60), key(0x61), key(0x32),
    // 63-83: CapsLock A-L ; ' Enter Num4-6 K132 K131 K151 K150 K133.
    key(0x39), key(0x04), key(0x16), key(0x07), key(0x09), key(0x0A), key(0x0B), key(0x0D),
    key(0x0E), key(0x0F), key(0x33), key(0x34), key(0x28), key(0x5C), key(0x5D), key(0x5E),
    key(0x8A), key(0x8B), key(0x90), key(0x91), key(0x88),
    // 84-104: LShift Z-M , . / RShift Up Num1-3 K56 K14 K45 K107, empty.
    modifier(0x02), key(0x1D), key(0x1B), key(0x06), key(0x19), key(0x05), key(0x11),
    key(0x10), key(0x36), key(0x37), key(0x38), modifier(0x20), key(0x52), key(0x59),
    key(0x5A), key(0x5B), key(0x87), key(0x89), key(0x64), key(0x85), kE,
    // 105-125: LCtrl LWin LAlt Space RAlt FN App RCtrl Left Down Right Num0 Num. NumEnter Num+
    // M1-M5 RWin.
    modifier(0x01), modifier(0x08), modifier(0x04), key(0x2C), modifier(0x40),
    PositionKeyCode{0xA0, 0x01, 0x00}, key(0x65), modifier(0x10), key(0x50), key(0x51),
    key(0x4F), key(0x62), key(0x63), key(0x58), key(0x57), mKey(1), mKey(2), mKey(3), mKey(4),
    mKey(5), modifier(0x80),
    // 126-169: empty.
    kE, kE, kE, kE, kE, kE, kE, kE, kE, kE, kE, kE, kE, kE, kE, kE, kE, kE, kE, kE, kE, kE,
    kE, kE, kE, kE, kE, kE, kE, kE, kE, kE, kE, kE, kE, kE, kE, kE, kE, kE, kE, kE, kE, kE,
};
// clang-format on

}  // namespace

const KeyPositionTable& keyPositionTable() {
    return kTable;
}

PositionMaps buildPositionMaps(std::span<const std::uint8_t> codes,
                               std::span<const std::uint8_t> leds, std::size_t keyCount) {
    PositionMaps maps;
    const std::size_t keys = std::min({keyCount, kMaxDeviceKeys, codes.size() / 3});
    for (std::size_t p = 0; p < kLayoutPositions; ++p) {
        for (std::size_t k = 0; k < keys; ++k) {
            const PositionKeyCode code{codes[k * 3], codes[k * 3 + 1], codes[k * 3 + 2]};
            if (code == kTable[p]) {
                maps.key[p] = static_cast<std::uint8_t>(k);
                break;
            }
        }
    }
    for (std::size_t p = 0; p < kLayoutPositions; ++p) {
        const std::uint8_t k = maps.key[p];
        if (k == kNoPosition || k == kDeviceKeyWithoutLed || k >= leds.size())
            continue;
        // The device's LED index is trusted only inside the 170 LEDs a frame can carry.
        if (leds[k] < kLayoutPositions)
            maps.led[p] = leds[k];
    }
    return maps;
}

}  // namespace qm
