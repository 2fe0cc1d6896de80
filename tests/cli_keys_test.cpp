// quillmark-cli keys and settings as a user runs them: each change reaches the keyboard's memory
// and shows in the next process.
#include <gtest/gtest.h>
#include <json/json.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "device/hid/bus_protocol.h"
#include "emulator/bus_server.h"
#include "emulator/firmware_memory.h"
#include "emulator/peripheral.h"
#include "run_program.h"

namespace {

namespace fs = std::filesystem;
using qm::emu::Area;
using qm::testing::ProgramRun;

// quillmark-cli: named by the build, else where the build tree puts it beside the tests.
std::string cliPath() {
#ifdef QM_CLI_PATH
    return QM_CLI_PATH;
#else
    return (fs::canonical("/proc/self/exe").parent_path().parent_path() / "src" / "cli" /
            "quillmark-cli")
        .string();
#endif
}

// The 3-byte codes of a key code table, as six lower-case hex digits each.
std::vector<std::string> codesOf(const std::vector<std::uint8_t>& table) {
    const std::string hex = qm::bus::toHex(table);
    std::vector<std::string> codes;
    for (std::size_t at = 0; at + 6 <= hex.size(); at += 6)
        codes.push_back(hex.substr(at, 6));
    return codes;
}

std::string lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

Json::Value parse(const std::string& text) {
    Json::Value root;
    std::istringstream in(text);
    EXPECT_TRUE(Json::parseFromStream(Json::CharReaderBuilder(), in, &root, nullptr)) << text;
    return root;
}

class CliKeys : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/quillmark-cli-keys-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_Home = pattern;
        ASSERT_TRUE(fs::exists(cliPath())) << cliPath() << " is not built";
    }
    void TearDown() override { fs::remove_all(m_Home); }

    // Runs the program with private folders and English captions.
    ProgramRun run(const std::string& args) {
        return qm::testing::runCommand(
            "env -u QUILLMARK_VIRTUAL XDG_STATE_HOME=" + m_Home + " XDG_DATA_HOME=" + m_Home +
                " XDG_CONFIG_HOME=" + m_Home + " LC_ALL=en_US.UTF-8 " + cliPath() + " " + args,
            m_Home + "/err");
    }

    // "keys keyboard show --json" by position, from a process of its own.
    std::map<int, Json::Value> shownKeys(const std::string& backend = "--virtual") {
        const ProgramRun r = run(backend + " keys keyboard show --json");
        EXPECT_EQ(r.status, 0) << r.err;
        std::map<int, Json::Value> keys;
        for (const Json::Value& row : parse(r.out))
            keys[row["position"].asInt()] = row;
        return keys;
    }
    std::map<std::string, int> shownSettings() {
        const ProgramRun r = run("--virtual settings keyboard show --json");
        EXPECT_EQ(r.status, 0) << r.err;
        std::map<std::string, int> settings;
        for (const Json::Value& row : parse(r.out))
            settings[row["name"].asString()] = row["value"].asInt();
        return settings;
    }

    // A memory area of the virtual keyboard as the last run left it (factory memory before any
    // change was saved).
    std::vector<std::uint8_t> deviceArea(Area area) {
        std::ifstream in(m_Home + "/Quillmark/virtual/keyboard.json");
        if (!in)
            return qm::emu::keyboardFirmware().factory[area];
        Json::Value root;
        std::stringstream text;
        text << in.rdbuf();
        std::vector<std::uint8_t> bytes;
        EXPECT_TRUE(qm::bus::fromHex(
            parse(text.str())[std::string(qm::emu::areaName(area))].asString(), 1 << 20, bytes));
        return bytes;
    }
    // What the keyboard's key that produces defaultCode by default now produces.
    std::string deviceCode(const std::string& defaultCode) {
        const std::vector<std::string> factory =
            codesOf(qm::emu::keyboardFirmware().factory[Area::KeyCodes]);
        const std::vector<std::string> now = codesOf(deviceArea(Area::KeyCodes));
        for (std::size_t k = 0; k < factory.size() && k < now.size(); ++k)
            if (factory[k] == lower(defaultCode))
                return now[k];
        return "no such key";
    }

    std::string m_Home;
};

TEST_F(CliKeys, SetByHexAndByNameReachesTheKeyboardAndShowsInANewProcess) {
    const std::string folder = m_Home + "/Quillmark/keyboard";
    fs::create_directories(folder);
    std::ofstream(folder + "/macro.config") << R"({"MacroInfo": [{"MacroName": "Combo"}]})";
    struct Case {
        const char* args;
        int position;
        const char* code;
        const char* name;
        const char* caption;
    };
    const Case cases[] = {
        {"set 1 200005", 1, "200005", "B", "B"},
        {"set F2 ctrl+c", 2, "200106", "Ctrl+C", "Left Ctrl+C"},
        {"set CapsLock media:play", 63, "30CD00", "media:play", "Play/Pause"},
        {"set 105 mouse:left", 105, "100100", "mouse:left", nullptr},
        {"set Esc macro:Combo", 0, "700000", "macro:Combo", "Combo"},
        {"set Pause off", 15, "000000", "off", nullptr},
    };
    for (const Case& c : cases) {
        const ProgramRun r = run(std::string("--virtual keys keyboard ") + c.args);
        ASSERT_EQ(r.status, 0) << c.args << ": " << r.err;
        const Json::Value key = shownKeys()[c.position];
        EXPECT_EQ(key["code"].asString(), c.code) << c.args;
        EXPECT_EQ(key["name"].asString(), c.name) << c.args;
        if (c.caption != nullptr) {
            EXPECT_EQ(key["caption"].asString(), c.caption) << c.args;
        }
        EXPECT_TRUE(key["remapped"].asBool()) << c.args;
        EXPECT_TRUE(key["mapped"].asBool()) << c.args << ": the position lost its key";
        EXPECT_EQ(deviceCode(key["default"].asString()), lower(c.code)) << c.args;
    }
    // Setting a remapped position again still finds its key.
    ASSERT_EQ(run("--virtual keys keyboard set F1 C").status, 0);
    EXPECT_EQ(deviceCode("20003A"), "200006");
    EXPECT_EQ(deviceCode("200005"), "200005") << "the B key was written in F1's place";
}

TEST_F(CliKeys, ResetRestoresOneOrAllDefaultsOnTheKeyboard) {
    for (const char* args : {"set F1 B", "set F2 C", "set Esc media:mute"})
        ASSERT_EQ(run(std::string("--virtual keys keyboard ") + args).status, 0) << args;

    ASSERT_EQ(run("--virtual keys keyboard reset F1").status, 0);
    std::map<int, Json::Value> keys = shownKeys();
    EXPECT_FALSE(keys[1]["remapped"].asBool());
    EXPECT_TRUE(keys[2]["remapped"].asBool());
    EXPECT_EQ(deviceCode("20003A"), "20003a");
    EXPECT_EQ(deviceCode("20003B"), "200006");

    ASSERT_EQ(run("--virtual keys keyboard reset all").status, 0);
    for (const auto& [position, key] : shownKeys())
        EXPECT_FALSE(key["remapped"].asBool()) << position;
    EXPECT_EQ(deviceArea(Area::KeyCodes), qm::emu::keyboardFirmware().factory[Area::KeyCodes]);
}

TEST_F(CliKeys, SettingsAreWrittenToTheKeyboardAndShowInANewProcess) {
    struct Case {
        const char* name;
        int value;
        const char* field;
        int deviceByte;  // in the settings block of slot 0; -1: kept in the profile only
    };
    const Case cases[] = {
        {"winflag", 1, "WinFlag", 21},   {"WFlag", 1, "WFlag", 19},
        {"KEY6FLAG", 1, "Key6Flag", 20}, {"PollingRate", 1, "PollingRate", 22},
        {"Repeat", 20, "Repeat", -1},    {"RepeatDelay", 3, "RepeatDelay", -1},
    };
    for (const Case& c : cases) {
        const ProgramRun r = run(std::string("--virtual settings keyboard set ") + c.name + " " +
                                 std::to_string(c.value));
        ASSERT_EQ(r.status, 0) << c.name << ": " << r.err;
        EXPECT_EQ(shownSettings()[c.field], c.value) << c.name;
        if (c.deviceByte >= 0) {
            EXPECT_EQ(deviceArea(Area::Params)[static_cast<std::size_t>(c.deviceByte)], c.value)
                << c.name;
        }
    }
}

TEST_F(CliKeys, BadInputAndAMissingKeyboardAreOneLineAndChangeNothing) {
    struct Case {
        const char* args;
        const char* message;
    };
    const Case cases[] = {
        {"--virtual keys keyboard set 170 B", "position 170 is out of range (0-169)"},
        {"--virtual keys keyboard set 99999999999 B", "out of range"},
        {"--virtual keys keyboard set F1 bogus", "bogus"},
        {"--virtual keys keyboard set F1 12345", "12345"},
        {"--virtual keys keyboard set nokey B", "no key position 'nokey'"},
        {"--virtual keys keyboard set 18 B", "no key at position 18"},
        {"--virtual keys keyboard set F1 macro:Nope", "Nope"},
        {"--virtual keys keyboard reset", "reset POSITION|all"},
        {"--virtual keys keyboard frob", "unknown keys action 'frob'"},
        {"--virtual keys mouse show", "keyboard"},
        {"--virtual settings keyboard set PollingRate 4", "PollingRate takes 0 to 3"},
        {"--virtual settings keyboard set RepeatDelay -1", "RepeatDelay takes 0 to 3"},
        {"--virtual settings keyboard set Repeat fast", "whole number from 0 to 31"},
        {"--virtual settings keyboard set Light 2", "unknown setting 'Light'"},
        {"--virtual=mouse keys keyboard show", "no keyboard found"},
        {"--virtual=mouse keys keyboard set F1 B", "no keyboard found"},
        {"--virtual=mouse settings keyboard set WinFlag 1", "no keyboard found"},
    };
    for (const Case& c : cases) {
        const ProgramRun r = run(c.args);
        EXPECT_NE(r.status, 0) << c.args;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << ": " << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << c.args << ": not one line: " << r.err;
    }
    for (const auto& [position, key] : shownKeys())
        EXPECT_FALSE(key["remapped"].asBool()) << position;
    EXPECT_EQ(shownSettings()["PollingRate"], 3);
    EXPECT_EQ(deviceArea(Area::KeyCodes), qm::emu::keyboardFirmware().factory[Area::KeyCodes]);
}

// Through a bus in another process (here a thread of the test), on the cable and the receiver.
TEST_F(CliKeys, OnABusSocketTheKeyboardIsReachedOrSaysWhyNot) {
    const std::string path = m_Home + "/virtual-bus";
    qm::emu::BusServer::Options options;
    options.socketPath = path;
    options.bus.timing = {std::chrono::microseconds(0), std::chrono::microseconds(0)};
    qm::emu::BusServer server(std::move(options));
    std::string error;
    ASSERT_TRUE(server.start(error)) << error;
    ASSERT_TRUE(server.bus().plug("keyboard-receiver"));
    std::thread serving([&server] { EXPECT_TRUE(server.run()); });
    const std::string socket = "--virtual=socket:" + path;
    qm::emu::Peripheral& keyboard = *server.bus().firmware("keyboard");
    auto keyAt = [&](const std::string& defaultCode) {
        const auto factory = codesOf(keyboard.factoryMemory()[Area::KeyCodes]);
        const auto now = codesOf(keyboard.area(Area::KeyCodes));
        for (std::size_t k = 0; k < factory.size(); ++k)
            if (factory[k] == defaultCode)
                return now[k];
        return std::string("no such key");
    };

    ProgramRun r = run(socket + " keys keyboard set F1 B");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(keyAt("20003a"), "200005");
    r = run(socket + " settings keyboard set WinFlag 1");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(keyboard.setting(0, 21), 1);

    ASSERT_TRUE(server.bus().setPower("keyboard-receiver", false));
    r = run(socket + " settings keyboard show");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("switched off"), std::string::npos) << r.err;

    // On the cable, the layout read fails at its first key table chunk (after the answer check:
    // begin, information block, end; then begin, information block, key table).
    ASSERT_TRUE(server.bus().plug("keyboard"));
    ASSERT_TRUE(server.bus().injectFault("keyboard", qm::emu::FaultKind::StatusFF, 6));
    r = run(socket + " keys keyboard set F2 C");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("key layout could not be read"), std::string::npos) << r.err;
    EXPECT_EQ(keyAt("20003b"), "20003b");
    r = run(socket + " keys keyboard set F2 C");
    EXPECT_EQ(r.status, 0) << "a keyboard that answers again is written: " << r.err;
    EXPECT_EQ(keyAt("20003b"), "200006");

    server.stop();
    serving.join();
}

}  // namespace
