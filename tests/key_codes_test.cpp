// Key codes: storage forms, the key tables, captions and the evdev key map.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "keys/evdev_hid_usage.h"
#include "keys/key_caption.h"
#include "keys/key_code.h"
#include "keys/key_function_tables.h"
#include "keys/keyboard_key_table.h"

namespace qm::keys {
namespace {

TEST(KeyCodeStorage, ProfileIntegerAndDeviceBytesAgree) {
    const KeyCode ctrlAltA{0x20, 0x05, 0x04};
    constexpr std::int64_t stored = 0x20 * 65536 + 0x05 * 256 + 0x04;
    EXPECT_EQ(PackKeyCode(ctrlAltA), stored);
    EXPECT_EQ(UnpackKeyCode(stored), ctrlAltA);
    // Same integer as the profile's own codec.
    EXPECT_EQ(packKeyCode(MakeAssignment(7, ctrlAltA)), stored);
    EXPECT_EQ(KeyCodeOf(unpackKeyCode(stored, 7)), ctrlAltA);

    EXPECT_EQ(UnpackKeyCode(0xFFFFFF), (KeyCode{0xFF, 0xFF, 0xFF}));
    EXPECT_FALSE(UnpackKeyCode(-1));
    EXPECT_FALSE(UnpackKeyCode(0x1000000));

    EXPECT_EQ(KeyCodeBytes(ctrlAltA), (std::array<std::uint8_t, 3>{0x20, 0x05, 0x04}));
    EXPECT_EQ(KeyCodeHex({0xA0, 0x1B, 0x00}), "A01B00");
    const KeyAssignment record = MakeAssignment(12, ctrlAltA);
    EXPECT_EQ(record.position, 12);
    EXPECT_EQ(record.spare, 0);
}

TEST(KeyCodeStorage, DeviceTableEntriesStayInsideTheTable) {
    std::vector<std::uint8_t> table(2 * 3 + 2, 0);  // two whole entries and a partial one
    EXPECT_TRUE(WriteKeyTableEntry(table, 1, {0x30, 0xCD, 0x00}));
    EXPECT_FALSE(WriteKeyTableEntry(table, 2, {0x20, 0, 4}));
    EXPECT_EQ(table, (std::vector<std::uint8_t>{0, 0, 0, 0x30, 0xCD, 0x00, 0, 0}));

    KeyCode code{1, 2, 3};
    EXPECT_TRUE(ReadKeyTableEntry(table, 1, code));
    EXPECT_EQ(code, (KeyCode{0x30, 0xCD, 0x00}));
    EXPECT_FALSE(ReadKeyTableEntry(table, 2, code));
    EXPECT_EQ(code, (KeyCode{0x30, 0xCD, 0x00}));
}

TEST(KeyboardKeyTable, RowsFollowTheirLayout) {
    struct Row {
        std::size_t row;
        std::string_view textId;
        std::uint16_t virtualKey;
        KeyCode code;
    };
    const Row rows[] = {
        {0, "keyboard_key_LCtrl", 0xA2, {0x20, 0x01, 0x00}},
        {7, "keyboard_key_RWin", 0x5C, {0x20, 0x80, 0x00}},
        {8, "keyboard_key_A", 0x41, {0x20, 0x00, 0x04}},
        {33, "keyboard_key_Z", 0x5A, {0x20, 0x00, 0x1D}},
        {43, "keyboard_key_0", 0x30, {0x20, 0x00, 0x27}},
        {53, "keyboard_key_xiegang", 0xDC, {0x20, 0x00, 0x31}},
        {56, "keyboard_key_`", 0xC0, {0x20, 0x00, 0x35}},
        {72, "keyboard_key_F12", 0x7B, {0x20, 0x00, 0x45}},
        {91, "keyboard_key_Num Enter", 0x101, {0x20, 0x00, 0x58}},
        {101, "keyboard_key_Num 0", 0x60, {0x20, 0x00, 0x62}},
        {113, "keyboard_key_K42", 0xBF, {0x20, 0x00, 0x32}},
        {114, "keyboard_key_Launch App2", 0xB7, {0x30, 0x92, 0x01}},
        {130, "wed_stop", 0xA9, {0x30, 0x26, 0x02}},
        {134, "keyboard_key_Wakeup", 0x105, {0x40, 0x04, 0x00}},
        {139, "keyboard_key_M5", 0x00, {0xD0, 0xA2, 0x05}},
        {141, "keyboard_key_GM", 0x00, {0xA0, 0x1B, 0x00}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.row);
        EXPECT_EQ(kKeyboardKeys[row.row].textId, row.textId);
        EXPECT_EQ(kKeyboardKeys[row.row].virtualKey, row.virtualKey);
        EXPECT_EQ(kKeyboardKeys[row.row].code, row.code);
    }
    // Each plain key has a usage of its own, so a usage finds one row.
    std::set<std::uint8_t> usages;
    for (int row = kFirstPlainKeyRow; row < kFirstFunctionKeyRow; ++row) {
        const KeyCode code = kKeyboardKeys[static_cast<std::size_t>(row)].code;
        EXPECT_EQ(code.type, KeyType::Keyboard);
        EXPECT_EQ(code.b1, 0);
        EXPECT_TRUE(usages.insert(code.b2).second) << "row " << row;
        EXPECT_EQ(KeyboardRowForUsage(code.b2), row);
    }
}

TEST(KeyboardKeyTable, UsageFindsItsRow) {
    EXPECT_EQ(KeyboardRowForUsage(0x04), 8);  // A
    EXPECT_EQ(KeyboardRowForUsage(0xE0), 0);  // left Control: the modifier alone
    EXPECT_EQ(KeyboardRowForUsage(0xE6), 6);  // right Alt
    EXPECT_EQ(KeyboardRowForUsage(0x00), -1);
    EXPECT_EQ(KeyboardRowForUsage(0x68), -1);  // F13: no such key
    EXPECT_EQ(KeyboardRowForCode({0xD0, 0xA2, 0x01}), 135);
    EXPECT_EQ(KeyboardRowForCode({0x20, 0x03, 0x00}), -1);
}

TEST(FunctionTables, CombosOfferTheirCodes) {
    EXPECT_EQ(kCombinationKeys[4], (KeyCode{0x20, 0x01, 0x06}));  // Ctrl+C
    EXPECT_EQ(kCombinationKeys[10], (KeyCode{0x20, 0x01, 0x2E}));
    EXPECT_EQ(kMouseKeys[1].code, (KeyCode{0x10, 0x04, 0x00}));
    EXPECT_EQ(kMouseKeys[1].textId, "mouse_key_middle");
    EXPECT_EQ(kMediaKeys[0].code, (KeyCode{0x30, 0x83, 0x01}));
    EXPECT_EQ(kMediaKeys[13].code, (KeyCode{0x30, 0x2A, 0x02}));
    EXPECT_EQ(kMediaKeys[13].textId, "wed_favorite");
    EXPECT_EQ(kSystemKeys[2].code, (KeyCode{0x40, 0x04, 0x00}));
    EXPECT_EQ(kEditShortcuts[8].code, (KeyCode{0x22, 0x00, 0x08}));
    EXPECT_EQ(kMouseFunctionCaptions[14].code, (KeyCode{0x23, 0x00, 0x00}));
    EXPECT_EQ(FindFunctionRow(kDpiFunctions, {0x13, 0x02, 0x00}), 1);
    EXPECT_EQ(FindFunctionRow(kDpiFunctions, {0x13, 0x04, 0x00}), -1);
}

// Captions, translated through a function that marks what it translated.
struct CaptionCase {
    KeyCode code;
    std::string caption;
};

class KeyCaptionTest : public ::testing::TestWithParam<CaptionCase> {};

TEST_P(KeyCaptionTest, ShowsTheTranslatedNames) {
    const TranslateFn translate = [](std::string_view key) { return "<" + std::string(key) + ">"; };
    const std::vector<std::string> macros{"Walk", "Reload"};
    EXPECT_EQ(KeyCaption(GetParam().code, translate, macros), GetParam().caption);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, KeyCaptionTest,
    ::testing::Values(
        CaptionCase{{0x20, 0x00, 0x04}, "<keyboard_key_A>"},
        CaptionCase{{0x20, 0x01, 0x06}, "<keyboard_key_LCtrl>+<keyboard_key_C>"},
        CaptionCase{{0x20, 0x03, 0x06}, "<keyboard_key_C>"},  // no row has b1 0x03
        CaptionCase{{0x20, 0x10, 0x00}, "<keyboard_key_RCtrl>"},
        CaptionCase{{0x00, 0x00, 0x00}, "<close_text>"},
        CaptionCase{{0x20, 0x00, 0x00}, "<close_text>"},
        // An unknown usage matches no row (zero bytes never match): its hex code.
        CaptionCase{{0x20, 0x00, 0x68}, "200068"},
        CaptionCase{{0x20, 0x01, 0x68}, "<keyboard_key_LCtrl>"},
        CaptionCase{{0x00, 0x05, 0x00}, "000500"},
        CaptionCase{{0x10, 0x04, 0x00}, "<mouse_key_middle>"},
        CaptionCase{{0x10, 0x02, 0x00}, "<mouse_key_right>"},
        CaptionCase{{0x10, 0x40, 0x00}, "104000"},
        CaptionCase{{0x11, 0x34, 0x85}, "<mouse_key_right_Swing>"},
        CaptionCase{{0x11, 0x34, 0x05}, "<mouse_key_left_Swing>"},
        CaptionCase{{0x12, 0x03, 0x85}, "<mouse_key_down_Swing>"},
        CaptionCase{{0x12, 0x03, 0x05}, "<mouse_key_up_Swing>"},
        CaptionCase{{0x13, 0x03, 0x00}, "<mouse_key_DPI_loop>"},
        CaptionCase{{0x14, 0x10, 0x05}, "<mouse_key_fire_key>"},
        CaptionCase{{0x16, 0x00, 0x00}, "<mouse_key_DPI_shift>"},
        CaptionCase{{0x15, 0x00, 0x00}, "150000"},
        CaptionCase{{0x22, 0x00, 0x04}, "<custem_select_all>"},
        CaptionCase{{0x22, 0x00, 0x09}, "220009"}, CaptionCase{{0x23, 0x00, 0x00}, "<show_window>"},
        CaptionCase{{0x30, 0xCD, 0x00}, "<media_play>"},
        CaptionCase{{0x30, 0x26, 0x02}, "<wed_stop>"}, CaptionCase{{0x30, 0x99, 0x09}, "309909"},
        CaptionCase{{0x40, 0x02, 0x00}, "<system_sleep>"},
        CaptionCase{{0x70, 0x01, 0x02}, "Reload"},  // macro names are not translated
        CaptionCase{{0x71, 0x00, 0x09}, "Walk"},
        CaptionCase{{0x70, 0x02, 0x00}, "700200"},  // beyond the macro list
        CaptionCase{{0xA0, 0x00, 0x00}, "<close_text>"},
        CaptionCase{{0xA0, 0x02, 0x00}, "<mouse_key_smart_key>"},
        CaptionCase{{0xA0, 0x01, 0x00}, "<keyboard_key_FN>"},
        CaptionCase{{0xA0, 0x24, 0x00}, "A02400"},
        CaptionCase{{0xD0, 0xA2, 0x03}, "<keyboard_key_M3>"},
        // Classes without captions read as the translated "close_text", never a fixed text.
        CaptionCase{{0x72, 0x01, 0x00}, "<close_text>"},
        CaptionCase{{0x99, 0x00, 0x00}, "<close_text>"}));

TEST(KeyCaption, WithoutTranslationShowsTheLanguageKeys) {
    EXPECT_EQ(KeyCaption({0x20, 0x20, 0x04}, {}, {}), "keyboard_key_RShift+keyboard_key_A");
    EXPECT_EQ(KeyCaption({0x70, 0x00, 0x00}, {}, {}), "700000");
}

// Evdev codes (linux/input-event-codes.h) and what the capture makes of them.
TEST(EvdevHidUsage, MapsKeysToUsagesAndRows) {
    struct Case {
        unsigned evdev;
        std::uint8_t usage;
        int row;
    };
    const Case cases[] = {
        {1, 0x29, 45},     // KEY_ESC
        {30, 0x04, 8},     // KEY_A
        {11, 0x27, 43},    // KEY_0
        {29, 0xE0, 0},     // KEY_LEFTCTRL: the modifier alone
        {126, 0xE7, 7},    // KEY_RIGHTMETA
        {43, 0x31, 53},    // KEY_BACKSLASH
        {51, 0x36, 57},    // KEY_COMMA
        {96, 0x58, 91},    // KEY_KPENTER
        {99, 0x46, 73},    // KEY_SYSRQ
        {119, 0x48, 75},   // KEY_PAUSE
        {127, 0x65, 103},  // KEY_COMPOSE
        {86, 0x64, 104},   // KEY_102ND
        {124, 0x89, 106},  // KEY_YEN
        {122, 0x90, 112},  // KEY_HANGEUL
        {183, 0x68, -1},   // KEY_F13: a usage, but no row
        {113, 0x7F, -1},   // KEY_MUTE
        {0, 0x00, -1},     // KEY_RESERVED
        {84, 0x00, -1},    // unassigned
        {700, 0x00, -1},   // beyond the keys
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.evdev);
        EXPECT_EQ(EvdevToHidUsage(c.evdev), c.usage);
        EXPECT_EQ(KeyboardRowForEvdev(c.evdev), c.row);
    }
    EXPECT_EQ(NativeScanCodeToHidUsage(38), 0x04);  // X11 keycode of A
    EXPECT_EQ(NativeScanCodeToHidUsage(9), 0x29);
    EXPECT_EQ(NativeScanCodeToHidUsage(7), 0x00);
}

TEST(EvdevHidUsage, EveryKeyboardKeyCanBeCaptured) {
    std::set<std::uint8_t> mapped;
    for (unsigned code = 0; code < 256; ++code)
        mapped.insert(EvdevToHidUsage(code));
    for (int row = 0; row < kFirstFunctionKeyRow; ++row) {
        const int found = [&] {
            for (std::uint8_t usage : mapped) {
                if (usage != 0 && KeyboardRowForUsage(usage) == row)
                    return row;
            }
            return -1;
        }();
        // K42 (usage 0x32, the ISO key beside Enter) reaches Linux as KEY_BACKSLASH.
        if (row == 113)
            EXPECT_EQ(found, -1);
        else
            EXPECT_EQ(found, row) << kKeyboardKeys[static_cast<std::size_t>(row)].textId;
    }
}

}  // namespace
}  // namespace qm::keys
