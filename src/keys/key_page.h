// The logic of the key settings page without its widgets: the values of the page's controls, the
// code they build (BuildCode) and the values that show a code (ShowCode).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "keys/key_caption.h"
#include "keys/key_code.h"

namespace qm::keys {

constexpr int kKeyboardDeviceType = 1;
constexpr int kMouseDeviceType = 2;

// The user data of the "keyset_function_combo" items, which is also the tab number of
// "function_switch_tablayout".
namespace KeyCategory {
constexpr int None = 0;  // no item selected
constexpr int MouseKey = 1;
constexpr int MouseSwing = 2;
constexpr int Wheel = 3;
constexpr int Dpi = 4;  // hidden for the keyboard
constexpr int Fire = 5;
constexpr int KeyboardKey = 6;
constexpr int Media = 7;
constexpr int System = 8;
constexpr int Macro = 9;
constexpr int GunKey = 10;  // hidden for the keyboard
constexpr int CombinationKey = 11;
}  // namespace KeyCategory

// Whether the function combo offers the category to a device type.
bool IsCategoryVisible(int deviceType, int category);

// "key_ComBox_check_" options.
namespace ModifierOption {
constexpr int Unselected = -1;
constexpr int None = 0;
constexpr int Ctrl = 1;
constexpr int Shift = 2;
constexpr int Alt = 3;
constexpr int Win = 4;
}  // namespace ModifierOption

// The option that shows a modifier byte: None for 0, the option of a single left or right
// modifier, Unselected for several modifiers.
int ModifierOptionFor(std::uint8_t modifiers);

// The values of the page's controls. Combo rows are item indexes (-1: no item selected); edits
// hold their numbers as read by ReadEditNumber.
struct KeyPageControls {
    int category = KeyCategory::None;  // "keyset_function_combo" item's user data
    int mouseKeyRow = -1;              // "keyset_mousekey_combo", rows of kMouseKeys
    int swingDirection = 0;            // "keyset_mouseswing_combo": 0 leftward, 1 rightward
    int swingCount = 0;                // "keyset_mouseswing_num_edit"
    int swingDelay = 0;                // "keyset_mouseswing_delay_edit"
    int swingSpeed = 0;                // "keyset_mouseswing_speed_edit"
    int wheelDirection = 0;            // "keyset_mousewheel_combo": 0 upward, 1 downward
    int wheelCount = 0;                // "keyset_mousewheel_num_edit"
    int wheelDelay = 0;                // "keyset_mousewheel_delay_edit"
    int wheelSpeed = 0;                // "keyset_mousewheel_speed_edit"
    int dpiRow = -1;                   // "keyset_mousedpi_combo", rows of kDpiFunctions
    int fireInterval = 0;              // "keyset_mousefire_interval_edit"
    int fireShots = 0;                 // "keyset_mousefire_num_edit"
    // "keyset_keyboard_text_edit": the captured key's HID usage, 0 when the edit is empty
    // (KeyEditCaption gives its text).
    std::uint8_t keyUsage = 0;
    int modifierOption = ModifierOption::Unselected;  // the selected "key_ComBox_check_" option
    // The modifier byte of the code last shown. While the option is the one that shows these
    // modifiers, BuildCode keeps them (right-hand and combined modifiers included).
    std::uint8_t modifiers = 0;
    int mediaRow = -1;        // "keyset_media_combo", rows of kMediaKeys
    int systemRow = -1;       // "keyset_system_combo", rows of kSystemKeys
    int macroRow = -1;        // "keyset_macro_combo": the macro's index in the macro list
    int macroPlayMode = 0;    // "keyset_macro_over_combo": 0-3 play modes, 4 repeat a count
    int macroRepeat = 0;      // "keyset_macro_cycle_edit"
    int gunKeyRow = -1;       // "keyset_gunkey_combo"
    int combinationRow = -1;  // "keyset_combokey_combo", rows of kCombinationKeys

    bool operator==(const KeyPageControls&) const = default;
};

constexpr int kRepeatPlayMode = 4;

struct KeyPageContext {
    int deviceType = kKeyboardDeviceType;
    int macroCount = 0;  // items of "keyset_macro_combo"
};

// The code the controls select. Delay and speed keep their low 4 bits; counts are clamped to their
// fields: swing and upward wheel counts 0-127, downward wheel counts 0-128, other numbers 0-255.
// When the selected category lacks its row (no item, no such macro), current is returned; a
// category number the page does not know gives defaults.
KeyCode BuildCode(const KeyPageControls& controls, KeyCode current, KeyCode defaults,
                  const KeyPageContext& context);

// The controls that show code, starting from controls (what a code does not concern stays). A
// code whose category the device does not offer, or that no category builds, leaves the category
// None, so that applying it keeps the code.
KeyPageControls ShowCode(KeyPageControls controls, KeyCode code, const KeyPageContext& context);

// The user chose another function category; the keyboard key category starts empty, without a
// modifier option.
KeyPageControls ChangeCategory(KeyPageControls controls, int category);

// The capture path delivered a key (a row of kKeyboardKeys): a plain key becomes the captured
// usage, a modifier key alone selects its modifier without a key. False (controls unchanged) for
// rows that are no keyboard key (media, system, M and special keys) or out of the table.
bool CaptureKeyRow(KeyPageControls& controls, int row);

// The text of "keyset_keyboard_text_edit": the key's translated name, its hex code when the table
// has no such key, empty without a key.
std::string KeyEditCaption(const KeyPageControls& controls, const TranslateFn& translate);

// Whether "keyset_macro_cycle_layout" shows (play mode 4, repeat a count).
inline bool MacroRepeatVisible(const KeyPageControls& controls) {
    return controls.macroPlayMode == kRepeatPlayMode;
}

// An edit's text as a decimal integer: leading blanks and a sign allowed, reading stops at the
// first non-digit, 0 without digits; saturates at the int range.
int ReadEditNumber(std::string_view text);

}  // namespace qm::keys
