#include "device/model/keyboard_settings_block.h"

#include "platform/ascii_text.h"

#include <algorithm>

#include <string>

namespace qm {
namespace {

std::uint16_t low(std::uint32_t word) {
    return static_cast<std::uint16_t>(word & 0xFFFF);
}
std::uint16_t high(std::uint32_t word) {
    return static_cast<std::uint16_t>(word >> 16);
}
std::uint32_t pack(std::uint16_t lowHalf, std::uint16_t highHalf) {
    return std::uint32_t{lowHalf} | std::uint32_t{highHalf} << 16;
}

// clang-format off
// Ranges the documentation gives; a byte's full range where it gives none. Repeat follows the
// system's keyboard repeat rate scale (0-31), RepeatDelay its four delays.
constexpr KeyboardSettingInfo kSettings[] = {
    {KeyboardSetting::SelectItem,        "SelectItem",        0, kKeyboardModeLimit - 1, true},
    {KeyboardSetting::Light,             "Light",             0, 4,   true},
    {KeyboardSetting::Speed,             "Speed",             0, 4,   true},
    {KeyboardSetting::Fx,                "Fx",                0, 1,   true},
    {KeyboardSetting::MultiColor,        "MultiColor",        0, 1,   true},
    {KeyboardSetting::Red,               "Red",               0, 255, true},
    {KeyboardSetting::Green,             "Green",             0, 255, true},
    {KeyboardSetting::Blue,              "Blue",              0, 255, true},
    {KeyboardSetting::ZZCCLedMode,       "ZZCCLedMode",       0, 255, true},
    {KeyboardSetting::CustomGroup,       "CustomGroup",       0, 255, true},
    {KeyboardSetting::Logoledmode,       "Logoledmode",       0, 255, true},
    {KeyboardSetting::Logoledlight,      "Logoledlight",      0, 255, true},
    {KeyboardSetting::Logoledspeed,      "Logoledspeed",      0, 255, true},
    {KeyboardSetting::LogoledMultiColor, "LogoledMultiColor", 0, 1,   true},
    {KeyboardSetting::LogoledColor,      "LogoledColor",      0, 255, true},
    {KeyboardSetting::Repeat,            "Repeat",            0, 31,  false},
    {KeyboardSetting::RepeatDelay,       "RepeatDelay",       0, 3,   false},
    {KeyboardSetting::Key6Flag,          "Key6Flag",          0, 1,   true},
    {KeyboardSetting::PollingRate,       "PollingRate",       0, 3,   true},
    {KeyboardSetting::WFlag,             "WFlag",             0, 1,   true},
    {KeyboardSetting::WinFlag,           "WinFlag",           0, 1,   true},
};
// clang-format on
static_assert(std::size(kSettings) == static_cast<std::size_t>(KeyboardSetting::Count));

std::uint8_t* lightField(KeyboardSetting setting, LightInfo& light) {
    switch (setting) {
        case KeyboardSetting::SelectItem:
            return &light.SelectItem;
        case KeyboardSetting::Light:
            return &light.Light;
        case KeyboardSetting::Speed:
            return &light.Speed;
        case KeyboardSetting::Fx:
            return &light.Fx;
        case KeyboardSetting::MultiColor:
            return &light.MultiColor;
        case KeyboardSetting::Red:
            return &light.Red;
        case KeyboardSetting::Green:
            return &light.Green;
        case KeyboardSetting::Blue:
            return &light.Blue;
        case KeyboardSetting::ZZCCLedMode:
            return &light.ZZCCLedMode;
        case KeyboardSetting::CustomGroup:
            return &light.CustomGroup;
        case KeyboardSetting::Logoledmode:
            return &light.Logoledmode;
        case KeyboardSetting::Logoledlight:
            return &light.Logoledlight;
        case KeyboardSetting::Logoledspeed:
            return &light.Logoledspeed;
        case KeyboardSetting::LogoledMultiColor:
            return &light.LogoledMultiColor;
        case KeyboardSetting::LogoledColor:
            return &light.LogoledColor;
        default:
            return nullptr;
    }
}

std::uint16_t* stageField(KeyboardSetting setting, KeyboardSystemStages& stages) {
    switch (setting) {
        case KeyboardSetting::Repeat:
            return &stages.Repeat;
        case KeyboardSetting::RepeatDelay:
            return &stages.RepeatDelay;
        case KeyboardSetting::Key6Flag:
            return &stages.Key6Flag;
        case KeyboardSetting::PollingRate:
            return &stages.PollingRate;
        case KeyboardSetting::WFlag:
            return &stages.WFlag;
        case KeyboardSetting::WinFlag:
            return &stages.WinFlag;
        default:
            return nullptr;
    }
}

}  // namespace

KeyboardSystemStages KeyboardSystemStages::fromWords(const SystemStageWords& words) {
    return {low(words[0]),  high(words[0]), low(words[1]),
            high(words[1]), low(words[2]),  high(words[2])};
}

SystemStageWords KeyboardSystemStages::toWords() const {
    return {pack(Repeat, RepeatDelay), pack(Key6Flag, PollingRate), pack(WFlag, WinFlag)};
}

std::uint8_t keyboardModeCode(int selectItem, std::span<const int> modeValues) {
    int index = selectItem;
    if (index < 0 || index >= kKeyboardModeLimit)
        index = 0;
    int value = index;
    if (!modeValues.empty()) {
        // An index past the list would read beyond it: entry 0 stands in.
        if (static_cast<std::size_t>(index) >= modeValues.size())
            index = 0;
        value = modeValues[static_cast<std::size_t>(index)];
    }
    if (value == 29 || value == 30)
        return kHostStreamedModeCode;
    return static_cast<std::uint8_t>(value);
}

int keyboardModeIndex(std::uint8_t code, std::span<const int> modeValues) {
    for (std::size_t i = 0; i < modeValues.size(); ++i)
        if (modeValues[i] == code)
            return static_cast<int>(i);
    return code;
}

KeyboardSettingsBlock encodeKeyboardSettings(const LightInfo& light,
                                             const KeyboardSystemStages& stages,
                                             std::span<const int> modeValues,
                                             std::uint8_t firstByte) {
    using B = KeyboardBlock;
    KeyboardSettingsBlock block{};
    block[B::kFirstByte] = firstByte;
    block[B::kMode] = keyboardModeCode(light.SelectItem, modeValues);
    block[B::kLight] = light.Light;
    block[B::kSpeed] = static_cast<std::uint8_t>(4 - light.Speed);
    block[B::kFx] = light.Fx;
    block[B::kMultiColor] = light.MultiColor;
    block[B::kRed] = light.Red;
    block[B::kGreen] = light.Green;
    block[B::kBlue] = light.Blue;
    block[B::kZZCCLedMode] = light.ZZCCLedMode;
    block[B::kWFlag] = static_cast<std::uint8_t>(stages.WFlag);
    block[B::kKey6Flag] = static_cast<std::uint8_t>(stages.Key6Flag);
    block[B::kWinFlag] = static_cast<std::uint8_t>(stages.WinFlag);
    block[B::kPollingRate] = static_cast<std::uint8_t>(stages.PollingRate);
    block[B::kCustomGroup] = light.CustomGroup;
    block[B::kLogoledmode] = light.Logoledmode;
    block[B::kLogoledlight] = light.Logoledlight;
    block[B::kLogoledspeed] = light.Logoledspeed;
    block[B::kLogoledMultiColor] = light.LogoledMultiColor;
    block[B::kLogoledColor] = light.LogoledColor;
    return block;
}

DecodedKeyboardSettings decodeKeyboardSettings(const KeyboardSettingsBlock& block,
                                               std::span<const int> modeValues,
                                               const LightInfo& current,
                                               const KeyboardSystemStages& currentStages) {
    using B = KeyboardBlock;
    DecodedKeyboardSettings out{current, currentStages};
    LightInfo& light = out.light;
    // What the keyboard answers is kept within each field's range, so nothing later indexes or
    // wraps with a value the page cannot show.
    const auto within = [](KeyboardSetting setting, int value) {
        const KeyboardSettingInfo& info = keyboardSettingInfo(setting);
        return static_cast<std::uint8_t>(std::clamp(value, info.min, info.max));
    };
    if (block[B::kMode] != kHostStreamedModeCode)
        light.SelectItem =
            static_cast<std::uint8_t>(keyboardModeIndex(block[B::kMode], modeValues));
    light.Light = within(KeyboardSetting::Light, block[B::kLight]);
    light.Speed = within(KeyboardSetting::Speed, 4 - std::min<int>(block[B::kSpeed], 4));
    light.Fx = within(KeyboardSetting::Fx, block[B::kFx]);
    light.MultiColor = within(KeyboardSetting::MultiColor, block[B::kMultiColor]);
    light.Red = block[B::kRed];
    light.Green = block[B::kGreen];
    light.Blue = block[B::kBlue];
    light.ZZCCLedMode = block[B::kZZCCLedMode];
    light.CustomGroup = block[B::kCustomGroup];
    light.Logoledmode = block[B::kLogoledmode];
    light.Logoledlight = block[B::kLogoledlight];
    light.Logoledspeed = block[B::kLogoledspeed];
    light.LogoledMultiColor = block[B::kLogoledMultiColor];
    light.LogoledColor = block[B::kLogoledColor];
    out.stages.Key6Flag = within(KeyboardSetting::Key6Flag, block[B::kKey6Flag]);
    out.stages.WinFlag = within(KeyboardSetting::WinFlag, block[B::kWinFlag]);
    out.stages.WFlag = within(KeyboardSetting::WFlag, block[B::kWFlag]);
    return out;
}

const KeyboardSettingInfo& keyboardSettingInfo(KeyboardSetting setting) {
    const auto i = static_cast<std::size_t>(setting);
    return kSettings[i < std::size(kSettings) ? i : 0];
}

std::optional<KeyboardSetting> keyboardSettingByName(std::string_view name) {
    for (const KeyboardSettingInfo& info : kSettings)
        if (equalsIgnoringAsciiCase(info.name, name))
            return info.setting;
    return std::nullopt;
}

int keyboardSettingValue(KeyboardSetting setting, const LightInfo& light,
                         const KeyboardSystemStages& stages) {
    LightInfo l = light;
    KeyboardSystemStages s = stages;
    if (const std::uint8_t* field = lightField(setting, l))
        return *field;
    if (const std::uint16_t* field = stageField(setting, s))
        return *field;
    return 0;
}

void setKeyboardSettingValue(KeyboardSetting setting, int value, LightInfo& light,
                             KeyboardSystemStages& stages) {
    if (std::uint8_t* field = lightField(setting, light))
        *field = static_cast<std::uint8_t>(value);
    else if (std::uint16_t* field = stageField(setting, stages))
        *field = static_cast<std::uint16_t>(value);
}

}  // namespace qm
