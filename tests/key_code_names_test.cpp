// Key codes as the command line names them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "keys/key_code_names.h"
#include "keys/key_function_tables.h"
#include "keys/keyboard_key_table.h"

namespace qm::keys {
namespace {

const std::vector<std::string> kMacros{"Walk", "fire", "Twice", "Twice"};

struct NameCase {
    const char* text;
    KeyCode code;
};

class ParseKeyCodeTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(ParseKeyCodeTest, ReadsTheCode) {
    KeyCode code{0xEE, 0xEE, 0xEE};
    std::string error;
    ASSERT_TRUE(ParseKeyCode(GetParam().text, kMacros, code, error)) << error;
    EXPECT_EQ(code, GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ParseKeyCodeTest,
    ::testing::Values(
        NameCase{"200005", {0x20, 0x00, 0x05}}, NameCase{"0x30cd00", {0x30, 0xCD, 0x00}},
        NameCase{"B", {0x20, 0x00, 0x05}}, NameCase{"b", {0x20, 0x00, 0x05}},
        NameCase{"F1", {0x20, 0x00, 0x3A}}, NameCase{"esc", {0x20, 0x00, 0x29}},
        NameCase{"Escape", {0x20, 0x00, 0x29}}, NameCase{" Space ", {0x20, 0x00, 0x2C}},
        NameCase{"page up", {0x20, 0x00, 0x4B}}, NameCase{"Page_Down", {0x20, 0x00, 0x4E}},
        NameCase{"1", {0x20, 0x00, 0x1E}}, NameCase{"backslash", {0x20, 0x00, 0x31}},
        NameCase{"xiegang", {0x20, 0x00, 0x31}},  // the language key's name
        NameCase{"Num +", {0x20, 0x00, 0x57}}, NameCase{"ctrl+c", {0x20, 0x01, 0x06}},
        NameCase{"Ctrl + Shift + Esc", {0x20, 0x03, 0x29}},
        NameCase{"rctrl+ralt+del", {0x20, 0x50, 0x4C}}, NameCase{"ctrl+num+", {0x20, 0x01, 0x57}},
        NameCase{"ctrl+-", {0x20, 0x01, 0x2D}}, NameCase{"ctrl", {0x20, 0x01, 0x00}},
        NameCase{"ctrl+shift", {0x20, 0x03, 0x00}}, NameCase{"RWin", {0x20, 0x80, 0x00}},
        NameCase{"media:play", {0x30, 0xCD, 0x00}},
        NameCase{"MEDIA: Volume Up", {0x30, 0xE9, 0x00}}, NameCase{"VolumeUp", {0x30, 0xE9, 0x00}},
        NameCase{"mouse:left", {0x10, 0x01, 0x00}}, NameCase{"mouse:middle", {0x10, 0x04, 0x00}},
        NameCase{"dpi:loop", {0x13, 0x03, 0x00}}, NameCase{"system:sleep", {0x40, 0x02, 0x00}},
        NameCase{"macro:fire", {0x70, 0x01, 0x00}}, NameCase{"macro:FIRE", {0x70, 0x01, 0x00}},
        NameCase{"macro:Twice", {0x70, 0x02, 0x00}}, NameCase{"FN", {0xA0, 0x01, 0x00}},
        NameCase{"m3", {0xD0, 0xA2, 0x03}}, NameCase{"off", {0x00, 0x00, 0x00}}));

TEST(ParseKeyCode, ExplainsWhatItCannotRead) {
    struct ErrorCase {
        const char* text;
        const char* says;
    };
    const ErrorCase cases[] = {
        {"", "no key code"},
        {"foo", "unknown key name 'foo'"},
        {"2000051", "unknown key name '2000051'"},
        {"ctrl+foo", "unknown key name 'foo'"},
        {"hyper+c", "'hyper' is no modifier"},
        {"ctrl+", "unknown key name 'ctrl+'"},
        {"ctrl+VolumeUp", "'VolumeUp' is no keyboard key"},
        {"media:dance", "unknown media function 'dance'"},
        {"mouse:wheel", "unknown mouse function 'wheel'"},
        {"macro:Run", "no macro is named 'Run'"},
        {"macro:", "needs a macro name"},
        {"light:red", "unknown function class 'light'"},
    };
    for (const ErrorCase& c : cases) {
        KeyCode code{1, 2, 3};
        std::string error;
        EXPECT_FALSE(ParseKeyCode(c.text, kMacros, code, error)) << c.text;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.text << ": " << error;
        EXPECT_EQ(code, (KeyCode{1, 2, 3}));
    }
}

TEST(ParseKeyCode, ResolvesMacrosThroughACallback) {
    KeyCode code;
    std::string error;
    const MacroIndexFn lookup = [](std::string_view name) { return name == "big" ? 300 : 4; };
    ASSERT_TRUE(ParseKeyCode("macro:any", lookup, code, error));
    EXPECT_EQ(code, (KeyCode{0x70, 0x04, 0x00}));
    EXPECT_FALSE(ParseKeyCode("macro:big", lookup, code, error));
    EXPECT_FALSE(ParseKeyCode("macro:any", MacroIndexFn{}, code, error));
}

TEST(KeyCodeName, WritesReadableNames) {
    const std::pair<KeyCode, const char*> cases[] = {
        {{0x20, 0x01, 0x06}, "Ctrl+C"},
        {{0x20, 0x03, 0x29}, "Ctrl+Shift+Esc"},
        {{0x20, 0x90, 0x04}, "RCtrl+RWin+A"},
        {{0x20, 0x02, 0x00}, "Shift"},
        {{0x20, 0x00, 0x36}, "Comma"},
        {{0x20, 0x00, 0x68}, "200068"},
        {{0x20, 0x00, 0x00}, "200000"},
        {{0x00, 0x00, 0x00}, "off"},
        {{0x30, 0xCD, 0x00}, "media:play"},
        {{0x10, 0x08, 0x00}, "mouse:back"},
        {{0x13, 0x01, 0x00}, "dpi:up"},
        {{0x40, 0x04, 0x00}, "system:wakeup"},
        {{0x70, 0x01, 0x00}, "macro:fire"},
        {{0x70, 0x03, 0x00}, "700300"},  // its name reads as macro 2
        {{0x70, 0x01, 0x02}, "700102"},
        {{0x70, 0x09, 0x00}, "700900"},
        {{0xA0, 0x1B, 0x00}, "GM"},
        {{0x11, 0x34, 0x85}, "113485"},
    };
    for (const auto& [code, name] : cases)
        EXPECT_EQ(KeyCodeName(code, kMacros), name);
}

// Whatever a code is named, the name reads back as the code.
TEST(KeyCodeName, ReadsBackAsTheSameCode) {
    std::vector<KeyCode> codes;
    for (const KeyboardKeyRow& row : kKeyboardKeys)
        codes.push_back(row.code);
    for (std::span<const FunctionRow> table :
         {std::span<const FunctionRow>(kMouseKeys), std::span<const FunctionRow>(kDpiFunctions),
          std::span<const FunctionRow>(kSystemKeys), std::span<const FunctionRow>(kMediaKeys)}) {
        for (const FunctionRow& row : table)
            codes.push_back(row.code);
    }
    for (std::uint8_t b1 : {0x00, 0x01, 0x11, 0x24, 0x80, 0xFF}) {
        for (int b2 = 0; b2 < 256; ++b2)
            codes.push_back({KeyType::Keyboard, b1, static_cast<std::uint8_t>(b2)});
    }
    for (int m = 0; m < 6; ++m)
        codes.push_back({KeyType::MacroPlay, static_cast<std::uint8_t>(m), 0});
    codes.push_back({0x14, 0x50, 0x02});
    codes.push_back(kDisabledKey);

    for (const KeyCode& code : codes) {
        const std::string name = KeyCodeName(code, kMacros);
        KeyCode read;
        std::string error;
        ASSERT_TRUE(ParseKeyCode(name, kMacros, read, error)) << name << ": " << error;
        EXPECT_EQ(read, code) << name;
    }
}

}  // namespace
}  // namespace qm::keys
