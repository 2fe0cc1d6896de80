// Reading JSON files that come from anywhere: nothing in them may throw at us.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "profile/json_file.h"

namespace {

namespace fs = std::filesystem;

TEST(JsonFile, HostileTextIsUnreadableNotACrash) {
    char pattern[] = "/tmp/qm-json-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string folder = pattern;
    struct Case {
        const char* name;
        std::string text;
        qm::JsonFileState expected;
    };
    const Case cases[] = {
        {"deep arrays", std::string(5000, '['), qm::JsonFileState::Unreadable},
        {"deep objects", std::string(3000, '{'), qm::JsonFileState::Unreadable},
        {"empty", "", qm::JsonFileState::Unreadable},
        {"bom and comments", "\xEF\xBB\xBF// note\r\n{\"a\": 1}\r\n", qm::JsonFileState::Ok},
    };
    for (const Case& c : cases) {
        const std::string path = folder + "/f.json";
        std::ofstream(path, std::ios::trunc | std::ios::binary) << c.text;
        qm::JsonFileState state = qm::JsonFileState::Ok;
        qm::LoadJsonDocumentKeepingBad(path, &state);
        EXPECT_EQ(state, c.expected) << c.name;
        EXPECT_EQ(fs::exists(path + ".bad"), c.expected == qm::JsonFileState::Unreadable) << c.name;
        fs::remove(path + ".bad");
    }
    qm::JsonFileState state = qm::JsonFileState::Ok;
    EXPECT_TRUE(qm::LoadJsonDocument(folder + "/none.json", &state).isNull());
    EXPECT_EQ(state, qm::JsonFileState::Missing);
    fs::remove_all(folder);
}

}  // namespace
