// The profile list against a temporary user data folder and a tiny factory profile.
#include "profile/profile_list.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "device/hid/usb_interface_record.h"
#include "profile/json_access.h"
#include "profile/json_file.h"
#include "profile/profile_names.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const auto kNow = std::chrono::sys_days{std::chrono::year{2024} / 3 / 7} + 9h + 5min + 1s + 42ms;

Json::Value parse(const std::string& text) {
    Json::Value value;
    Json::Reader().parse(text, value);
    return value;
}

Json::Value load(const fs::path& path) {
    return LoadJsonDocument(path.string());
}

void writeText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

struct FakeOwner : ProfileListOwner {
    struct Change {
        std::string id;
        std::string file;
        ProfileChange change;
    };
    int DeviceKind() const override { return kind; }
    std::string UserDataFolder() const override { return folder; }
    std::string DefaultProfileFile() const override { return defaultFile; }
    void ActiveProfileChanged(const std::string& id, const std::string& file,
                              ProfileChange change) override {
        changes.push_back({id, file, change});
    }

    int kind = DEVICE_KEYBOARD;
    std::string folder;
    std::string defaultFile;
    std::vector<Change> changes;
};

class ProfileListTest : public ::testing::Test {
protected:
    ProfileListTest() {
        root = fs::temp_directory_path() /
               ("qm-profiles-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "default");
        user = root / "user";
        owner.folder = user.string() + "/";
        owner.defaultFile = (root / "default" / "keyboard.Json").string();
        writeText(owner.defaultFile, R"({"Device": [{"LightInfo": {"Light": 3}}],
                                         "profilename": "factory"})");
    }
    ~ProfileListTest() override { fs::remove_all(root); }

    // A list file naming profiles "id0", "id1", ... and a file for each whose "Device" tells
    // which profile it is.
    void seed(const std::vector<std::string>& names, int selected = 0) {
        fs::create_directories(user);
        Json::Value list;
        for (std::size_t i = 0; i < names.size(); ++i) {
            const std::string id = "id" + std::to_string(i);
            list["profilelist"][static_cast<Json::ArrayIndex>(i)]["profilename"] = names[i];
            list["profilelist"][static_cast<Json::ArrayIndex>(i)]["profileUUID"] = id;
            writeProfile(id, names[i]);
        }
        list["profileselect"] = selected;
        ASSERT_EQ(SaveJsonDocument(listFile().string(), list), 0);
        ASSERT_TRUE(profiles.LoadProfileList().ok());
        owner.changes.clear();
    }
    void writeProfile(const std::string& id, const std::string& name) {
        Json::Value profile;
        profile["Device"][0u]["Tag"] = name;
        profile["profilename"] = name;
        profile["profileUUID"] = id;
        ASSERT_EQ(SaveJsonDocument((user / (id + ".Json")).string(), profile), 0);
    }

    fs::path listFile() const { return user / "ProfileList.ini"; }
    fs::path fileOf(int i) const { return profiles.GetProfileFilePath(i); }
    std::vector<std::string> names() const { return NamesOf(profiles); }
    static std::vector<std::string> NamesOf(const ProfileList& list) {
        std::vector<std::string> result;
        for (const ProfileEntry& p : list.Profiles())
            result.push_back(p.name);
        return result;
    }

    // Every file in the folder parses (the ".bad" ones are kept aside on purpose), the list file
    // says what the model holds, and each profile's file carries its name and id.
    void expectConsistent() const {
        for (const auto& entry : fs::directory_iterator(user)) {
            if (entry.path().string().find(".bad") != std::string::npos)
                continue;
            JsonFileState state;
            LoadJsonDocument(entry.path().string(), &state);
            EXPECT_EQ(state, JsonFileState::Ok) << entry.path();
        }
        const Json::Value list = load(listFile());
        const Json::Value& entries = json::member(list, "profilelist");
        ASSERT_EQ(entries.size(), profiles.Profiles().size());
        EXPECT_EQ(json::intAt(list, "profileselect", -1), profiles.GetSelectedIndex());
        for (Json::ArrayIndex i = 0; i < entries.size(); ++i) {
            const ProfileEntry& p = profiles.Profiles()[i];
            EXPECT_EQ(json::stringAt(entries[i], "profilename"), p.name);
            EXPECT_EQ(json::stringAt(entries[i], "profileUUID"), p.id);
            const Json::Value file = load(fileOf(static_cast<int>(i)));
            EXPECT_EQ(json::stringAt(file, "profilename"), p.name);
            EXPECT_EQ(json::stringAt(file, "profileUUID"), p.id);
        }
    }

    Json::Value factoryNamed(const std::string& name, const std::string& id) const {
        Json::Value expected = load(owner.defaultFile);
        expected["profilename"] = name;
        expected["profileUUID"] = id;
        return expected;
    }

    fs::path root;
    fs::path user;
    FakeOwner owner;
    std::chrono::system_clock::time_point now = kNow;
    ProfileList profiles{owner, [this] { return now; }};
};

// --- Loading -------------------------------------------------------------------------------

TEST_F(ProfileListTest, FreshFolderStartsWithProfile1FromTheFactoryProfile) {
    ASSERT_TRUE(profiles.LoadProfileList().ok());

    const std::string id = MakeTimestampName(kNow);
    EXPECT_EQ(names(), std::vector<std::string>{"profile1"});
    EXPECT_EQ(profiles.GetSelectedProfileId(), id);
    EXPECT_EQ(load(fileOf(0)), factoryNamed("profile1", id));
    EXPECT_EQ(load(listFile()), parse(R"({"profilelist": [{"profilename": "profile1",
                                                           "profileUUID": ")" +
                                      id + R"(",
                                                           "profileislink": 0,
                                                           "profilelinkmame": ""}],
                                          "profileselect": 0})"));
    ASSERT_EQ(owner.changes.size(), 1u);
    EXPECT_EQ(owner.changes[0].id, id);
    EXPECT_EQ(owner.changes[0].file, (user / (id + ".Json")).string());
    EXPECT_EQ(owner.changes[0].change, ProfileChange::Loaded);
    expectConsistent();
}

struct BadList {
    const char* label;
    const char* text;
    bool keptAside;
};

class DamagedList : public ProfileListTest, public ::testing::WithParamInterface<BadList> {};

TEST_P(DamagedList, IsRebuiltFromTheProfileFiles) {
    fs::create_directories(user);
    writeProfile("2024_01_02_00_00_00_000", "second");
    writeProfile("2023_05_06_00_00_00_000", "first");
    writeText(user / "other.Json", "[1, 2]");  // JSON, but not a profile
    writeText(user / "broken.Json", "{");
    writeText(user / "AudioFile.json", R"({"Device": []})");
    if (GetParam().text != nullptr)
        writeText(listFile(), GetParam().text);

    ASSERT_TRUE(profiles.LoadProfileList().ok());

    EXPECT_EQ(names(), (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(profiles.GetSelectedIndex(), 0);
    EXPECT_EQ(fs::exists(user / "ProfileList.ini.bad"), GetParam().keptAside);
    EXPECT_FALSE(fs::exists(root / "x.Json"));
    ASSERT_EQ(owner.changes.size(), 1u);
    EXPECT_EQ(owner.changes[0].id, "2023_05_06_00_00_00_000");
    fs::remove(user / "broken.Json");
    expectConsistent();
}

INSTANTIATE_TEST_SUITE_P(
    ProfileList, DamagedList,
    ::testing::Values(BadList{"missing", nullptr, false},
                      BadList{"empty_list", R"({"profilelist": [], "profileselect": 0})", false},
                      BadList{"not_json", "{\"profilelist\": [", true},
                      BadList{"empty_file", "", true}, BadList{"top_level_array", "[1]", true},
                      BadList{"list_not_array", R"({"profilelist": {}})", true},
                      BadList{"name_not_text",
                              R"({"profilelist": [{"profilename": 1, "profileUUID": "a"}]})", true},
                      BadList{"id_outside_folder",
                              R"({"profilelist": [{"profilename": "x", "profileUUID": "../x"}]})",
                              true},
                      BadList{"id_twice",
                              R"({"profilelist": [{"profilename": "a", "profileUUID": "a"},
                                                 {"profilename": "b", "profileUUID": "a"}]})",
                              true}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(ProfileListTest, AListThatCannotBeReadIsUsedInMemoryButNeverReplaced) {
    fs::create_directories(user);
    writeProfile("2023_05_06_00_00_00_000", "first");
    // A folder in the list's place cannot be read, as a file without permission cannot.
    fs::create_directories(listFile());

    profiles.LoadProfileList();

    EXPECT_EQ(names(), (std::vector<std::string>{"first"}));
    EXPECT_TRUE(fs::is_directory(listFile()));
    EXPECT_FALSE(fs::exists(user / "ProfileList.ini.bad"));
}

struct SelectCase {
    const char* stored;
    int expected;
};

class StoredSelection : public ProfileListTest, public ::testing::WithParamInterface<SelectCase> {};

TEST_P(StoredSelection, IsClampedToTheList) {
    fs::create_directories(user);
    for (const char* id : {"a", "b", "c"})
        writeProfile(id, id);
    const std::string select =
        GetParam().stored ? std::string(", \"profileselect\": ") + GetParam().stored : "";
    writeText(listFile(), R"({"profilelist": [{"profilename": "a", "profileUUID": "a"},
                                              {"profilename": "b", "profileUUID": "b"},
                                              {"profilename": "c", "profileUUID": "c"}])" +
                              select + "}");

    ASSERT_TRUE(profiles.LoadProfileList().ok());

    EXPECT_EQ(profiles.GetSelectedIndex(), GetParam().expected);
    EXPECT_EQ(owner.changes.at(0).id, profiles.GetSelectedProfileId());
    expectConsistent();
}

INSTANTIATE_TEST_SUITE_P(ProfileList, StoredSelection,
                         ::testing::Values(SelectCase{"1", 1}, SelectCase{"-3", 0},
                                           SelectCase{"7", 2}, SelectCase{"\"2\"", 0},
                                           SelectCase{"2.0", 2}, SelectCase{nullptr, 0}));

// --- Adding, copying, importing ------------------------------------------------------------

TEST_F(ProfileListTest, AddTakesTheLowestFreeNameAndKeepsTheSelection) {
    seed({"profile1", "Profile2"}, 1);

    const ProfileOutcome added = profiles.AddProfile();

    ASSERT_TRUE(added.ok()) << added.detail;
    EXPECT_EQ(added.index, 2);
    EXPECT_EQ(names(), (std::vector<std::string>{"profile1", "Profile2", "profile3"}));
    EXPECT_EQ(load(fileOf(2)), factoryNamed("profile3", MakeTimestampName(kNow)));
    EXPECT_EQ(profiles.GetSelectedIndex(), 1);
    EXPECT_TRUE(owner.changes.empty());
    expectConsistent();
}

TEST_F(ProfileListTest, AddStopsAtFiftyWhileCopyAndImportGoOn) {
    seed({"a"});
    for (int i = 1; i < 50; ++i)
        ASSERT_TRUE(profiles.AddProfile().ok());
    ASSERT_EQ(profiles.GetProfileCount(), 50);

    EXPECT_EQ(profiles.AddProfile().result, ProfileResult::Unchanged);
    EXPECT_EQ(profiles.GetProfileCount(), 50);
    EXPECT_TRUE(profiles.CopyProfile().ok());
    EXPECT_TRUE(profiles.ImportProfile(fileOf(0)).ok());
    EXPECT_EQ(profiles.GetProfileCount(), 52);
    expectConsistent();
}

TEST_F(ProfileListTest, NewIdsSkipTakenFileNamesByOneMillisecond) {
    seed({"a"});
    writeProfile(MakeTimestampName(kNow), "stray");
    writeProfile(MakeTimestampName(kNow + 1ms), "stray");

    ASSERT_TRUE(profiles.AddProfile().ok());
    ASSERT_TRUE(profiles.AddProfile().ok());

    EXPECT_EQ(profiles.Profiles()[1].id, MakeTimestampName(kNow + 2ms));
    EXPECT_EQ(profiles.Profiles()[2].id, MakeTimestampName(kNow + 3ms));
}

TEST_F(ProfileListTest, CopyAppendsCopyUntilTheNameIsFree) {
    seed({"A", "a COPY"});

    ASSERT_TRUE(profiles.CopyProfile().ok());

    EXPECT_EQ(names(), (std::vector<std::string>{"A", "a COPY", "A copy copy"}));
    Json::Value expected = load(fileOf(0));
    expected["profilename"] = "A copy copy";
    expected["profileUUID"] = MakeTimestampName(kNow);
    EXPECT_EQ(load(fileOf(2)), expected);
    EXPECT_EQ(profiles.GetSelectedIndex(), 0);
    EXPECT_TRUE(owner.changes.empty());
    expectConsistent();
}

TEST_F(ProfileListTest, CopyOfADamagedProfileIsRefused) {
    seed({"A"});
    writeText(fileOf(0), "{");

    const ProfileOutcome copied = profiles.CopyProfile();

    EXPECT_EQ(copied.result, ProfileResult::Refused);
    EXPECT_FALSE(copied.detail.empty());
    EXPECT_EQ(profiles.GetProfileCount(), 1);
}

TEST_F(ProfileListTest, ImportIsNamedAfterTheFileAndGetsANewId) {
    seed({"p", "P(1)"});
    fs::create_directories(root / "in");
    const fs::path source = root / "in" / "p.json";
    writeText(source, R"({"Device": [{"Tag": "imported"}], "Extra": 1,
                          "profilename": "X", "profileUUID": "../x"})");

    ASSERT_TRUE(profiles.ImportProfile(source.string()).ok());

    EXPECT_EQ(names(), (std::vector<std::string>{"p", "P(1)", "p(1)(2)"}));
    Json::Value expected = load(source);
    expected["profilename"] = "p(1)(2)";
    expected["profileUUID"] = MakeTimestampName(kNow);
    EXPECT_EQ(load(fileOf(2)), expected);
    EXPECT_FALSE(fs::exists(root / "x.Json"));
    EXPECT_EQ(profiles.GetSelectedIndex(), 0);
    expectConsistent();
}

struct ImportRefusal {
    const char* label;
    std::string text;  // empty: no file at all
};

class ImportRefused : public ProfileListTest,
                      public ::testing::WithParamInterface<ImportRefusal> {};

TEST_P(ImportRefused, ChangesNothing) {
    seed({"a"});
    const fs::path source = root / "in.json";
    if (!GetParam().text.empty())
        writeText(source, GetParam().text);
    const auto filesBefore = std::distance(fs::directory_iterator(user), {});

    const ProfileOutcome imported = profiles.ImportProfile(source.string());

    EXPECT_EQ(imported.result, ProfileResult::Refused);
    EXPECT_NE(imported.detail, "");
    EXPECT_EQ(names(), std::vector<std::string>{"a"});
    EXPECT_EQ(std::distance(fs::directory_iterator(user), {}), filesBefore);
    expectConsistent();
}

const std::string kProfileText = R"({"Device": [{}], "profilename": "n", "profileUUID": "u"})";

INSTANTIATE_TEST_SUITE_P(
    ProfileList, ImportRefused,
    ::testing::Values(ImportRefusal{"missing", ""}, ImportRefusal{"not_json", "Device"},
                      ImportRefusal{"not_an_object", "[1, 2]"},
                      ImportRefusal{"no_device", R"({"profilename": "n", "profileUUID": "u"})"},
                      ImportRefusal{"device_not_array",
                                    R"({"Device": {}, "profilename": "n", "profileUUID": "u"})"},
                      ImportRefusal{"no_name", R"({"Device": [{}], "profileUUID": "u"})"},
                      ImportRefusal{"no_id", R"({"Device": [{}], "profilename": "n"})"},
                      ImportRefusal{"over_1_MiB", kProfileText + std::string(1024 * 1024, ' ')}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(ProfileListTest, ImportOfAFolderIsRefused) {
    seed({"a"});
    EXPECT_EQ(profiles.ImportProfile(root.string()).result, ProfileResult::Refused);
    EXPECT_EQ(profiles.GetProfileCount(), 1);
}

// --- Export ----------------------------------------------------------------------------------

TEST_F(ProfileListTest, ExportWritesTheSelectedProfileUnchanged) {
    seed({"a", "b"}, 1);
    const fs::path target = root / "out.json";

    ASSERT_TRUE(profiles.ExportProfile(target.string()).ok());

    EXPECT_EQ(load(target), load(fileOf(1)));
}

TEST_F(ProfileListTest, ExportOfAnUnreadableProfileIsRefused) {
    seed({"a"});
    const fs::path target = root / "out.json";
    for (const char* text : {"{", "null"}) {
        writeText(fileOf(0), text);
        const ProfileOutcome exported = profiles.ExportProfile(target.string());
        EXPECT_EQ(exported.result, ProfileResult::Refused) << text;
        EXPECT_FALSE(fs::exists(target)) << text;
    }
    fs::remove(fileOf(0));
    EXPECT_EQ(profiles.ExportProfile(target.string()).result, ProfileResult::Refused);
    EXPECT_FALSE(fs::exists(target));
}

// --- Rename ----------------------------------------------------------------------------------

struct RenameCase {
    const char* label;
    std::string name;
    ProfileResult result;
    std::string messageKey;
};

class Rename : public ProfileListTest, public ::testing::WithParamInterface<RenameCase> {};

TEST_P(Rename, FollowsTheNameRules) {
    seed({"alpha", "Beta"});

    const ProfileOutcome renamed = profiles.RenameProfile(GetParam().name);

    EXPECT_EQ(renamed.result, GetParam().result);
    EXPECT_EQ(renamed.messageKey, GetParam().messageKey);
    const std::string expected = renamed.ok() ? GetParam().name : "alpha";
    EXPECT_EQ(names(), (std::vector<std::string>{expected, "Beta"}));
    EXPECT_EQ(json::stringAt(load(fileOf(0)), "profilename"), expected);
    EXPECT_EQ(json::member(load(fileOf(0)), "Device"), parse(R"([{"Tag": "alpha"}])"));
    expectConsistent();
}

INSTANTIATE_TEST_SUITE_P(
    ProfileList, Rename,
    ::testing::Values(
        RenameCase{"new_name", "gamma", ProfileResult::Done, ""},
        RenameCase{"own_name_other_case", "ALPHA", ProfileResult::Done, ""},
        RenameCase{"non_ascii", "\xE9\x85\x8D\xE7\xBD\xAE \xC3\xBC", ProfileResult::Done, ""},
        RenameCase{"other_profile_other_case", "bETA", ProfileResult::NameTaken, "message_text_5"},
        RenameCase{"spaces", "   ", ProfileResult::BlankName, "message_text_25"},
        RenameCase{"ideographic_space", "\xE3\x80\x80", ProfileResult::BlankName,
                   "message_text_25"},
        RenameCase{"empty", "", ProfileResult::Unchanged, ""}),
    [](const auto& info) { return std::string(info.param.label); });

// --- Delete and select -----------------------------------------------------------------------

struct DeleteCase {
    int selected;
    std::vector<std::string> left;
    int neighbour;
};

class Delete : public ProfileListTest, public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(Delete, RemovesTheFileAndLoadsTheNeighbourAtOnce) {
    seed({"A", "B", "C"}, GetParam().selected);
    const fs::path removed = fileOf(GetParam().selected);

    ASSERT_TRUE(profiles.DeleteProfile().ok());

    EXPECT_EQ(names(), GetParam().left);
    EXPECT_FALSE(fs::exists(removed));
    EXPECT_EQ(profiles.GetSelectedIndex(), GetParam().neighbour);
    ASSERT_EQ(owner.changes.size(), 1u);
    EXPECT_EQ(owner.changes[0].id, profiles.GetSelectedProfileId());
    EXPECT_EQ(owner.changes[0].change, ProfileChange::Deleted);
    expectConsistent();
}

INSTANTIATE_TEST_SUITE_P(ProfileList, Delete,
                         ::testing::Values(DeleteCase{0, {"B", "C"}, 0},
                                           DeleteCase{1, {"A", "C"}, 0},
                                           DeleteCase{2, {"A", "B"}, 1}));

TEST_F(ProfileListTest, TheLastProfileIsNotDeleted) {
    seed({"A"});
    EXPECT_EQ(profiles.DeleteProfile().result, ProfileResult::Unchanged);
    EXPECT_TRUE(fs::exists(fileOf(0)));
    EXPECT_TRUE(owner.changes.empty());
}

TEST_F(ProfileListTest, SelectRecordsTheChoiceAndTellsTheDevice) {
    seed({"A", "B", "C"});

    ASSERT_TRUE(profiles.SelectProfile(2).ok());
    EXPECT_EQ(profiles.GetSelectedProfileId(), "id2");
    ASSERT_EQ(owner.changes.size(), 1u);
    EXPECT_EQ(owner.changes[0].change, ProfileChange::Selected);
    EXPECT_EQ(owner.changes[0].file, fileOf(2).string());

    for (int index : {-1, 3}) {
        EXPECT_EQ(profiles.SelectProfile(index).result, ProfileResult::Refused);
        EXPECT_EQ(profiles.GetSelectedIndex(), 2);
    }
    EXPECT_EQ(owner.changes.size(), 1u);
    expectConsistent();
}

TEST_F(ProfileListTest, NothingHappensBeforeTheListIsLoaded) {
    EXPECT_EQ(profiles.AddProfile().result, ProfileResult::Unchanged);
    EXPECT_EQ(profiles.CopyProfile().result, ProfileResult::Unchanged);
    EXPECT_EQ(profiles.RenameProfile("x").result, ProfileResult::Unchanged);
    EXPECT_EQ(profiles.ResetProfile().result, ProfileResult::Unchanged);
    EXPECT_EQ(profiles.DeleteProfile().result, ProfileResult::Unchanged);
    EXPECT_EQ(profiles.ExportProfile((root / "out.json").string()).result,
              ProfileResult::Unchanged);
    EXPECT_FALSE(fs::exists(user));
}

// --- Reset -----------------------------------------------------------------------------------

TEST_F(ProfileListTest, ResetRestoresTheFactoryProfileUnderTheSameNameAndId) {
    seed({"A", "B"}, 1);

    ASSERT_TRUE(profiles.ResetProfile().ok());

    EXPECT_EQ(load(fileOf(1)), factoryNamed("B", "id1"));
    ASSERT_EQ(owner.changes.size(), 1u);
    EXPECT_EQ(owner.changes[0].change, ProfileChange::Reset);
    EXPECT_EQ(owner.changes[0].id, "id1");
    expectConsistent();
}

TEST_F(ProfileListTest, ResetOfAHeadsetProfileKeepsItsOwnEqualiserCurves) {
    owner.kind = DEVICE_HEADSET;
    seed({"A"});
    Json::Value profile = load(fileOf(0));
    const Json::Value eqNames = parse(R"([{"Name": "mine"}])");
    const Json::Value curves = parse(R"([[{"value": 4}]])");
    profile["Device"][0u]["CustomEQNameInfo"] = eqNames;
    profile["Device"][0u]["CustomEQHzValueInfo"] = curves;
    ASSERT_EQ(SaveJsonDocument(fileOf(0).string(), profile), 0);

    ASSERT_TRUE(profiles.ResetProfile().ok());

    Json::Value expected = factoryNamed("A", "id0");
    expected["Device"][0u]["CustomEQNameInfo"] = eqNames;
    expected["Device"][0u]["CustomEQHzValueInfo"] = curves;
    EXPECT_EQ(load(fileOf(0)), expected);
}

TEST_F(ProfileListTest, ResetWithoutAFactoryProfileIsRefused) {
    seed({"A"});
    const Json::Value before = load(fileOf(0));
    fs::remove(owner.defaultFile);

    EXPECT_EQ(profiles.ResetProfile().result, ProfileResult::Refused);
    EXPECT_EQ(load(fileOf(0)), before);
    EXPECT_TRUE(owner.changes.empty());
}

// --- Failed writes ---------------------------------------------------------------------------

TEST_F(ProfileListTest, AFailedListWriteChangesNothing) {
    seed({"A", "B"});
    // A folder in place of the list file makes every write of the list fail.
    fs::remove(listFile());
    fs::create_directory(listFile());
    const auto filesBefore = std::distance(fs::directory_iterator(user), {});

    EXPECT_EQ(profiles.AddProfile().result, ProfileResult::WriteFailed);
    EXPECT_EQ(profiles.CopyProfile().result, ProfileResult::WriteFailed);
    EXPECT_EQ(profiles.ImportProfile(fileOf(1)).result, ProfileResult::WriteFailed);
    EXPECT_EQ(profiles.RenameProfile("C").result, ProfileResult::WriteFailed);
    EXPECT_EQ(profiles.SelectProfile(1).result, ProfileResult::WriteFailed);
    EXPECT_EQ(profiles.DeleteProfile().result, ProfileResult::WriteFailed);

    EXPECT_EQ(names(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(profiles.GetSelectedIndex(), 0);
    EXPECT_EQ(json::stringAt(load(fileOf(0)), "profilename"), "A");
    EXPECT_EQ(std::distance(fs::directory_iterator(user), {}), filesBefore);
    EXPECT_TRUE(owner.changes.empty());
}

// --- Naming rules ----------------------------------------------------------------------------

TEST(ProfileNames, MakeUniqueNames) {
    const std::vector<std::string> taken = {"profile1", "PROFILE2", "A", "a copy", "p", "p(1)"};
    EXPECT_EQ(MakeAddedProfileName(taken), "profile3");
    EXPECT_EQ(MakeAddedProfileName({}), "profile1");
    EXPECT_EQ(MakeCopiedProfileName("A", taken), "A copy copy");
    EXPECT_EQ(MakeCopiedProfileName("B", taken), "B copy");
    EXPECT_EQ(MakeImportedProfileName("P", taken), "P(1)(2)");
    EXPECT_EQ(MakeImportedProfileName("q", taken), "q");
}

TEST(ProfileNames, ImportBaseNameDropsFolderAndLastExtension) {
    EXPECT_EQ(ImportedFileBaseName("/home/u/Y.json"), "Y");
    EXPECT_EQ(ImportedFileBaseName("a.b.Json"), "a.b");
    EXPECT_EQ(ImportedFileBaseName("plain"), "plain");
}

TEST(ProfileNames, BlankNames) {
    for (const char* blank : {"", " ", " \t\r\n", "\xC2\xA0", "\xE3\x80\x80 "})
        EXPECT_TRUE(IsBlankProfileName(blank)) << blank;
    for (const char* name : {"a", " a ", "\xC3\xBC"})
        EXPECT_FALSE(IsBlankProfileName(name)) << name;
}

TEST(ProfileNames, OnlyPlainIdsNameFiles) {
    for (const char* id : {"2024_03_07_09_05_01_042", "a.b", "name with space"})
        EXPECT_TRUE(IsPlainProfileId(id)) << id;
    for (const char* id : {"", ".", "..", "../x", "a/b", "a\\b", "x..y", "/abs"})
        EXPECT_FALSE(IsPlainProfileId(id)) << id;
    EXPECT_FALSE(IsPlainProfileId(std::string_view("a\0b", 3)));
    EXPECT_FALSE(IsPlainProfileId(std::string(251, 'a')));
}

}  // namespace
}  // namespace qm
