// The sections of a profile: each write survives a save and a reload, damaged or missing data
// reads as zero, and the index rules of the equaliser, stage and colour sections.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "profile/hs6533_profile_data.h"
#include "profile/keyboard_profile_data.h"
#include "profile/mouse_profile_data.h"
#include "profile_fixtures.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using testing::parse;
using testing::readJson;

using Curve = std::vector<int>;

DpiStageRecord stage(std::uint8_t enabled, std::uint8_t xy, std::uint16_t x, std::uint16_t y,
                     std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    DpiStageRecord s{enabled, xy, {}, {}, red, green, blue};
    s.setDpiX(x);
    s.setDpiY(y);
    return s;
}
const Curve kFlat(kEqBandCount, 0);

class Sections : public testing::ProfileFolders {
protected:
    // Writes through one object, saves, and reads back through a fresh one.
    template <class Profile, class Write, class Read>
    auto roundTrip(Write write, Read read) {
        auto writer = open<Profile>();
        write(*writer);
        EXPECT_TRUE(writer->SaveActiveEntry());
        auto reader = open<Profile>();
        return read(*reader);
    }

    Json::Value savedEntry() const { return readJson(profileFile)["Device"][0]; }
};

TEST_F(Sections, WritesSurviveSaveAndReload) {
    const LightInfo light{1, 2, 3, 1, 1, 10, 20, 30, {7, 8, 9}, 4, 5, 6, 7, 3, 2, 1, 9};
    LightInfo savedLight = light;
    savedLight.Unsaved = {};  // bytes 8-10 stay in memory
    EXPECT_EQ(roundTrip<CBasicProfiledata>([&](auto& p) { p.WriteLightInfo(light); },
                                           [](auto& p) { return p.ReadLightInfo(); }),
              savedLight);

    // A loaded profile always edits the foreground colour first.
    EXPECT_EQ(roundTrip<CBasicProfiledata>(
                  [](auto& p) {
                      p.WriteAudioLightInfo({3, 1, 2, 3, 4, 5, 6, 1, 0});
                  },
                  [](auto& p) { return p.ReadAudioLightInfo(); }),
              (AudioLightInfo{3, 1, 2, 3, 4, 5, 6, 1, 1}));

    const SystemStageWords words{0x00020001, 0x00030000, 0x00010001};
    EXPECT_EQ(roundTrip<CKeyboardProfiledata>(
                  [&](auto& p) { p.WriteKeyboardSystemStages(words[0], words[1], words[2]); },
                  [](auto& p) { return p.ReadKeyboardSystemStages(); }),
              words);
    EXPECT_EQ(roundTrip<CMouseProfiledata>(
                  [&](auto& p) { p.WriteMouseSystemStages(words[0], words[1], words[2]); },
                  [](auto& p) { return p.ReadMouseSystemStages(); }),
              words);
    EXPECT_EQ(savedEntry()["ReportStages"]["StageActive"], 1);

    const std::vector<RgbaColor> colours{{1, 2, 3, 4}, {5, 6, 7, 8}};
    EXPECT_EQ(
        roundTrip<CKeyboardProfiledata>([&](auto& p) { p.WriteCustomLightColors(colours, 2); },
                                        [](auto& p) { return p.ReadCustomLightColors(2, 2); }),
        colours);
    EXPECT_EQ(roundTrip<CKeyboardProfiledata>([](auto& p) { p.WriteCustomLightGroup(3); },
                                              [](auto& p) { return p.ReadCustomLightGroup(); }),
              3);

    const std::vector<DpiStageRecord> stages{stage(1, 0, 2, 2, 255, 0, 0),
                                             stage(0, 1, 300, 40000, 0, 255, 0)};
    EXPECT_EQ(roundTrip<CMouseProfiledata>([&](auto& p) { p.WriteDpiStages(stages); },
                                           [](auto& p) { return p.ReadDpiStages(); }),
              stages);
    EXPECT_EQ(roundTrip<CMouseProfiledata>([](auto& p) { p.SetActiveDpiStage(4); },
                                           [](auto& p) {
                                               p.ReadDpiStages();
                                               return p.GetActiveDpiStage();
                                           }),
              4);

    const SystemSetStages audio{1, 2, 13, -1, 1, 80, 0, 50};
    EXPECT_EQ(roundTrip<CHs6533Profiledata>([&](auto& p) { p.WriteSystemSetStages(audio); },
                                            [](auto& p) { return p.ReadSystemSetStages(); }),
              audio);
    const Curve curve{-12, -8, -4, 0, 4, 8, 12, 1, 2, 3};
    EXPECT_EQ(roundTrip<CHs6533Profiledata>([&](auto& p) { p.WritePresetEq(7, curve); },
                                            [](auto& p) { return p.ReadPresetEq(7); }),
              curve);
    EXPECT_EQ(roundTrip<CHs6533Profiledata>([&](auto& p) { p.WriteCustomEq(19, curve); },
                                            [](auto& p) { return p.ReadCustomEq(19); }),
              curve);
    // Non-ASCII text is stored escaped and reads back unchanged.
    const std::vector<std::string> names{"低音增强", "Voice"};
    EXPECT_EQ(roundTrip<CHs6533Profiledata>([&](auto& p) { p.WriteCustomEqNames(names); },
                                            [](auto& p) { return p.ReadCustomEqNames(); }),
              names);
}

TEST_F(Sections, KeyListWritesOnlyTheCurrentAssignments) {
    // Left Ctrl + Left Alt + A on position 0; position 1 is not in the list written.
    const KeyAssignmentRecord combo{unpackKeyCode(0x200504, 0), unpackKeyCode(0x700000, 0)};

    const auto keys = roundTrip<CKeyboardProfiledata>([&](auto& p) { p.WriteKeyList({combo}); },
                                                      [](auto& p) { return p.ReadKeyList(); });

    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].current, (KeyAssignment{0, 0x20, 0x05, 0x04, 0}));
    EXPECT_EQ(packKeyCode(keys[0].defaults), 0x200029);
    EXPECT_EQ(packKeyCode(keys[1].current), 0x20003A);
    EXPECT_EQ(keys[1].defaults.position, 1);
    EXPECT_EQ(savedEntry()["KeyList"][1], factoryEntry()["KeyList"][1]);
}

TEST_F(Sections, ReadsDoNotChangeTheEntry) {
    auto keyboard = open<CKeyboardProfiledata>();
    keyboard->ReadLightInfo();
    keyboard->ReadAudioLightInfo();
    keyboard->ReadLightList();
    keyboard->ReadKeyList();
    keyboard->ReadKeyboardSystemStages();
    keyboard->ReadCustomLightGroup();
    auto mouse = open<CMouseProfiledata>();
    mouse->ReadDpiStages();
    mouse->ReadMouseSystemStages();
    mouse->ReadCorrectInfo();

    ASSERT_TRUE(keyboard->SaveActiveEntry());
    ASSERT_TRUE(mouse->SaveActiveEntry());

    EXPECT_EQ(savedEntry(), factoryEntry());
}

// --- Missing and damaged data --------------------------------------------------------------

struct DamagedEntry {
    const char* name;
    const char* entry;
};

void PrintTo(const DamagedEntry& c, std::ostream* os) {
    *os << c.name;
}

class Damaged : public Sections, public ::testing::WithParamInterface<DamagedEntry> {};

TEST_P(Damaged, ReadsAsZeroAndTakesWrites) {
    auto keyboard = openEntry<CKeyboardProfiledata>(GetParam().entry);
    EXPECT_EQ(keyboard->ReadLightInfo(), LightInfo{});
    EXPECT_EQ(keyboard->ReadAudioLightInfo(), AudioLightInfo{});
    EXPECT_TRUE(keyboard->ReadLightList().empty());
    EXPECT_TRUE(keyboard->ReadKeyList().empty());
    EXPECT_EQ(keyboard->ReadKeyboardSystemStages(), SystemStageWords{});
    EXPECT_EQ(keyboard->ReadCustomLightGroup(), 0);
    EXPECT_EQ(keyboard->ReadCustomLightColors(1, 3), std::vector<RgbaColor>(3));

    auto mouse = open<CMouseProfiledata>();
    EXPECT_TRUE(mouse->ReadDpiStages().empty());
    EXPECT_EQ(mouse->GetActiveDpiStage(), 0);
    EXPECT_EQ(mouse->ReadMouseSystemStages(), SystemStageWords{});
    EXPECT_TRUE(mouse->ReadCorrectInfo().empty());

    auto headset = open<CHs6533Profiledata>();
    EXPECT_EQ(headset->ReadSystemSetStages(), SystemSetStages{});
    EXPECT_EQ(headset->ReadPresetEq(2), kFlat);
    EXPECT_EQ(headset->ReadCustomEq(0), kFlat);
    EXPECT_TRUE(headset->ReadCustomEqNames().empty());

    // Every section takes a write again.
    keyboard->WriteLightInfo(LightInfo{5});
    keyboard->WriteKeyList({{unpackKeyCode(0x200004, 0), {}}});
    keyboard->WriteKeyboardSystemStages(1, 2, 3);
    ASSERT_TRUE(keyboard->SaveActiveEntry());
    auto reloaded = open<CKeyboardProfiledata>();
    EXPECT_EQ(reloaded->ReadLightInfo().SelectItem, 5);
    EXPECT_EQ(packKeyCode(reloaded->ReadKeyList().at(0).current), 0x200004);
    EXPECT_EQ(reloaded->ReadKeyboardSystemStages(), (SystemStageWords{1, 2, 3}));
    EXPECT_EQ(reloaded->ReadCustomLightColors(1, 3), std::vector<RgbaColor>(3));
}

INSTANTIATE_TEST_SUITE_P(
    Sections, Damaged,
    ::testing::Values(DamagedEntry{"NoSections", "{}"},
                      DamagedEntry{"NullSections",
                                   R"({"LightInfo": null, "AudioLightInfo": null, "LightList": null,
                         "KeyList": null, "SystemStages": null, "CustomLightMode": null,
                         "DPIStages": null, "CorrectInfo": null, "SystemSetStages": null,
                         "EQHzValueInfo": null, "CustomEQHzValueInfo": null,
                         "CustomEQNameInfo": null})"},
                      DamagedEntry{
                          "WrongTypes",
                          R"({"LightInfo": "x", "AudioLightInfo": [], "LightList": {"a": 1},
                         "KeyList": 5, "SystemStages": [1], "ReportStages": 2,
                         "CustomLightMode": {"LightColorInfo": "y",
                                             "CustomLightModeGroupIndex": "z"},
                         "DPIStages": [], "CorrectInfo": {}, "SystemSetStages": true,
                         "EQHzValueInfo": [1, "a", [], {}], "CustomEQHzValueInfo": "q",
                         "CustomEQNameInfo": 3})"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Sections, ValuesOfTheWrongTypeReadAsZero) {
    auto mouse = openEntry<CMouseProfiledata>(R"({
        "LightInfo": {"Light": "bright", "Red": null, "Green": 300, "Speed": 2.9, "Fx": true,
                      "MultiColor": 7},
        "LightList": [null, {"LEDREGMode": 1, "LEDDirection": true, "LEDMultiColor": 2,
                             "red": 255}, "x"],
        "KeyList": [{"Assignment": "x", "DefaultAssignment": 2097156}, 7],
        "DPIStages": {"StageActive": 9, "StageDPIs": [{"StageDPIX": 70000, "StageXY": []}]},
        "CorrectInfo": [{"CorrectName": 5, "CorrectMinSq": 3}, 1]})");

    LightInfo light;
    light.Green = 300 & 0xFF;
    light.Speed = 2;
    light.Fx = 1;
    light.MultiColor = 1;
    EXPECT_EQ(mouse->ReadLightInfo(), light);

    const auto leds = mouse->ReadLightList();
    ASSERT_EQ(leds.size(), 3u);
    EXPECT_EQ(leds[0], LedEffectRecord{});
    LedEffectRecord led;
    led.mode = 1;
    led.direction = 1;
    led.multiColor = 1;
    led.red = 255;
    led.present = 1;
    EXPECT_EQ(leds[1], led);
    EXPECT_EQ(leds[2], LedEffectRecord{});

    const auto keys = mouse->ReadKeyList();
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0], (KeyAssignmentRecord{{0, 0, 0, 0, 0}, {0, 0x20, 0, 0x04, 0}}));
    EXPECT_EQ(keys[1], (KeyAssignmentRecord{{1, 0, 0, 0, 0}, {1, 0, 0, 0, 0}}));

    const auto stages = mouse->ReadDpiStages();
    ASSERT_EQ(stages.size(), 1u);
    EXPECT_EQ(stages[0].dpiX(), 70000 & 0xFFFF);
    EXPECT_EQ(mouse->GetActiveDpiStage(), 0);

    EXPECT_EQ(mouse->ReadCorrectInfo(), (std::vector<CorrectRecord>{{0, 3, 0, ""}, {0, 0, 0, ""}}));
}

// --- Index rules ---------------------------------------------------------------------------

TEST_F(Sections, PresetIndexRule) {
    auto headset = openEntry<CHs6533Profiledata>(R"({"EQHzValueInfo": [
        null,
        [{"value": 1}, {"value": 1}, {"value": 1}, {"value": 1}, {"value": 1},
         {"value": 1}, {"value": 1}, {"value": 1}, {"value": 1}, {"value": 1}],
        null, null, null,
        [{"value": 5}, {"value": 5}, {"value": 5}, {"value": 5}, {"value": 5},
         {"value": 5}, {"value": 5}, {"value": 5}, {"value": 5}, {"value": 5}]]})");
    const Curve ones(kEqBandCount, 1);

    const std::pair<int, Curve> cases[] = {
        {0, ones}, {1, ones}, {20, ones}, {-3, ones}, {5, Curve(kEqBandCount, 5)}, {13, {}}};
    for (const auto& [eqType, expected] : cases)
        EXPECT_EQ(headset->ReadPresetEq(eqType), expected) << eqType;
    EXPECT_FALSE(headset->WritePresetEq(13, ones));
}

TEST_F(Sections, MissingCurveReadsFlatAndIsCreated) {
    auto headset = open<CHs6533Profiledata>();

    EXPECT_EQ(headset->ReadPresetEq(5), kFlat);
    ASSERT_TRUE(headset->SaveActiveEntry());

    const Json::Value presets = savedEntry()["EQHzValueInfo"];
    ASSERT_EQ(presets.size(), 6u);
    for (Json::ArrayIndex p = 0; p < 5; ++p)
        EXPECT_TRUE(presets[p].isNull());
    ASSERT_EQ(presets[5].size(), kEqBandCount);
    for (const Json::Value& band : presets[5])
        EXPECT_EQ(band, parse(R"({"value": 0})"));
}

TEST_F(Sections, OwnCurveNumbersOutsideTheRangeTouchNothing) {
    auto headset = open<CHs6533Profiledata>();
    const Curve curve(kEqBandCount, 3);

    for (int n : {-1, kMaxCustomEqCurves, 1000}) {
        EXPECT_EQ(headset->ReadCustomEq(n), kFlat) << n;
        EXPECT_FALSE(headset->WriteCustomEq(n, curve)) << n;
        EXPECT_FALSE(headset->RemoveCustomEq(n)) << n;
    }
    ASSERT_TRUE(headset->SaveActiveEntry());
    EXPECT_EQ(savedEntry(), factoryEntry());
}

TEST_F(Sections, RemovingAnOwnCurveKeepsNamesAndCurvesPaired) {
    auto headset = open<CHs6533Profiledata>();
    headset->WriteCustomEqNames({"A", "B", "C"});
    for (int n = 0; n < 3; ++n)
        headset->WriteCustomEq(n, Curve(kEqBandCount, n + 1));

    ASSERT_TRUE(headset->RemoveCustomEq(1));

    EXPECT_EQ(headset->ReadCustomEqNames(), (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(headset->ReadCustomEq(0), Curve(kEqBandCount, 1));
    EXPECT_EQ(headset->ReadCustomEq(1), Curve(kEqBandCount, 3));
}

TEST_F(Sections, StagesHeldFromBeforeDoNotLeakIntoAProfileWithFewer) {
    auto mouse = openEntry<CMouseProfiledata>(R"({"DPIStages": {"StageActive": 2, "StageDPIs": [
        {"StageDPIX": 10}, {"StageDPIX": 11}, {"StageDPIX": 12}]}})");
    std::vector<DpiStageRecord> held(4);
    held[3].setDpiX(99);
    mouse->WriteDpiStages(held);
    mouse->LoadActiveEntry(profileFile.string());  // the file still holds three stages

    const auto stages = mouse->ReadDpiStages();

    ASSERT_EQ(stages.size(), 3u);
    EXPECT_EQ(stages[0].dpiX(), 10);
    EXPECT_EQ(stages[2].dpiX(), 12);
    EXPECT_EQ(mouse->GetActiveDpiStage(), 2);
    EXPECT_FALSE(mouse->SetActiveDpiStage(5));
    EXPECT_FALSE(mouse->SetActiveDpiStage(-1));
    EXPECT_EQ(mouse->GetActiveDpiStage(), 2);
}

TEST_F(Sections, MissingColourGroupReadsBlackAndIsCreated) {
    auto keyboard = open<CKeyboardProfiledata>();

    EXPECT_EQ(keyboard->ReadCustomLightColors(2, 3), std::vector<RgbaColor>(3));
    EXPECT_TRUE(keyboard->ReadCustomLightColors(-1, 3).empty());
    EXPECT_TRUE(keyboard->ReadCustomLightColors(256, 3).empty());
    EXPECT_FALSE(keyboard->WriteCustomLightColors({{1, 1, 1, 1}}, -1));
    EXPECT_FALSE(keyboard->WriteCustomLightGroup(256));
    ASSERT_TRUE(keyboard->SaveActiveEntry());

    const Json::Value groups = savedEntry()["CustomLightMode"]["LightColorInfo"];
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_TRUE(groups[1].isNull());
    ASSERT_EQ(groups[2].size(), 3u);
    EXPECT_EQ(groups[2][0], parse(R"({"Red": 0, "Green": 0, "Blue": 0, "Alpha": 0})"));
}

}  // namespace
}  // namespace qm
