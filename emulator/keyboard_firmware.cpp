// The keyboard's factory firmware: 122 keys scanned column by column through a 6 x 21 matrix,
// LEDs chained row by row in a serpentine, four profile blocks of 64 bytes.
#include <array>
#include <cstdint>

#include "emulator/firmware_memory.h"

namespace qm::emu {
namespace {

struct KeyCode {
    std::uint8_t type = 0x20;
    std::uint8_t b1 = 0;
    std::uint8_t b2 = 0;

    constexpr bool empty() const { return type == 0x20 && b1 == 0 && b2 == 0; }
};

constexpr KeyCode key(std::uint8_t usage) {
    return {0x20, 0x00, usage};
}
constexpr KeyCode modifier(std::uint8_t bit) {
    return {0x20, bit, 0x00};
}
constexpr KeyCode kEmpty{};
constexpr KeyCode kGm{0xA0, 0x1B, 0x00};
constexpr KeyCode kSpecial{0xA0, 0x24, 0x00};
constexpr KeyCode kFn{0xA0, 0x01, 0x00};
constexpr KeyCode mKey(std::uint8_t n) {
    return {0xD0, 0xA2, n};
}

constexpr std::size_t kRows = 6;
constexpr std::size_t kColumns = 21;

// The keys of the matrix, row by row as the keyboard picture numbers them; 126-169 are empty.
// clang-format off
constexpr std::array<KeyCode, kRows * kColumns> kMatrix = {
    // Row 0: Esc, F1-F12, Print Screen, Scroll Lock, Pause, GM, special, three empty.
    key(0x29), key(0x3A), key(0x3B), key(0x3C), key(0x3D), key(0x3E), key(0x3F), key(0x40),
    key(0x41), key(0x42), key(0x43), key(0x44), key(0x45), key(0x46), key(0x47), key(0x48),
    kGm, kSpecial, kEmpty, kEmpty, kEmpty,
    // Row 1: ` 1-0 - = Backspace Insert Home PageUp NumLock Num/ Num* Num-.
    key(0x35), key(0x1E), key(0x1F), key(0x20), key(0x21), key(0x22), key(0x23), key(0x24),
    key(0x25), key(0x26), key(0x27), key(0x2D), key(0x2E), key(0x2A), key(0x49), key(0x4A),
    key(0x4B), key(0x53), key(0x54), key(0x55), key(0x56),
    // Row 2: Tab Q-P [ ] \ Delete End PageDown Num7-9 K42.
    key(0x2B), key(0x14), key(0x1A), key(0x08), key(0x15), key(0x17), key(0x1C), key(0x18),
    key(0x0C), key(0x12), key(0x13), key(0x2F), key(0x30), key(0x31), key(0x4C), key(0x4D),
    key(0x4E), key(0x5F), key(0x60), key(0x61), key(0x32),
    // Row 3: CapsLock A-L ; ' Enter Num4-6 K132 K131 K151 K150 K133.
    key(0x39), key(0x04), key(0x16), key(0x07), key(0x09), key(0x0A), key(0x0B), key(0x0D),
    key(0x0E), key(0x0F), key(0x33), key(0x34), key(0x28), key(0x5C), key(0x5D), key(0x5E),
    key(0x8A), key(0x8B), key(0x90), key(0x91), key(0x88),
    // Row 4: LShift Z-M , . / RShift Up Num1-3 K56 K14 K45 K107, empty.
    modifier(0x02), key(0x1D), key(0x1B), key(0x06), key(0x19), key(0x05), key(0x11),
    key(0x10), key(0x36), key(0x37), key(0x38), modifier(0x20), key(0x52), key(0x59),
    key(0x5A), key(0x5B), key(0x87), key(0x89), key(0x64), key(0x85), kEmpty,
    // Row 5: LCtrl LWin LAlt Space RAlt FN App RCtrl Left Down Right Num0 Num. NumEnter Num+
    // M1-M5 RWin.
    modifier(0x01), modifier(0x08), modifier(0x04), key(0x2C), modifier(0x40), kFn, key(0x65),
    modifier(0x10), key(0x50), key(0x51), key(0x4F), key(0x62), key(0x63), key(0x58),
    key(0x57), mKey(1), mKey(2), mKey(3), mKey(4), mKey(5), modifier(0x80),
};
// clang-format on

constexpr std::size_t countKeys() {
    std::size_t keys = 0;
    for (const KeyCode& code : kMatrix)
        keys += code.empty() ? 0 : 1;
    return keys;
}
static_assert(countKeys() == 122 && countKeys() * 3 <= 512, "the key table must fit one bank");

// Keys without an LED of their own: the special key and the M keys.
bool hasLed(const KeyCode& code) {
    return code.type != 0xD0 && !(code.type == 0xA0 && code.b1 == 0x24);
}

constexpr std::size_t kProfileCount = 4;
constexpr std::size_t kProfileStride = 64;
constexpr std::size_t kCustomPages = 8;
constexpr std::uint8_t kMacroUnits = 32;

// Settings block bytes the factory sets (the layout the host writes).
constexpr std::size_t kModeCode = 1;
constexpr std::size_t kBrightness = 2;
constexpr std::size_t kSpeed = 3;  // stored as 4 - speed level
constexpr std::size_t kMultiColour = 5;
constexpr std::size_t kRed = 6;
constexpr std::size_t kPollingRate = 22;
constexpr std::size_t kLogoBrightness = 28;
constexpr std::size_t kLogoSpeed = 29;
constexpr std::size_t kLogoMultiColour = 30;

std::vector<std::uint8_t> factoryParams() {
    std::vector<std::uint8_t> params(kProfileCount * kProfileStride, 0);
    for (std::size_t p = 0; p < kProfileCount; ++p) {
        std::uint8_t* block = params.data() + p * kProfileStride;
        block[kModeCode] = 0;
        block[kBrightness] = 4;
        block[kSpeed] = 2;
        block[kMultiColour] = 1;
        block[kRed] = block[kRed + 1] = block[kRed + 2] = 0xFF;
        block[kPollingRate] = 3;
        block[kLogoBrightness] = 4;
        block[kLogoSpeed] = 2;
        block[kLogoMultiColour] = 1;
    }
    params[0] = 0;  // the active profile
    return params;
}

}  // namespace

FirmwareSpec keyboardFirmware() {
    FirmwareSpec spec;
    spec.name = "keyboard";
    spec.profileStride = kProfileStride;

    // LED chain: row 0 left to right, row 1 right to left, and so on.
    std::array<std::uint8_t, kRows * kColumns> ledOf{};
    ledOf.fill(0xFF);
    std::uint8_t leds = 0;
    for (std::size_t row = 0; row < kRows; ++row) {
        for (std::size_t i = 0; i < kColumns; ++i) {
            const std::size_t column = row % 2 == 0 ? i : kColumns - 1 - i;
            const KeyCode& code = kMatrix[row * kColumns + column];
            if (!code.empty() && hasLed(code))
                ledOf[row * kColumns + column] = leds++;
        }
    }

    // Key order: the matrix scan, column by column.
    std::vector<std::uint8_t> codes;
    std::vector<std::uint8_t> ledIndexes;
    for (std::size_t column = 0; column < kColumns; ++column) {
        for (std::size_t row = 0; row < kRows; ++row) {
            const KeyCode& code = kMatrix[row * kColumns + column];
            if (code.empty())
                continue;
            codes.insert(codes.end(), {code.type, code.b1, code.b2});
            ledIndexes.push_back(ledOf[row * kColumns + column]);
        }
    }
    const auto keyCount = static_cast<std::uint8_t>(ledIndexes.size());

    DeviceInfo info;
    info.firmwareMajor = 1;
    info.firmwareMinor = 7;
    info.productId = 0x5055;
    info.deviceType = 1;
    info.keyCount = keyCount;
    info.macroUnits = kMacroUnits;
    info.profileCount = kProfileCount;
    info.ledCount = leds;
    info.modelName = "Quillmark K1";
    spec.info = encodeDeviceInfo(info);

    spec.factory[Area::Params] = factoryParams();
    spec.factory[Area::KeyCodes] = codes;
    spec.factory[Area::KeyBytes] = ledIndexes;
    spec.factory[Area::Macro].assign(kMacroUnits * kMacroUnitBytes, 0);
    spec.factory[Area::CustomLighting].assign(kCustomPages * kCustomLightingPageSize, 0);
    spec.factory[Area::Status] = {80, 2, 0, 0, 0, 0};
    spec.frameLength = codes.size();  // 3 bytes per key
    spec.slotEvents = true;
    return spec;
}

}  // namespace qm::emu
