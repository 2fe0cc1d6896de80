#include "keys/key_function_tables.h"

namespace qm::keys {
namespace {

constexpr KeyCode ctrlWith(std::uint8_t usage) {
    return {KeyType::Keyboard, ModifierBit::LeftCtrl, usage};
}

constexpr KeyCode consumer(unsigned usage) {
    return {KeyType::Consumer, static_cast<std::uint8_t>(usage & 0xFF),
            static_cast<std::uint8_t>(usage >> 8)};
}

}  // namespace

// clang-format off
const std::array<KeyCode, 11> kCombinationKeys{{
    ctrlWith(0x12),  // Ctrl+O
    ctrlWith(0x11),  // Ctrl+N
    ctrlWith(0x1D),  // Ctrl+Z
    ctrlWith(0x16),  // Ctrl+S
    ctrlWith(0x06),  // Ctrl+C
    ctrlWith(0x1B),  // Ctrl+X
    ctrlWith(0x19),  // Ctrl+V
    ctrlWith(0x09),  // Ctrl+F
    ctrlWith(0x04),  // Ctrl+A
    ctrlWith(0x2D),  // Ctrl+-
    ctrlWith(0x2E),  // Ctrl+=
}};

const std::array<FunctionRow, 5> kMouseKeys{{
    {{0x10, 0x01, 0x00}, "mouse_key_left"},
    {{0x10, 0x04, 0x00}, "mouse_key_middle"},
    {{0x10, 0x02, 0x00}, "mouse_key_right"},
    {{0x10, 0x10, 0x00}, "mouse_key_forward"},
    {{0x10, 0x08, 0x00}, "mouse_key_back"},
}};

const std::array<FunctionRow, 3> kDpiFunctions{{
    {{0x13, 0x01, 0x00}, "mouse_key_DPI_add"},
    {{0x13, 0x02, 0x00}, "mouse_key_DPI_sub"},
    {{0x13, 0x03, 0x00}, "mouse_key_DPI_loop"},
}};

const std::array<FunctionRow, 18> kMediaKeys{{
    {consumer(0x0183), "media_text"},
    {consumer(0x00CD), "media_play"},
    {consumer(0x00B7), "media_stop"},
    {consumer(0x00B6), "media_prev"},
    {consumer(0x00B5), "media_next"},
    {consumer(0x00EA), "media_vol_sub"},
    {consumer(0x00E9), "media_vol_add"},
    {consumer(0x00E2), "media_mute"},
    {consumer(0x0223), "web_text"},
    {consumer(0x0227), "web_refresh"},
    {consumer(0x0226), "wed_stop"},
    {consumer(0x0224), "wed_back"},
    {consumer(0x0225), "wed_forward"},
    {consumer(0x022A), "wed_favorite"},
    {consumer(0x0221), "web_search"},
    {consumer(0x0194), "media_mypc"},
    {consumer(0x0192), "media_calc"},
    {consumer(0x018A), "media_mail"},
}};

const std::array<FunctionRow, 3> kSystemKeys{{
    {{0x40, 0x01, 0x00}, "system_power"},
    {{0x40, 0x02, 0x00}, "system_sleep"},
    {{0x40, 0x04, 0x00}, "system_wake_up"},
}};

const std::array<FunctionRow, 9> kEditShortcuts{{
    {{0x22, 0x00, 0x00}, "custem_cut"},
    {{0x22, 0x00, 0x01}, "custem_copy"},
    {{0x22, 0x00, 0x02}, "custem_paste"},
    {{0x22, 0x00, 0x03}, "custem_undo"},
    {{0x22, 0x00, 0x04}, "custem_select_all"},
    {{0x22, 0x00, 0x05}, "custem_find"},
    {{0x22, 0x00, 0x06}, "custem_new"},
    {{0x22, 0x00, 0x07}, "custem_save"},
    {{0x22, 0x00, 0x08}, "custem_open"},
}};

const std::array<FunctionRow, 15> kMouseFunctionCaptions{{
    {{0x10, 0x01, 0x00}, "mouse_key_left"},
    {{0x10, 0x02, 0x00}, "mouse_key_middle"},
    {{0x10, 0x04, 0x00}, "mouse_key_right"},
    {{0x10, 0x10, 0x00}, "mouse_key_forward"},
    {{0x10, 0x08, 0x00}, "mouse_key_back"},
    {{0x14, 0x50, 0x02}, "mouse_key_fire_key"},
    {{0x20, 0x00, 0x00}, "mouse_key_shortcut_key"},
    {{0x20, 0x80, 0x00}, "win_key_text"},
    {{0xA0, 0x02, 0x00}, "mouse_key_smart_key"},
    {{0xA0, 0x00, 0x00}, "close_text"},
    {{0x13, 0x03, 0x00}, "mouse_key_DPI_loop"},
    {{0x13, 0x01, 0x00}, "mouse_key_DPI_add"},
    {{0x13, 0x02, 0x00}, "mouse_key_DPI_sub"},
    {{0x16, 0x00, 0x00}, "mouse_key_DPI_shift"},
    {{0x23, 0x00, 0x00}, "show_window"},
}};
// clang-format on

int FindFunctionRow(std::span<const FunctionRow> rows, KeyCode code) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].code == code)
            return static_cast<int>(i);
    }
    return -1;
}

int FindCombinationRow(KeyCode code) {
    for (std::size_t i = 0; i < kCombinationKeys.size(); ++i) {
        if (kCombinationKeys[i] == code)
            return static_cast<int>(i);
    }
    return -1;
}

}  // namespace qm::keys
