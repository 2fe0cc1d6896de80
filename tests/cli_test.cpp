// quillmark-cli as a user runs it, on the virtual peripherals.
#include <gtest/gtest.h>
#include <json/json.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "device/transport/command_report.h"
#include "run_program.h"

namespace {

namespace fs = std::filesystem;

using Outcome = qm::testing::ProgramRun;

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/quillmark-cli-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_Home = pattern;
    }
    void TearDown() override { fs::remove_all(m_Home); }

    // Runs the program with a private state folder; stderr goes to m_Home/err.
    Outcome run(const std::string& args) {
        return qm::testing::runCommand("env -u QUILLMARK_VIRTUAL XDG_STATE_HOME=" + m_Home +
                                           " XDG_DATA_HOME=" + m_Home + " " QM_CLI_PATH " " + args,
                                       m_Home + "/err");
    }

    std::string err() const {
        std::ifstream in(m_Home + "/err");
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::vector<int> claimedSlots(const std::string& args) {
        const Outcome r = run(args);
        EXPECT_EQ(r.status, 0) << err();
        Json::Value root;
        std::istringstream in(r.out);
        std::string errors;
        EXPECT_TRUE(Json::parseFromStream(Json::CharReaderBuilder(), in, &root, &errors)) << r.out;
        std::vector<int> slots;
        if (!root.isObject() || !root["slots"].isArray())
            return slots;
        for (const Json::Value& row : root["slots"])
            slots.push_back(row["slot"].asInt());
        return slots;
    }

    // The reports of a trace file: (sent, bytes) per line that is not a comment.
    std::vector<std::pair<bool, std::vector<std::uint8_t>>> traced(const std::string& file) {
        std::vector<std::pair<bool, std::vector<std::uint8_t>>> reports;
        std::ifstream in(file);
        std::string line;
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#')
                continue;
            std::istringstream fields(line);
            std::string direction;
            fields >> direction;
            std::vector<std::uint8_t> bytes;
            std::string hex;
            while (fields >> hex)
                bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex, nullptr, 16)));
            reports.emplace_back(direction == ">", bytes);
        }
        return reports;
    }

    std::string m_Home;
};

TEST_F(Cli, ListClaimsTheSlotsOfEachVirtualPeripheral) {
    EXPECT_EQ(claimedSlots("--virtual list --json"), (std::vector<int>{0, 1, 4, 5, 8, 9, 10}));
    EXPECT_EQ(claimedSlots("--virtual=keyboard-receiver,mouse-receiver list --json"),
              (std::vector<int>{2, 3, 6, 7}));
}

TEST_F(Cli, InfoTracesBeginInfoAndEnd) {
    struct Case {
        const char* args;
        std::vector<std::pair<std::uint8_t, std::uint8_t>> requests;  // command, length
    };
    const Case cases[] = {
        {"--virtual info keyboard", {{0x01, 0}, {0x03, 34}, {0x02, 0}}},
        {"--virtual=keyboard-receiver info keyboard",
         {{0x01, 0}, {0x03, 24}, {0x03, 10}, {0x02, 0}}},
    };
    for (const Case& c : cases) {
        const std::string file = m_Home + "/t.txt";
        const Outcome r = run(std::string(c.args) + " --trace-reports " + file);
        ASSERT_EQ(r.status, 0) << c.args << ": " << err();
        EXPECT_NE(r.out.find("keys:"), std::string::npos) << r.out;
        const auto reports = traced(file);
        ASSERT_EQ(reports.size(), c.requests.size() * 2) << c.args;
        for (std::size_t i = 0; i < c.requests.size(); ++i) {
            const auto& [sent, request] = reports[2 * i];
            const auto& [received, answer] = reports[2 * i + 1];
            ASSERT_TRUE(sent);
            ASSERT_FALSE(received);
            ASSERT_EQ(request.size(), qm::report::kSize);
            ASSERT_EQ(answer.size(), qm::report::kSize);
            const std::span<const std::uint8_t, qm::report::kSize> bytes(request.data(),
                                                                         qm::report::kSize);
            EXPECT_TRUE(qm::report::checksumValid(bytes)) << c.args << " request " << i;
            EXPECT_EQ(request[qm::report::kCommand], c.requests[i].first);
            EXPECT_EQ(request[qm::report::kLength], c.requests[i].second);
            EXPECT_EQ(answer[qm::report::kCommand], c.requests[i].first);
        }
    }
}

TEST_F(Cli, MouseInfoShowsItsStepScale) {
    const Outcome r = run("--virtual info mouse --json");
    ASSERT_EQ(r.status, 0) << err();
    Json::Value root;
    std::istringstream in(r.out);
    ASSERT_TRUE(Json::parseFromStream(Json::CharReaderBuilder(), in, &root, nullptr));
    ASSERT_TRUE(root["stepScale"].isObject()) << r.out;
    EXPECT_GT(root["stepScale"]["highestResolution"].asUInt(),
              root["stepScale"]["lowestResolution"].asUInt());
}

TEST_F(Cli, FailuresSayWhatAndExitNonZero) {
    struct Case {
        const char* args;
        const char* message;
    };
    const Case cases[] = {
        {"--virtual=mouse info keyboard", "no keyboard found"},
        {"--virtual=bogus list", "bogus"},
        {"--virtual info 1", "event interface"},
    };
    for (const Case& c : cases) {
        const Outcome r = run(c.args);
        EXPECT_NE(r.status, 0) << c.args;
        EXPECT_NE(err().find(c.message), std::string::npos) << c.args << ": " << err();
    }
}

TEST_F(Cli, ProfilesLiveThroughEveryOperationAndEveryFileStillParses) {
    const std::string folder = m_Home + "/Quillmark/keyboard";
    const std::string exported = m_Home + "/exported.json";
    auto names = [&] {
        std::vector<std::string> result;
        const Outcome r = run("--virtual profile keyboard list --json");
        Json::Value root;
        std::istringstream in(r.out);
        if (Json::parseFromStream(Json::CharReaderBuilder(), in, &root, nullptr))
            for (const Json::Value& p : root["profiles"])
                result.push_back(p["name"].asString());
        return result;
    };
    EXPECT_EQ(names(), (std::vector<std::string>{"profile1"}));

    struct Step {
        std::string args;
        std::vector<std::string> after;
    };
    const Step steps[] = {
        {"add", {"profile1", "profile2"}},
        {"copy", {"profile1", "profile2", "profile1 copy"}},
        {"rename Main", {"Main", "profile2", "profile1 copy"}},
        {"export " + exported, {"Main", "profile2", "profile1 copy"}},
        {"select profile2", {"Main", "profile2", "profile1 copy"}},
        {"import " + exported, {"Main", "profile2", "profile1 copy", "exported"}},
        {"delete", {"Main", "profile1 copy", "exported"}},
        {"reset", {"Main", "profile1 copy", "exported"}},
    };
    for (const Step& step : steps) {
        const Outcome r = run("--virtual profile keyboard " + step.args);
        EXPECT_EQ(r.status, 0) << step.args << ": " << err();
        EXPECT_EQ(names(), step.after) << step.args;
        for (const auto& entry : fs::directory_iterator(folder)) {
            std::ifstream in(entry.path());
            Json::Value root;
            EXPECT_TRUE(Json::parseFromStream(Json::CharReaderBuilder(), in, &root, nullptr))
                << entry.path() << " after " << step.args;
        }
    }
}

TEST_F(Cli, AGarbageProfileIsKeptAsideAndRefusedImportsChangeNothing) {
    ASSERT_EQ(run("profile keyboard list").status, 0) << err();
    const std::string folder = m_Home + "/Quillmark/keyboard";
    std::string profile;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".Json")
            profile = entry.path();
    ASSERT_FALSE(profile.empty());
    std::ofstream(profile, std::ios::trunc) << "garbage";

    const Outcome shown = run("profile keyboard show --json");
    EXPECT_EQ(shown.status, 0) << err();
    EXPECT_NE(shown.out.find("KeyList"), std::string::npos);
    EXPECT_TRUE(fs::exists(profile + ".bad"));

    const std::string bad = m_Home + "/bad.json";
    std::ofstream(bad) << R"({"profilename": "x"})";
    const Outcome refused = run("profile keyboard import " + bad);
    EXPECT_NE(refused.status, 0);
    EXPECT_FALSE(err().empty());
    EXPECT_EQ(run("profile keyboard list").out, "* profile1\n");
}

}  // namespace
