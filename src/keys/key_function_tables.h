// The functions offered by the key settings page's combos besides keyboard keys, and the caption
// rows of the other function classes. The row index of a table is the item index of its combo.
#pragma once

#include <array>
#include <span>
#include <string_view>

#include "keys/key_code.h"

namespace qm::keys {

struct FunctionRow {
    KeyCode code;
    std::string_view textId;  // language key of the caption
};

// "keyset_combokey_combo": Ctrl plus a key; the item texts come from the page layout.
extern const std::array<KeyCode, 11> kCombinationKeys;
// "keyset_mousekey_combo".
extern const std::array<FunctionRow, 5> kMouseKeys;
// "keyset_mousedpi_combo".
extern const std::array<FunctionRow, 3> kDpiFunctions;
// "keyset_media_combo".
extern const std::array<FunctionRow, 18> kMediaKeys;
// "keyset_system_combo".
extern const std::array<FunctionRow, 3> kSystemKeys;
// Captions of editing shortcuts (type 0x22, b2 0-8).
extern const std::array<FunctionRow, 9> kEditShortcuts;
// Captions of mouse and special functions. Its middle and right button rows do not follow
// MouseButtonBit; it is looked up only for the classes the caption rules name, never for 0x10.
extern const std::array<FunctionRow, 15> kMouseFunctionCaptions;

inline constexpr std::string_view kCloseTextId = "close_text";
inline constexpr std::string_view kSwingUpTextId = "mouse_key_up_Swing";
inline constexpr std::string_view kSwingDownTextId = "mouse_key_down_Swing";
inline constexpr std::string_view kSwingLeftTextId = "mouse_key_left_Swing";
inline constexpr std::string_view kSwingRightTextId = "mouse_key_right_Swing";
inline constexpr std::string_view kFireTextId = "mouse_key_fire_key";

// The first row with exactly this code; -1 when none.
int FindFunctionRow(std::span<const FunctionRow> rows, KeyCode code);
int FindCombinationRow(KeyCode code);

}  // namespace qm::keys
