// The keyboard's byte codecs and tables: the 55-byte settings block, the system settings words,
// the key position table and the position maps built from a device's layout tables.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/model/key_position_table.h"
#include "device/model/keyboard_settings_block.h"
#include "profile/json_access.h"
#include "profile/json_file.h"

namespace {

using namespace qm;

const std::vector<int> kShippedModes = [] {
    std::vector<int> values;
    for (int i = 0; i < 31; ++i)
        values.push_back(i);
    return values;
}();

LightInfo sampleLight() {
    LightInfo light;
    light.SelectItem = 6;
    light.Light = 3;
    light.Speed = 1;
    light.Fx = 1;
    light.MultiColor = 1;
    light.Red = 0x11;
    light.Green = 0x22;
    light.Blue = 0x33;
    light.ZZCCLedMode = 2;
    light.CustomGroup = 4;
    light.OldLedmode = 9;
    light.Logoledmode = 5;
    light.Logoledlight = 6;
    light.Logoledspeed = 7;
    light.LogoledMultiColor = 1;
    light.LogoledColor = 8;
    return light;
}

TEST(KeyboardSettingsBlock, EncodesEachFieldAtItsByte) {
    const KeyboardSystemStages stages{31, 1, 1, 2, 1, 1};
    const KeyboardSettingsBlock block =
        encodeKeyboardSettings(sampleLight(), stages, kShippedModes, 0x5A);
    KeyboardSettingsBlock expected{};
    expected[0] = 0x5A;
    expected[1] = 6;
    expected[2] = 3;
    expected[3] = 3;  // 4 - Speed 1
    expected[4] = 1;
    expected[5] = 1;
    expected[6] = 0x11;
    expected[7] = 0x22;
    expected[8] = 0x33;
    expected[18] = 2;
    expected[19] = 1;  // WFlag
    expected[20] = 1;  // Key6Flag
    expected[21] = 1;  // WinFlag
    expected[22] = 2;  // PollingRate
    expected[25] = 4;
    expected[27] = 5;
    expected[28] = 6;
    expected[29] = 7;
    expected[30] = 1;
    expected[31] = 8;
    EXPECT_EQ(block, expected);
}

TEST(KeyboardSettingsBlock, ModeCodes) {
    struct Case {
        int selectItem;
        std::vector<int> values;
        std::uint8_t code;
    };
    const std::vector<Case> cases = {
        {5, kShippedModes, 5},
        {29, kShippedModes, 0xFE},  // host-streamed
        {30, kShippedModes, 0xFE},
        {31, {40, 41}, 40},  // 31 and above count as mode 0
        {200, {40, 41}, 40},
        {2, {40, 41}, 40},        // past the list: entry 0
        {2, {10, 20, 30}, 0xFE},  // the value decides, not the index
        {7, {}, 7},               // no list: the index itself
        {29, {}, 0xFE},
    };
    for (const Case& c : cases)
        EXPECT_EQ(keyboardModeCode(c.selectItem, c.values), c.code)
            << "mode " << c.selectItem << " of " << c.values.size();
}

TEST(KeyboardSettingsBlock, DecodesWhatItCarriesAndKeepsTheRest) {
    LightInfo current = sampleLight();
    current.SelectItem = 12;
    const KeyboardSystemStages currentStages{20, 2, 0, 3, 0, 0};

    struct Case {
        std::uint8_t modeCode;
        std::vector<int> values;
        std::uint8_t selectItem;
    };
    const std::vector<Case> cases = {
        {5, kShippedModes, 5},
        {0xFE, kShippedModes, 12},  // host-streamed: the page's mode stays
        {20, {10, 20, 20}, 1},      // first match
        {99, {10, 20}, 99},         // no match: the raw code
    };
    for (const Case& c : cases) {
        KeyboardSettingsBlock block =
            encodeKeyboardSettings(sampleLight(), {0, 0, 1, 1, 1, 1}, kShippedModes, 0);
        block[1] = c.modeCode;
        const DecodedKeyboardSettings decoded =
            decodeKeyboardSettings(block, c.values, current, currentStages);
        EXPECT_EQ(decoded.light.SelectItem, c.selectItem) << int{c.modeCode};
        LightInfo expected = sampleLight();
        expected.SelectItem = c.selectItem;
        EXPECT_EQ(decoded.light, expected);  // OldLedmode kept, Speed back from 4 - byte 3
        // Repeat, RepeatDelay and PollingRate are not in the block the host reads.
        EXPECT_EQ(decoded.stages, (KeyboardSystemStages{20, 2, 1, 3, 1, 1}));
    }
}

// Bytes outside a field's range (a keyboard in a bad state) are kept within it: the speed does
// not wrap to 255 and a flag reads as set.
TEST(KeyboardSettingsBlock, DecodedValuesStayWithinTheirRanges) {
    KeyboardSettingsBlock block =
        encodeKeyboardSettings(sampleLight(), {0, 0, 1, 1, 1, 1}, kShippedModes, 0);
    block.fill(0xC8);
    const DecodedKeyboardSettings decoded =
        decodeKeyboardSettings(block, kShippedModes, sampleLight(), {20, 2, 0, 3, 0, 0});
    EXPECT_EQ(decoded.light.Speed, 0);
    EXPECT_EQ(decoded.light.Light, 4);
    EXPECT_EQ(decoded.light.Fx, 1);
    EXPECT_EQ(decoded.light.MultiColor, 1);
    EXPECT_EQ(decoded.stages, (KeyboardSystemStages{20, 2, 1, 3, 1, 1}));
}

TEST(KeyboardSettingsBlock, SystemStagesPackIntoThreeWords) {
    const KeyboardSystemStages stages{31, 1, 1, 3, 0, 1};
    const SystemStageWords words = stages.toWords();
    EXPECT_EQ(words, (SystemStageWords{31u | 1u << 16, 1u | 3u << 16, 0u | 1u << 16}));
    EXPECT_EQ(KeyboardSystemStages::fromWords(words), stages);
}

TEST(KeyboardSettingsBlock, SettingsByNameWithTheirRanges) {
    struct Case {
        const char* name;
        KeyboardSetting setting;
        int max;
        bool sent;
    };
    const Case cases[] = {
        {"winflag", KeyboardSetting::WinFlag, 1, true},
        {"PollingRate", KeyboardSetting::PollingRate, 3, true},
        {"Repeat", KeyboardSetting::Repeat, 31, false},
        {"RepeatDelay", KeyboardSetting::RepeatDelay, 3, false},
        {"Speed", KeyboardSetting::Speed, 4, true},
    };
    for (const Case& c : cases) {
        const auto setting = keyboardSettingByName(c.name);
        ASSERT_TRUE(setting.has_value()) << c.name;
        EXPECT_EQ(*setting, c.setting);
        EXPECT_EQ(keyboardSettingInfo(c.setting).max, c.max) << c.name;
        EXPECT_EQ(keyboardSettingInfo(c.setting).sentToDevice, c.sent) << c.name;
    }
    EXPECT_FALSE(keyboardSettingByName("Brightness").has_value());
}

// --- key positions ------------------------------------------------------------------------

TEST(KeyPositionTable, MatchesTheShippedFactoryProfile) {
    const Json::Value document =
        LoadJsonDocument(std::string(QM_DATA_DIR) + "/DefaultData/keyboard.Json");
    const Json::Value& keys =
        json::member(json::element(json::member(document, "Device"), 0), "KeyList");
    ASSERT_EQ(keys.size(), kLayoutPositions);
    for (Json::ArrayIndex p = 0; p < kLayoutPositions; ++p) {
        const std::int64_t code = json::intAt(json::element(keys, p), "DefaultAssignment");
        const PositionKeyCode& expected = keyPositionTable()[p];
        EXPECT_EQ(code, expected.type << 16 | expected.b1 << 8 | expected.b2) << "position " << p;
    }
}

// Device key k of a small layout: 3 code bytes each, and one LED byte each.
struct Layout {
    std::vector<std::uint8_t> codes;
    std::vector<std::uint8_t> leds;

    void add(const PositionKeyCode& code, std::uint8_t led) {
        codes.insert(codes.end(), {code.type, code.b1, code.b2});
        leds.push_back(led);
    }
};

TEST(KeyPositionMaps, FirstMatchWinsAndDeviceKey105HasNoLed) {
    const KeyPositionTable& table = keyPositionTable();
    Layout layout;
    for (int k = 0; k < 106; ++k)
        layout.add({0x30, 0x00, 0x00}, static_cast<std::uint8_t>(k));  // codes of no position
    // Device key 0: Esc; keys 1 and 2 both Q; key 3 F1 with an LED index beyond the frame;
    // key 105: Space.
    auto put = [&](std::size_t k, const PositionKeyCode& code, std::uint8_t led) {
        layout.codes[k * 3] = code.type;
        layout.codes[k * 3 + 1] = code.b1;
        layout.codes[k * 3 + 2] = code.b2;
        layout.leds[k] = led;
    };
    put(0, table[0], 40);
    put(1, table[43], 41);
    put(2, table[43], 42);
    put(3, table[1], 170);
    put(105, table[108], 60);

    const PositionMaps maps = buildPositionMaps(layout.codes, layout.leds, 106);
    struct Case {
        int position;
        std::uint8_t key;
        std::uint8_t led;
    };
    const Case cases[] = {
        {0, 0, 40},                      // Esc
        {43, 1, 41},                     // Q: the lower of two device keys
        {1, 3, kNoPosition},             // F1: LED 170 is no LED
        {108, 105, kNoPosition},         // Space on device key 105
        {2, kNoPosition, kNoPosition},   // F2: no device key
        {18, kNoPosition, kNoPosition},  // an empty position
    };
    for (const Case& c : cases) {
        EXPECT_EQ(maps.key[c.position], c.key) << "position " << c.position;
        EXPECT_EQ(maps.led[c.position], c.led) << "position " << c.position;
    }
}

TEST(KeyPositionMaps, AKeyCountBeyondTheTablesReadsOnlyWhatTheyHold) {
    Layout layout;
    layout.add(keyPositionTable()[0], 7);
    const PositionMaps maps = buildPositionMaps(layout.codes, layout.leds, 255);
    EXPECT_EQ(maps.key[0], 0);
    EXPECT_EQ(maps.led[0], 7);
    const PositionMaps none = buildPositionMaps(layout.codes, {}, 1);
    EXPECT_EQ(none.key[0], 0);
    EXPECT_EQ(none.led[0], kNoPosition);  // no LED table: no LED
}

}  // namespace
