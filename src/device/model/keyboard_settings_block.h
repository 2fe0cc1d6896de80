// The keyboard's 55-byte settings block (commands 0x05 / 0x06, one 64-byte slot per on-board
// profile) and its system settings, with the codec between them and the profile's records.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "profile/profile_records.h"

namespace qm {

inline constexpr std::size_t kKeyboardSettingsSize = 55;
inline constexpr std::size_t kKeyboardSlotStride = 64;
static_assert(kKeyboardSettingsSize <= kKeyboardSlotStride);
using KeyboardSettingsBlock = std::array<std::uint8_t, kKeyboardSettingsSize>;

// Byte offsets in the block.
struct KeyboardBlock {
    static constexpr std::size_t kFirstByte = 0;  // written as the caller's byte; read: the slot
    static constexpr std::size_t kMode = 1;
    static constexpr std::size_t kLight = 2;
    static constexpr std::size_t kSpeed = 3;  // 4 - Speed
    static constexpr std::size_t kFx = 4;
    static constexpr std::size_t kMultiColor = 5;
    static constexpr std::size_t kRed = 6;
    static constexpr std::size_t kGreen = 7;
    static constexpr std::size_t kBlue = 8;
    static constexpr std::size_t kCleared = 16;      // cleared in the mirror on every read
    static constexpr std::size_t kSecondValue = 17;  // set by notification 0x11xx
    static constexpr std::size_t kZZCCLedMode = 18;
    static constexpr std::size_t kWFlag = 19;
    static constexpr std::size_t kKey6Flag = 20;
    static constexpr std::size_t kWinFlag = 21;
    static constexpr std::size_t kPollingRate = 22;
    static constexpr std::size_t kCustomGroup = 25;
    static constexpr std::size_t kLogoledmode = 27;
    static constexpr std::size_t kLogoledlight = 28;
    static constexpr std::size_t kLogoledspeed = 29;
    static constexpr std::size_t kLogoledMultiColor = 30;
    static constexpr std::size_t kLogoledColor = 31;
};
static_assert(KeyboardBlock::kLogoledColor < kKeyboardSettingsSize);

// Mode device code of the two host-streamed modes (values 29 and 30).
inline constexpr std::uint8_t kHostStreamedModeCode = 0xFE;
// Mode indexes from this one on count as mode 0.
inline constexpr int kKeyboardModeLimit = 31;

// "SystemStages": six 16-bit values. Repeat and RepeatDelay live in the profile only; no device
// command carries them.
struct KeyboardSystemStages {
    std::uint16_t Repeat = 0;
    std::uint16_t RepeatDelay = 0;  // index d: (d + 1) x 250 ms
    std::uint16_t Key6Flag = 0;
    std::uint16_t PollingRate = 0;
    std::uint16_t WFlag = 0;
    std::uint16_t WinFlag = 0;

    // The profile's three words: (Repeat, RepeatDelay), (Key6Flag, PollingRate), (WFlag,
    // WinFlag), the first of each pair in the low half.
    static KeyboardSystemStages fromWords(const SystemStageWords& words);
    SystemStageWords toWords() const;

    bool operator==(const KeyboardSystemStages&) const = default;
};

// The mode device code sent for a mode index: entry SelectItem of the value list (an index of 31
// or more counts as 0; an index past the list sends entry 0; an empty list sends the index
// itself); values 29 and 30 go out as 0xFE.
std::uint8_t keyboardModeCode(int selectItem, std::span<const int> modeValues);
// The mode index of a device code: the first list entry holding it, else the code itself.
int keyboardModeIndex(std::uint8_t code, std::span<const int> modeValues);

// Builds the block the host writes.
KeyboardSettingsBlock encodeKeyboardSettings(const LightInfo& light,
                                             const KeyboardSystemStages& stages,
                                             std::span<const int> modeValues,
                                             std::uint8_t firstByte);

// What a block read back changes. Fields the block does not carry (OldLedmode, the unsaved
// bytes, PollingRate, Repeat, RepeatDelay) keep the values of the records passed in; a mode code
// of 0xFE keeps the current SelectItem.
struct DecodedKeyboardSettings {
    LightInfo light;
    KeyboardSystemStages stages;
};
DecodedKeyboardSettings decodeKeyboardSettings(const KeyboardSettingsBlock& block,
                                               std::span<const int> modeValues,
                                               const LightInfo& current,
                                               const KeyboardSystemStages& currentStages);

// The settings a page or the command line sets one at a time, each with its range.
enum class KeyboardSetting {
    SelectItem,
    Light,
    Speed,
    Fx,
    MultiColor,
    Red,
    Green,
    Blue,
    ZZCCLedMode,
    CustomGroup,
    Logoledmode,
    Logoledlight,
    Logoledspeed,
    LogoledMultiColor,
    LogoledColor,
    Repeat,
    RepeatDelay,
    Key6Flag,
    PollingRate,
    WFlag,
    WinFlag,
    Count
};

struct KeyboardSettingInfo {
    KeyboardSetting setting;
    const char* name;  // the profile's key
    int min;
    int max;
    bool sentToDevice;  // false: profile only (Repeat, RepeatDelay)
};
const KeyboardSettingInfo& keyboardSettingInfo(KeyboardSetting setting);
// By profile key, case-insensitively.
std::optional<KeyboardSetting> keyboardSettingByName(std::string_view name);

// One setting's value in the records, and a write of it (the caller checks the range).
int keyboardSettingValue(KeyboardSetting setting, const LightInfo& light,
                         const KeyboardSystemStages& stages);
void setKeyboardSettingValue(KeyboardSetting setting, int value, LightInfo& light,
                             KeyboardSystemStages& stages);

}  // namespace qm
