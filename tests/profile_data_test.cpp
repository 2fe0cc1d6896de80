// The profile data object and its files: loading with repair from the factory profile, saving,
// the custom effect lookup, and the factory data that ships with the program.
#include <gtest/gtest.h>
#include <unistd.h>

#include <vector>

#include "profile/hs6533_profile_data.h"
#include "profile/json_file.h"
#include "profile/keyboard_profile_data.h"
#include "profile/mouse_profile_data.h"
#include "profile_fixtures.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using testing::parse;
using testing::readJson;
using testing::readText;
using testing::writeText;

class ProfileFiles : public testing::ProfileFolders {};

// --- Loading and repair --------------------------------------------------------------------

struct RepairCase {
    const char* name;
    const char* content;  // nullptr: no file
    bool keptAside;       // the old content is kept as "<file>.bad"
    bool keysSurvive;     // "profilename" of the old file is still there
};

void PrintTo(const RepairCase& c, std::ostream* os) {
    *os << c.name;
}

class Repair : public testing::ProfileFolders, public ::testing::WithParamInterface<RepairCase> {};

TEST_P(Repair, ProfileHoldsTheFactoryEntry) {
    const RepairCase& c = GetParam();
    if (c.content != nullptr)
        writeText(profileFile, c.content);

    auto profile = attach<CBasicProfiledata>(profileFile);

    EXPECT_EQ(profile->LoadActiveEntry(profileFile.string()), factoryEntry());
    const Json::Value saved = readJson(profileFile);
    EXPECT_EQ(saved["Device"][0], factoryEntry());
    EXPECT_EQ(fs::exists(profileFile.string() + ".bad"), c.keptAside);
    if (c.keptAside) {
        EXPECT_EQ(readText(profileFile.string() + ".bad"), c.content);
    }
    if (c.keysSurvive) {
        EXPECT_EQ(saved["profilename"], "Mine");
    }
    EXPECT_EQ(readText(defaultFile), testing::kFactoryProfile);
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, Repair,
    ::testing::Values(
        RepairCase{"Missing", nullptr, false, false},
        RepairCase{"EmptyDevices", R"({"Device": [], "profilename": "Mine"})", false, true},
        RepairCase{"NullEntry", R"({"Device": [null], "profilename": "Mine"})", false, true},
        RepairCase{"NumberEntry", R"({"Device": [7], "profilename": "Mine"})", false, true},
        RepairCase{"DeviceIsText", R"({"Device": "x", "profilename": "Mine"})", false, true},
        RepairCase{"NoDevice", R"({"profilename": "Mine"})", false, true},
        RepairCase{"Garbage", "{\"Device\": [{\"Light", true, false},
        RepairCase{"Empty", "", true, false}, RepairCase{"TopLevelArray", "[1, 2]", true, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProfileFiles, ValidProfileIsLoadedAsItIs) {
    const std::string text =
        "{\r\n\"Device\": [{\"LightInfo\": {\"Light\": 1}}],\r\n\"profilename\": \"Mine\"}\r\n";
    writeText(profileFile, text);

    auto profile = attach<CBasicProfiledata>(profileFile);

    EXPECT_EQ(profile->LoadActiveEntry(profileFile.string()),
              parse(R"({"LightInfo": {"Light": 1}})"));
    EXPECT_EQ(readText(profileFile), text);
}

TEST_F(ProfileFiles, WithoutFactoryEntryNothingIsWritten) {
    const std::string garbage = "not json";
    writeText(profileFile, garbage);
    writeText(defaultFile, R"({"Device": [null]})");

    auto profile = attach<CKeyboardProfiledata>(profileFile);

    EXPECT_TRUE(profile->LoadActiveEntry(profileFile.string()).isNull());
    EXPECT_EQ(readText(profileFile), garbage);
    EXPECT_FALSE(fs::exists(profileFile.string() + ".bad"));
    EXPECT_EQ(profile->ReadLightInfo(), LightInfo{});
    EXPECT_TRUE(profile->ReadKeyList().empty());
    EXPECT_FALSE(profile->SaveActiveEntry());  // nothing loaded: the file is left alone
    EXPECT_EQ(readText(profileFile), garbage);
}

TEST_F(ProfileFiles, UnreadableProfileIsLeftAlone) {
    fs::create_directory(profileFile);  // exists, but cannot be read as a file

    auto profile = attach<CBasicProfiledata>(profileFile);

    // The factory entry is used in memory only.
    EXPECT_EQ(profile->LoadActiveEntry(profileFile.string()), factoryEntry());
    EXPECT_FALSE(profile->SaveActiveEntry());
    EXPECT_TRUE(fs::is_directory(profileFile));
    EXPECT_FALSE(fs::exists(profileFile.string() + ".bad"));
}

TEST_F(ProfileFiles, NothingIsWrittenIntoTheDefaultDataFolder) {
    const fs::path inside[] = {defaultFolder / "new.Json", defaultFile,
                               userFolder / ".." / "DefaultData" / "other.Json"};
    for (const fs::path& path : inside) {
        SCOPED_TRACE(path.string());
        auto profile = open<CBasicProfiledata>(path);
        profile->WriteLightInfo(LightInfo{});
        EXPECT_FALSE(profile->SaveActiveEntry());
        EXPECT_FALSE(profile->WriteWholeFile(parse("{}"), path.string()));
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(defaultFolder), fs::directory_iterator()), 1);
    EXPECT_EQ(readText(defaultFile), testing::kFactoryProfile);
}

TEST_F(ProfileFiles, FactoryResetCopiesTheFactoryEntryIntoTheProfile) {
    writeText(profileFile, R"({"Device": [{"LightInfo": {"Light": 1}}], "profilename": "Mine"})");
    auto profile = open<CBasicProfiledata>();

    profile->LoadActiveEntry(defaultFile.string());
    ASSERT_TRUE(profile->SaveActiveEntry());

    const Json::Value saved = readJson(profileFile);
    EXPECT_EQ(saved["Device"][0], factoryEntry());
    EXPECT_EQ(saved["profilename"], "Mine");
    EXPECT_EQ(readText(defaultFile), testing::kFactoryProfile);
}

TEST_F(ProfileFiles, FailedWriteIsReported) {
    const fs::path blocked = root / "plain-file" / "profile.Json";
    writeText(root / "plain-file", "a file, not a folder");

    auto profile = attach<CBasicProfiledata>(blocked);

    EXPECT_EQ(profile->LoadActiveEntry(blocked.string()), factoryEntry());
    EXPECT_FALSE(profile->SaveActiveEntry());
    EXPECT_FALSE(profile->WriteWholeFile(parse("{}"), blocked.string()));
    EXPECT_FALSE(profile->SaveDeviceEntry(factoryEntry(), ""));
}

TEST_F(ProfileFiles, SaveKeepsTheKeysOutsideTheDeviceEntry) {
    writeText(profileFile, R"({"Device": [{"LightInfo": {}}, {"second": 1}], "profilename": "Mine",
                              "profileUUID": "2024_03_07_09_05_01_042", "extra": [1, 2]})");
    auto profile = open<CBasicProfiledata>();
    LightInfo info;
    info.Light = 3;
    profile->WriteLightInfo(info);

    ASSERT_TRUE(profile->SaveActiveEntry());

    const Json::Value saved = readJson(profileFile);
    EXPECT_EQ(saved["Device"][0]["LightInfo"]["Light"], 3);
    EXPECT_EQ(saved["Device"][1], parse(R"({"second": 1})"));
    EXPECT_EQ(saved["profilename"], "Mine");
    EXPECT_EQ(saved["profileUUID"], "2024_03_07_09_05_01_042");
    EXPECT_EQ(saved["extra"], parse("[1, 2]"));
    EXPECT_EQ(readText(profileFile).find('\r'), std::string::npos);
}

TEST_F(ProfileFiles, SaveOverADamagedFileKeepsItAside) {
    auto profile = open<CBasicProfiledata>();
    writeText(profileFile, "{broken");

    ASSERT_TRUE(profile->SaveActiveEntry());

    EXPECT_EQ(readText(profileFile.string() + ".bad"), "{broken");
    EXPECT_EQ(readJson(profileFile)["Device"][0], factoryEntry());
}

TEST_F(ProfileFiles, OtherEntryIsEditedWithoutTouchingTheActiveOne) {
    const fs::path other = userFolder / "other.Json";
    writeText(other, R"({"Device": [{"KeyList": [{"Assignment": 1, "DefaultAssignment": 1}]}]})");
    auto profile = open<CKeyboardProfiledata>();
    const std::string activeText = readText(profileFile);

    profile->LoadOtherEntry(other.string());
    std::vector<KeyAssignmentRecord> keys = profile->ReadOtherKeyList();
    ASSERT_EQ(keys.size(), 1u);
    keys[0].current = unpackKeyCode(0x700300, 0);
    profile->WriteOtherKeyList(keys);
    ASSERT_TRUE(profile->SaveOtherEntry(other.string()));

    EXPECT_EQ(readJson(other)["Device"][0]["KeyList"][0]["Assignment"], 0x700300);
    EXPECT_EQ(readJson(other)["Device"][0]["KeyList"][0]["DefaultAssignment"], 1);
    EXPECT_EQ(readText(profileFile), activeText);
    EXPECT_EQ(profile->ReadKeyList()[0].current, unpackKeyCode(0x200029, 0));
}

TEST_F(ProfileFiles, EmptyPathsAreIgnoredExceptForTheLightingConfiguration) {
    CBasicProfiledata profile;
    profile.SetProfilePath("a.Json");
    profile.SetProfilePath("");
    profile.SetLightConfigPath("velto_light.config");
    profile.SetLightConfigPath("");

    EXPECT_EQ(profile.GetProfilePath(), "a.Json");
    EXPECT_EQ(profile.GetLightConfigPath(), "");
}

// --- Custom effect -------------------------------------------------------------------------

class CustomEffect : public testing::ProfileFolders {
protected:
    // A lighting configuration whose effect for mode 2 is guid, and a profile in mode 2.
    std::vector<CustomEffectStep> readEffect(const std::string& guid, const fs::path& config = {}) {
        const fs::path path = config.empty() ? userFolder / "velto_light.config" : config;
        Json::Value document;
        document["LightInfo"][0][2]["Guid"] = guid;
        EXPECT_EQ(SaveJsonDocument(path.string(), document), 0);
        auto profile = open<CBasicProfiledata>();
        LightInfo info;
        info.SelectItem = 2;
        profile->WriteLightInfo(info);
        profile->SetLightConfigPath(path.string());
        profile->LoadLightConfig(path.string());
        return profile->ReadCustomEffect();
    }

    static void writeEffect(const fs::path& path, int red) {
        writeText(path, R"({"LEDEffectList": [
            {"LEDREGMode": 1, "LEDDirection": 1, "LEDBrightness": 4, "LEDSpeed": 2,
             "LEDMultiColor": 0, "red": )" +
                            std::to_string(red) +
                            R"(, "green": 2, "blue": 3, "Time": 1000, "Cyle": 2},
            {"LEDREGMode": 4, "Time": 250}]})");
    }
};

TEST_F(CustomEffect, IsReadFromBesideTheLightingConfiguration) {
    writeEffect(userFolder / "effect1.light", 200);

    const std::vector<CustomEffectStep> steps = readEffect("effect1");

    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0], (CustomEffectStep{1, 4, 2, 1, 0, 200, 2, 3, 1000, 2}));
    EXPECT_EQ(steps[1], (CustomEffectStep{4, 0, 0, 0, 0, 0, 0, 0, 250, 0}));
}

TEST_F(CustomEffect, FallsBackToTheWorkingFolder) {
    const fs::path work = root / "work";
    fs::create_directory(work);
    writeEffect(work / "effect2.light", 7);
    const fs::path saved = fs::current_path();
    fs::current_path(work);

    const std::vector<CustomEffectStep> steps = readEffect("effect2");

    fs::current_path(saved);
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].red, 7);
}

TEST_F(CustomEffect, PathLikeIdsAreRefused) {
    writeEffect(root / "outside.light", 1);
    fs::create_directory(userFolder / "sub");
    writeEffect(userFolder / "sub" / "inner.light", 1);

    const std::string guids[] = {"../outside", (root / "outside").string(), "sub/inner",
                                 "sub\\inner"};
    for (const std::string& guid : guids) {
        SCOPED_TRACE(guid);
        EXPECT_TRUE(readEffect(guid).empty());
    }
}

TEST_F(CustomEffect, MissingConfigurationOrEffectGivesNoSteps) {
    writeEffect(userFolder / "effect1.light", 1);
    auto profile = open<CBasicProfiledata>();
    profile->LoadLightConfig((userFolder / "velto_light.config").string());
    EXPECT_TRUE(profile->ReadCustomEffect().empty());

    EXPECT_TRUE(readEffect("no-such-effect").empty());
}

// --- Shipped factory data ------------------------------------------------------------------

const fs::path kDefaultData = fs::path(QM_DATA_DIR) / "DefaultData";

struct FactoryFile {
    const char* file;
    std::vector<const char*> sections;
};

void PrintTo(const FactoryFile& c, std::ostream* os) {
    *os << c.file;
}

class ShippedProfile : public ::testing::TestWithParam<FactoryFile> {};

TEST_P(ShippedProfile, ParsesAndHoldsItsSections) {
    const FactoryFile& c = GetParam();
    const std::string text = readText(kDefaultData / c.file);
    JsonFileState state = JsonFileState::Missing;
    const Json::Value document = LoadJsonDocument((kDefaultData / c.file).string(), &state);

    ASSERT_EQ(state, JsonFileState::Ok);
    EXPECT_NE(text.rfind("\xEF\xBB\xBF", 0), 0u);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_TRUE(document["profilename"].isString());
    EXPECT_EQ(document["profileUUID"], fs::path(c.file).stem().string());
    const Json::Value& entry = document["Device"][0];
    ASSERT_TRUE(entry.isObject());
    for (const char* section : c.sections)
        EXPECT_TRUE(entry.isMember(section)) << section;
    EXPECT_EQ(entry.size(), c.sections.size());
}

INSTANTIATE_TEST_SUITE_P(
    DefaultData, ShippedProfile,
    ::testing::Values(FactoryFile{"keyboard.Json",
                                  {"LightInfo", "AudioLightInfo", "LightList", "KeyList",
                                   "SystemStages", "CustomLightMode"}},
                      FactoryFile{"mouse.Json",
                                  {"LightInfo", "LightList", "KeyList", "SystemStages",
                                   "ReportStages", "DPIStages", "CorrectInfo"}},
                      FactoryFile{"MousePad.Json", {"LightInfo", "LightList"}},
                      FactoryFile{"HD.Json",
                                  {"LightInfo", "LightList", "SystemSetStages", "EQHzValueInfo",
                                   "CustomEQHzValueInfo", "CustomEQNameInfo"}}),
    [](const auto& info) { return fs::path(info.param.file).stem().string(); });

template <class Profile>
std::unique_ptr<Profile> factory(const char* file) {
    auto profile = std::make_unique<Profile>();
    profile->LoadActiveEntry((kDefaultData / file).string());
    return profile;
}

TEST(ShippedData, KeyboardKeysAreTheLayoutDefaults) {
    const auto keys = factory<CKeyboardProfiledata>("keyboard.Json")->ReadKeyList();

    ASSERT_EQ(keys.size(), kLayoutPositions);
    for (std::size_t p = 0; p < keys.size(); ++p) {
        EXPECT_EQ(keys[p].current, keys[p].defaults) << p;
        EXPECT_EQ(keys[p].current.position, p);
    }
    const std::pair<std::size_t, std::int64_t> spots[] = {
        {0, 0x200029},   {12, 0x200045},  {16, 0xA01B00},  {17, 0xA02400},
        {18, 0x200000},  {31, 0x200027},  {43, 0x200014},  {62, 0x200032},
        {84, 0x200200},  {105, 0x200100}, {110, 0xA00100}, {118, 0x200058},
        {120, 0xD0A201}, {124, 0xD0A205}, {125, 0x208000}, {169, 0x200000}};
    for (const auto& [position, code] : spots)
        EXPECT_EQ(packKeyCode(keys[position].current), code) << position;
}

TEST(ShippedData, MouseHasItsButtonsAndFiveStages) {
    auto mouse = factory<CMouseProfiledata>("mouse.Json");

    const auto keys = mouse->ReadKeyList();
    ASSERT_EQ(keys.size(), 11u);
    EXPECT_EQ(packKeyCode(keys[0].current), 0x100100);
    EXPECT_EQ(packKeyCode(keys[10].current), 0x147802);
    const auto stages = mouse->ReadDpiStages();
    ASSERT_EQ(stages.size(), kDpiStageCount);
    for (const DpiStageRecord& stage : stages)
        EXPECT_EQ(stage.enabled, 1);
    EXPECT_LT(mouse->GetActiveDpiStage(), 5);
    EXPECT_FALSE(mouse->ReadCorrectInfo().empty());
}

TEST(ShippedData, HeadsetCarriesTheTwelvePresetCurves) {
    auto headset = factory<CHs6533Profiledata>("HD.Json");

    EXPECT_EQ(headset->ReadPresetEq(3), (std::vector<int>{10, 4, 0, -3, -4, -3, -2, -1, 0, 0}));
    EXPECT_EQ(headset->ReadPresetEq(12), (std::vector<int>{2, 1, -2, -4, -8, 4, 12, 16, 18, 15}));
    const SystemSetStages audio = headset->ReadSystemSetStages();
    EXPECT_GE(audio[SystemSetIndex::EqType], 0);
    EXPECT_LE(audio[SystemSetIndex::EqType], 12);
    EXPECT_TRUE(headset->ReadCustomEqNames().empty());
}

TEST(ShippedData, ModeListsCoverEveryDeviceAndItsFactoryMode) {
    const Json::Value modes = LoadJsonDocument((kDefaultData / "default_light.json").string());
    const Json::Value config = LoadJsonDocument((kDefaultData / "velto_light.config").string());
    const char* profiles[] = {"keyboard.Json", "mouse.Json", "MousePad.Json", "HD.Json"};
    const Json::ArrayIndex sizes[] = {31, 10, 9, 9};

    for (Json::ArrayIndex kind = 0; kind < 4; ++kind) {
        SCOPED_TRACE(profiles[kind]);
        const Json::Value& list = modes["DefaultLightName"][kind];
        ASSERT_EQ(list.size(), sizes[kind]);
        for (Json::ArrayIndex i = 0; i < list.size(); ++i) {
            EXPECT_TRUE(list[i]["LightName"].isString());
            EXPECT_TRUE(list[i]["visible"].isBool());
            EXPECT_EQ(list[i]["value"], static_cast<int>(i));
        }
        EXPECT_TRUE(modes["AreaLightName"][kind].isArray());
        EXPECT_TRUE(config["LightInfo"][kind].isArray());
        const int mode = factory<CBasicProfiledata>(profiles[kind])->ReadLightInfo().SelectItem;
        EXPECT_TRUE(list[mode]["visible"].asBool());
    }
}

}  // namespace
}  // namespace qm
