#include "keys/key_page.h"

#include <algorithm>
#include <climits>
#include <span>

#include "keys/key_function_tables.h"
#include "keys/keyboard_key_table.h"

namespace qm::keys {
namespace {

constexpr int kNibbleMask = 15;
constexpr int kMaxCount = 127;      // a count in bits 0-6
constexpr int kMaxDownCount = 128;  // bits 0-6 hold 128 - count, so 0 stands for 128
constexpr int kMaxByte = 255;

std::uint8_t clampTo(int value, int high) {
    return static_cast<std::uint8_t>(std::clamp(value, 0, high));
}

// Delay and speed keep their low four bits, as the page always did.
std::uint8_t delaySpeedByte(int delay, int speed) {
    return static_cast<std::uint8_t>((delay & kNibbleMask) << 4 | (speed & kNibbleMask));
}

template <typename Row>
const Row* rowAt(std::span<const Row> rows, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= rows.size())
        return nullptr;
    return &rows[static_cast<std::size_t>(index)];
}

std::uint8_t modifierByte(const KeyPageControls& controls) {
    if (controls.modifierOption == ModifierOptionFor(controls.modifiers))
        return controls.modifiers;
    if (controls.modifierOption >= ModifierOption::Ctrl &&
        controls.modifierOption <= ModifierOption::Win)
        return static_cast<std::uint8_t>(1u << (controls.modifierOption - 1));
    return 0;
}

KeyCode macroCode(const KeyPageControls& controls, KeyCode current, int macroCount) {
    const int m = controls.macroRow;
    if (m < 0 || m >= macroCount || m > kMaxByte)
        return current;
    const auto number = static_cast<std::uint8_t>(m);
    if (controls.macroPlayMode == kRepeatPlayMode)
        return {KeyType::MacroRepeat, number, clampTo(controls.macroRepeat, kMaxByte)};
    if (controls.macroPlayMode < 0 || controls.macroPlayMode >= kMacroPlayModes)
        return current;
    return {KeyType::MacroPlay, number, static_cast<std::uint8_t>(controls.macroPlayMode)};
}

std::uint8_t wheelByte(int direction, int count) {
    if (direction != 1)
        return clampTo(count, kMaxCount);
    const int down = std::clamp(count, 0, kMaxDownCount);
    // Nothing to scroll: a downward 0 would read as 128 steps down.
    if (down == 0)
        return 0;
    return static_cast<std::uint8_t>((kMaxDownCount - down) | 0x80);
}

void showKeyboardCode(KeyPageControls& controls, KeyCode code) {
    controls.category = KeyCategory::KeyboardKey;
    controls.keyUsage = code.b2;
    controls.modifiers = code.b1;
    controls.modifierOption = ModifierOptionFor(code.b1);
}

int categoryOf(KeyCode code) {
    switch (code.type) {
        case KeyType::MouseButton:
            return KeyCategory::MouseKey;
        case KeyType::MouseSwing:
            return KeyCategory::MouseSwing;
        case KeyType::Wheel:
            return KeyCategory::Wheel;
        case KeyType::Dpi:
            return KeyCategory::Dpi;
        case KeyType::Fire:
            return KeyCategory::Fire;
        case KeyType::Keyboard:
            return KeyCategory::KeyboardKey;
        case KeyType::Consumer:
            return KeyCategory::Media;
        case KeyType::System:
            return KeyCategory::System;
        case KeyType::MacroPlay:
        case KeyType::MacroRepeat:
            return KeyCategory::Macro;
        case KeyType::GunKey:
            return KeyCategory::GunKey;
        default:
            return KeyCategory::None;
    }
}

}  // namespace

bool IsCategoryVisible(int deviceType, int category) {
    if (category < KeyCategory::MouseKey || category > KeyCategory::CombinationKey)
        return false;
    if (deviceType == kKeyboardDeviceType)
        return category != KeyCategory::Dpi && category != KeyCategory::GunKey;
    return true;
}

int ModifierOptionFor(std::uint8_t modifiers) {
    if (modifiers == 0)
        return ModifierOption::None;
    for (int row = 0; row < kModifierRows; ++row) {
        if (kKeyboardKeys[static_cast<std::size_t>(row)].code.b1 == modifiers)
            return row % 4 + 1;  // left and right of a modifier share its option
    }
    return ModifierOption::Unselected;
}

KeyCode BuildCode(const KeyPageControls& controls, KeyCode current, KeyCode defaults,
                  const KeyPageContext& context) {
    switch (controls.category) {
        case KeyCategory::None:
            return current;
        case KeyCategory::MouseKey: {
            const auto* row = rowAt<FunctionRow>(kMouseKeys, controls.mouseKeyRow);
            return row != nullptr ? row->code : current;
        }
        case KeyCategory::MouseSwing: {
            std::uint8_t b2 = clampTo(controls.swingCount, kMaxCount);
            if (controls.swingDirection == 1)
                b2 |= 0x80;
            return {KeyType::MouseSwing, delaySpeedByte(controls.swingDelay, controls.swingSpeed),
                    b2};
        }
        case KeyCategory::Wheel:
            return {KeyType::Wheel, delaySpeedByte(controls.wheelDelay, controls.wheelSpeed),
                    wheelByte(controls.wheelDirection, controls.wheelCount)};
        case KeyCategory::Dpi: {
            const auto* row = rowAt<FunctionRow>(kDpiFunctions, controls.dpiRow);
            return row != nullptr ? row->code : current;
        }
        case KeyCategory::Fire:
            return {KeyType::Fire, clampTo(controls.fireInterval, kMaxByte),
                    clampTo(controls.fireShots, kMaxByte)};
        case KeyCategory::KeyboardKey:
            return {KeyType::Keyboard, modifierByte(controls), controls.keyUsage};
        case KeyCategory::Media: {
            const auto* row = rowAt<FunctionRow>(kMediaKeys, controls.mediaRow);
            return row != nullptr ? row->code : current;
        }
        case KeyCategory::System: {
            const auto* row = rowAt<FunctionRow>(kSystemKeys, controls.systemRow);
            return row != nullptr ? row->code : current;
        }
        case KeyCategory::Macro:
            return macroCode(controls, current, context.macroCount);
        case KeyCategory::GunKey:
            if (controls.gunKeyRow < 0 || controls.gunKeyRow > kMaxByte)
                return current;
            return {KeyType::GunKey, static_cast<std::uint8_t>(controls.gunKeyRow), 0};
        case KeyCategory::CombinationKey: {
            const auto* row = rowAt<KeyCode>(kCombinationKeys, controls.combinationRow);
            return row != nullptr ? *row : current;
        }
        default:
            return defaults;
    }
}

KeyPageControls ShowCode(KeyPageControls controls, KeyCode code, const KeyPageContext& context) {
    int category = categoryOf(code);
    switch (code.type) {
        case KeyType::MouseButton:
            controls.mouseKeyRow = FindFunctionRow(kMouseKeys, code);
            break;
        case KeyType::MouseSwing:
            controls.swingDelay = code.b1 >> 4;
            controls.swingSpeed = code.b1 & 15;
            controls.swingCount = code.b2 & 127;
            controls.swingDirection = (code.b2 & 0x80) != 0 ? 1 : 0;
            break;
        case KeyType::Wheel:
            controls.wheelDelay = code.b1 >> 4;
            controls.wheelSpeed = code.b1 & 15;
            controls.wheelDirection = (code.b2 & 0x80) != 0 ? 1 : 0;
            controls.wheelCount =
                controls.wheelDirection == 1 ? kMaxDownCount - (code.b2 & 127) : code.b2 & 127;
            break;
        case KeyType::Dpi:
            controls.dpiRow = FindFunctionRow(kDpiFunctions, code);
            break;
        case KeyType::Fire:
            controls.fireInterval = code.b1;
            controls.fireShots = code.b2;
            break;
        case KeyType::Keyboard:
            // Several modifiers including right Win: a combination key row when one matches,
            // otherwise the code shows as a keyboard key that keeps its modifiers.
            if (code.b1 > 0x80) {
                const int row = FindCombinationRow(code);
                if (row >= 0) {
                    controls.combinationRow = row;
                    category = KeyCategory::CombinationKey;
                    break;
                }
            }
            showKeyboardCode(controls, code);
            break;
        case KeyType::Consumer:
            controls.mediaRow = FindFunctionRow(kMediaKeys, code);
            break;
        case KeyType::System:
            controls.systemRow = FindFunctionRow(kSystemKeys, code);
            break;
        case KeyType::MacroPlay:
        case KeyType::MacroRepeat:
            // A macro that no longer exists leaves no macro selected, so applying keeps the code.
            controls.macroRow = code.b1 < context.macroCount ? code.b1 : -1;
            if (code.type == KeyType::MacroRepeat) {
                controls.macroPlayMode = kRepeatPlayMode;
                controls.macroRepeat = code.b2;
            } else {
                controls.macroPlayMode = code.b2 < kMacroPlayModes ? code.b2 : -1;
            }
            break;
        case KeyType::GunKey:
            controls.gunKeyRow = code.b1;
            break;
        default:
            break;
    }
    controls.category =
        IsCategoryVisible(context.deviceType, category) ? category : KeyCategory::None;
    return controls;
}

KeyPageControls ChangeCategory(KeyPageControls controls, int category) {
    controls.category = category;
    if (category == KeyCategory::KeyboardKey) {
        controls.keyUsage = 0;
        controls.modifiers = 0;
        controls.modifierOption = ModifierOption::Unselected;
    }
    return controls;
}

bool CaptureKeyRow(KeyPageControls& controls, int row) {
    if (row < 0 || row >= kFirstFunctionKeyRow)
        return false;
    const KeyCode code = kKeyboardKeys[static_cast<std::size_t>(row)].code;
    if (row < kModifierRows) {
        controls.keyUsage = 0;
        controls.modifiers = code.b1;
        controls.modifierOption = ModifierOptionFor(code.b1);
    } else {
        controls.keyUsage = code.b2;
    }
    return true;
}

std::string KeyEditCaption(const KeyPageControls& controls, const TranslateFn& translate) {
    if (controls.keyUsage == 0)
        return {};
    const int row = KeyboardRowForUsage(controls.keyUsage);
    if (row < kFirstPlainKeyRow)
        return KeyCodeHex({KeyType::Keyboard, 0, controls.keyUsage});
    return Translated(translate, kKeyboardKeys[static_cast<std::size_t>(row)].textId);
}

int ReadEditNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min<long long>(value * 10 + (text[i] - '0'), 1LL + INT_MAX);
    }
    if (negative)
        value = -value;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

}  // namespace qm::keys
