// Profile files for tests: a private folder with a user data folder and a default data folder
// holding a small factory profile, and one-line setup of a profile data object on them.
#pragma once

#include <gtest/gtest.h>
#include <json/json.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>

namespace qm::testing {

namespace fs = std::filesystem;

inline std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void writeText(const fs::path& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

inline Json::Value parse(std::string_view text) {
    Json::CharReaderBuilder builder;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value value;
    std::string errors;
    EXPECT_TRUE(reader->parse(text.data(), text.data() + text.size(), &value, &errors))
        << errors << "\n"
        << text;
    return value;
}

inline Json::Value readJson(const fs::path& path) {
    return parse(readText(path));
}

// A keyboard-like factory profile: enough to tell its entry apart from any other.
constexpr std::string_view kFactoryProfile = R"({
    "Device": [{"LightInfo": {"SelectItem": 3, "Light": 2, "Red": 9},
                "KeyList": [{"Assignment": 2097193, "DefaultAssignment": 2097193},
                            {"Assignment": 2097210, "DefaultAssignment": 2097210}]}],
    "profilename": "Default",
    "profileUUID": "keyboard"
})";

// <tmp>/DefaultData/keyboard.Json (the factory profile) and <tmp>/keyboard/ (user data).
class ProfileFolders : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "qm-profile-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
        defaultFolder = root / "DefaultData";
        userFolder = root / "keyboard";
        fs::create_directories(defaultFolder);
        fs::create_directories(userFolder);
        defaultFile = defaultFolder / "keyboard.Json";
        profileFile = userFolder / "2024_03_07_09_05_01_042.Json";
        writeText(defaultFile, kFactoryProfile);
    }
    void TearDown() override { fs::remove_all(root); }

    Json::Value factoryEntry() const { return parse(kFactoryProfile)["Device"][0]; }

    // A profile data object on the profile file at path.
    template <class Profile>
    std::unique_ptr<Profile> attach(const fs::path& path) const {
        auto profile = std::make_unique<Profile>();
        profile->SetDefaultPath(defaultFile.string());
        profile->SetProfilePath(path.string());
        return profile;
    }
    // The same with its entry loaded.
    template <class Profile>
    std::unique_ptr<Profile> open(const fs::path& path) const {
        auto profile = attach<Profile>(path);
        profile->LoadActiveEntry(path.string());
        return profile;
    }
    template <class Profile>
    std::unique_ptr<Profile> open() const {
        return open<Profile>(profileFile);
    }

    // A profile file whose device entry is entryJson, then opened.
    template <class Profile>
    std::unique_ptr<Profile> openEntry(std::string_view entryJson) const {
        writeText(profileFile, R"({"Device": [)" + std::string(entryJson) + "]}");
        return open<Profile>();
    }

    fs::path root;
    fs::path defaultFolder;
    fs::path userFolder;
    fs::path defaultFile;
    fs::path profileFile;
};

}  // namespace qm::testing
