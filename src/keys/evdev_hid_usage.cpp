#include "keys/evdev_hid_usage.h"

#include <array>

#include "keys/keyboard_key_table.h"

namespace qm::keys {
namespace {

struct EvdevUsage {
    std::uint16_t evdev;
    std::uint8_t usage;
};

// Evdev code, HID usage; the evdev names are those of linux/input-event-codes.h. Where the kernel
// maps two usages to one code (KEY_BACKSLASH for 0x31 and the ISO key 0x32, KEY_DELETE for
// 0x4C, 0x9C and 0xD8), the usual one is given.
// clang-format off
constexpr EvdevUsage kEvdevUsages[] = {
    {1, 0x29},    // KEY_ESC
    {2, 0x1E}, {3, 0x1F}, {4, 0x20}, {5, 0x21}, {6, 0x22},   // KEY_1 .. KEY_5
    {7, 0x23}, {8, 0x24}, {9, 0x25}, {10, 0x26}, {11, 0x27}, // KEY_6 .. KEY_9, KEY_0
    {12, 0x2D},   // KEY_MINUS
    {13, 0x2E},   // KEY_EQUAL
    {14, 0x2A},   // KEY_BACKSPACE
    {15, 0x2B},   // KEY_TAB
    {16, 0x14}, {17, 0x1A}, {18, 0x08}, {19, 0x15}, {20, 0x17},  // KEY_Q W E R T
    {21, 0x1C}, {22, 0x18}, {23, 0x0C}, {24, 0x12}, {25, 0x13},  // KEY_Y U I O P
    {26, 0x2F},   // KEY_LEFTBRACE
    {27, 0x30},   // KEY_RIGHTBRACE
    {28, 0x28},   // KEY_ENTER
    {29, 0xE0},   // KEY_LEFTCTRL
    {30, 0x04}, {31, 0x16}, {32, 0x07}, {33, 0x09}, {34, 0x0A},  // KEY_A S D F G
    {35, 0x0B}, {36, 0x0D}, {37, 0x0E}, {38, 0x0F},              // KEY_H J K L
    {39, 0x33},   // KEY_SEMICOLON
    {40, 0x34},   // KEY_APOSTROPHE
    {41, 0x35},   // KEY_GRAVE
    {42, 0xE1},   // KEY_LEFTSHIFT
    {43, 0x31},   // KEY_BACKSLASH
    {44, 0x1D}, {45, 0x1B}, {46, 0x06}, {47, 0x19}, {48, 0x05},  // KEY_Z X C V B
    {49, 0x11}, {50, 0x10},                                      // KEY_N M
    {51, 0x36},   // KEY_COMMA
    {52, 0x37},   // KEY_DOT
    {53, 0x38},   // KEY_SLASH
    {54, 0xE5},   // KEY_RIGHTSHIFT
    {55, 0x55},   // KEY_KPASTERISK
    {56, 0xE2},   // KEY_LEFTALT
    {57, 0x2C},   // KEY_SPACE
    {58, 0x39},   // KEY_CAPSLOCK
    {59, 0x3A}, {60, 0x3B}, {61, 0x3C}, {62, 0x3D}, {63, 0x3E},  // KEY_F1 .. KEY_F5
    {64, 0x3F}, {65, 0x40}, {66, 0x41}, {67, 0x42}, {68, 0x43},  // KEY_F6 .. KEY_F10
    {69, 0x53},   // KEY_NUMLOCK
    {70, 0x47},   // KEY_SCROLLLOCK
    {71, 0x5F}, {72, 0x60}, {73, 0x61},  // KEY_KP7 KP8 KP9
    {74, 0x56},   // KEY_KPMINUS
    {75, 0x5C}, {76, 0x5D}, {77, 0x5E},  // KEY_KP4 KP5 KP6
    {78, 0x57},   // KEY_KPPLUS
    {79, 0x59}, {80, 0x5A}, {81, 0x5B},  // KEY_KP1 KP2 KP3
    {82, 0x62},   // KEY_KP0
    {83, 0x63},   // KEY_KPDOT
    {85, 0x94},   // KEY_ZENKAKUHANKAKU (LANG5)
    {86, 0x64},   // KEY_102ND (the ISO key beside left Shift)
    {87, 0x44},   // KEY_F11
    {88, 0x45},   // KEY_F12
    {89, 0x87},   // KEY_RO (International1)
    {90, 0x92},   // KEY_KATAKANA (LANG3)
    {91, 0x93},   // KEY_HIRAGANA (LANG4)
    {92, 0x8A},   // KEY_HENKAN (International4)
    {93, 0x88},   // KEY_KATAKANAHIRAGANA (International2)
    {94, 0x8B},   // KEY_MUHENKAN (International5)
    {95, 0x8C},   // KEY_KPJPCOMMA (International6)
    {96, 0x58},   // KEY_KPENTER
    {97, 0xE4},   // KEY_RIGHTCTRL
    {98, 0x54},   // KEY_KPSLASH
    {99, 0x46},   // KEY_SYSRQ (Print Screen)
    {100, 0xE6},  // KEY_RIGHTALT
    {102, 0x4A},  // KEY_HOME
    {103, 0x52},  // KEY_UP
    {104, 0x4B},  // KEY_PAGEUP
    {105, 0x50},  // KEY_LEFT
    {106, 0x4F},  // KEY_RIGHT
    {107, 0x4D},  // KEY_END
    {108, 0x51},  // KEY_DOWN
    {109, 0x4E},  // KEY_PAGEDOWN
    {110, 0x49},  // KEY_INSERT
    {111, 0x4C},  // KEY_DELETE
    {113, 0x7F},  // KEY_MUTE
    {114, 0x81},  // KEY_VOLUMEDOWN
    {115, 0x80},  // KEY_VOLUMEUP
    {116, 0x66},  // KEY_POWER
    {117, 0x67},  // KEY_KPEQUAL
    {118, 0xD7},  // KEY_KPPLUSMINUS
    {119, 0x48},  // KEY_PAUSE
    {121, 0x85},  // KEY_KPCOMMA
    {122, 0x90},  // KEY_HANGEUL (LANG1)
    {123, 0x91},  // KEY_HANJA (LANG2)
    {124, 0x89},  // KEY_YEN (International3)
    {125, 0xE3},  // KEY_LEFTMETA
    {126, 0xE7},  // KEY_RIGHTMETA
    {127, 0x65},  // KEY_COMPOSE (Application)
    {128, 0x78},  // KEY_STOP
    {129, 0x79},  // KEY_AGAIN
    {130, 0x76},  // KEY_PROPS
    {131, 0x7A},  // KEY_UNDO
    {132, 0x77},  // KEY_FRONT
    {133, 0x7C},  // KEY_COPY
    {134, 0x74},  // KEY_OPEN
    {135, 0x7D},  // KEY_PASTE
    {136, 0x7E},  // KEY_FIND
    {137, 0x7B},  // KEY_CUT
    {138, 0x75},  // KEY_HELP
    {139, 0x76},  // KEY_MENU
    {179, 0xB6},  // KEY_KPLEFTPAREN
    {180, 0xB7},  // KEY_KPRIGHTPAREN
    {183, 0x68}, {184, 0x69}, {185, 0x6A}, {186, 0x6B},  // KEY_F13 .. KEY_F16
    {187, 0x6C}, {188, 0x6D}, {189, 0x6E}, {190, 0x6F},  // KEY_F17 .. KEY_F20
    {191, 0x70}, {192, 0x71}, {193, 0x72}, {194, 0x73},  // KEY_F21 .. KEY_F24
};
// clang-format on

constexpr unsigned kTableSize = 256;

// The pairs as an array indexed by evdev code.
constexpr std::array<std::uint8_t, kTableSize> byEvdevCode() {
    std::array<std::uint8_t, kTableSize> table{};
    for (const EvdevUsage& entry : kEvdevUsages)
        table[entry.evdev] = entry.usage;
    return table;
}

constexpr std::array<std::uint8_t, kTableSize> kUsageByEvdev = byEvdevCode();

}  // namespace

std::uint8_t EvdevToHidUsage(unsigned evdevCode) {
    return evdevCode < kTableSize ? kUsageByEvdev[evdevCode] : 0;
}

std::uint8_t NativeScanCodeToHidUsage(unsigned scanCode) {
    return scanCode >= kNativeScanCodeOffset ? EvdevToHidUsage(scanCode - kNativeScanCodeOffset)
                                             : 0;
}

int KeyboardRowForEvdev(unsigned evdevCode) {
    const std::uint8_t usage = EvdevToHidUsage(evdevCode);
    return usage != 0 ? KeyboardRowForUsage(usage) : -1;
}

}  // namespace qm::keys
