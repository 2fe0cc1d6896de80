// Changes made on a virtual peripheral itself (a profile slot switched, a setting changed, a
// factory reset), asked for through the bus's control requests and through quillmark-virtual:
// each lands in the firmware's memory and reaches the hosts as the peripheral's event code.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "device/hid/bus_client.h"
#include "device/hid/socket_backend.h"
#include "emulator/bus_server.h"
#include "emulator/peripheral.h"
#include "run_program.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

// The bound on every wait for something that should come at once.
constexpr int kWaitMs = 10000;

// quillmark-virtual: named by the build, else beside this test in the build tree.
std::string toolPath() {
#ifdef QM_VIRTUAL_PATH
    return QM_VIRTUAL_PATH;
#else
    return (fs::canonical("/proc/self/exe").parent_path().parent_path() / "emulator" /
            "quillmark-virtual")
        .string();
#endif
}

class BusVerbs : public ::testing::Test {
protected:
    static constexpr std::array<const char*, 3> kPlugged = {"keyboard", "mouse", "mousepad"};

    void SetUp() override {
        char pattern[] = "/tmp/qm-bus-verbs-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_Dir = pattern;
        m_Path = m_Dir + "/virtual-bus";
        emu::BusServer::Options options;
        options.socketPath = m_Path;
        options.bus.timing = {std::chrono::microseconds(0), std::chrono::microseconds(0)};
        m_Server = std::make_unique<emu::BusServer>(std::move(options));
        std::string error;
        ASSERT_TRUE(m_Server->start(error)) << error;
        for (const char* name : kPlugged)
            ASSERT_TRUE(m_Server->bus().plug(name)) << name;
        m_Thread = std::thread([this] { EXPECT_TRUE(m_Server->run()); });

        m_Host = hid::makeSocketBackend(m_Path);
        for (const char* name : kPlugged) {
            hid::InterfaceInfo info;
            ASSERT_EQ(
                m_Host->open(emu::VirtualBus::eventPath(name), true, false, m_Events[name], info),
                0)
                << name;
        }
        ASSERT_EQ(m_Control.connect(m_Path, error), 0) << error;
    }

    void TearDown() override {
        m_Events.clear();
        m_Host.reset();
        if (m_Server) {
            m_Server->stop();
            m_Thread.join();
        }
        fs::remove_all(m_Dir);
    }

    emu::Peripheral& firmware(const char* name) { return *m_Server->bus().firmware(name); }

    // The next event code on a peripheral's event interface; nothing when none came.
    std::optional<std::uint16_t> nextEvent(const char* name) {
        std::array<std::uint8_t, 64> report{};
        std::size_t got = 0;
        while (m_Events.at(name)->read(report, kWaitMs, got) == hid::IoStatus::Ok)
            if (got == 3 && report[0] == 3)
                return static_cast<std::uint16_t>(report[1] | report[2] << 8);
        return std::nullopt;
    }

    std::string m_Dir;
    std::string m_Path;
    std::unique_ptr<emu::BusServer> m_Server;
    std::thread m_Thread;
    std::unique_ptr<hid::HidBackend> m_Host;
    std::map<std::string, std::unique_ptr<hid::HidConnection>> m_Events;
    bus::ControlClient m_Control;
};

TEST_F(BusVerbs, ChangesOnTheDeviceLandInItsMemoryAndReachTheHostAsItsEventCode) {
    struct Case {
        const char* what;
        const char* name;
        std::function<bool(bus::ControlClient&, std::string&)> change;
        std::uint16_t code;
        std::function<bool(emu::Peripheral&)> landed;
    };
    const Case cases[] = {
        {"keyboard to slot 2", "keyboard",
         [](auto& c, auto& why) { return c.profile("keyboard", 2, why); }, 0x1002,
         [](emu::Peripheral& p) { return p.activeProfile() == 2; }},
        {"a byte of the active slot", "keyboard",
         [](auto& c, auto& why) { return c.set("keyboard", std::nullopt, 21, 1, why); }, 0x0401,
         [](emu::Peripheral& p) { return p.setting(2, 21) == 1 && p.setting(0, 21) == 0; }},
        {"a byte of another slot", "keyboard",
         [](auto& c, auto& why) { return c.set("keyboard", 1, 19, 0x7F, why); }, 0x0401,
         [](emu::Peripheral& p) { return p.setting(1, 19) == 0x7F && p.activeProfile() == 2; }},
        {"the keyboard's factory reset", "keyboard",
         [](auto& c, auto& why) { return c.reset("keyboard", why); }, emu::kEventFactoryReset,
         [](emu::Peripheral& p) { return p.memory() == p.factoryMemory(); }},
        {"mouse to slot 3", "mouse", [](auto& c, auto& why) { return c.profile("mouse", 3, why); },
         0x1003, [](emu::Peripheral& p) { return p.activeProfile() == 3; }},
        // Without slot events, a switched slot is reported as any other change.
        {"mousepad to slot 1", "mousepad",
         [](auto& c, auto& why) { return c.profile("mousepad", 1, why); }, 0x0401,
         [](emu::Peripheral& p) { return p.activeProfile() == 1; }},
    };
    for (const Case& c : cases) {
        std::string why;
        ASSERT_TRUE(c.change(m_Control, why)) << c.what << ": " << why;
        EXPECT_EQ(nextEvent(c.name), std::optional<std::uint16_t>(c.code)) << c.what;
        EXPECT_TRUE(c.landed(firmware(c.name))) << c.what;
    }
}

TEST_F(BusVerbs, ChangesTheDeviceCannotMakeAreRefusedAndChangeNothing) {
    std::string why;
    ASSERT_TRUE(m_Server->bus().unplug("mousepad"));
    struct Case {
        const char* what;
        std::function<bool(bus::ControlClient&, std::string&)> change;
        const char* message;
    };
    const Case cases[] = {
        {"slot beyond the count", [](auto& c, auto& w) { return c.profile("keyboard", 4, w); },
         "profile slots 0 to 3"},
        {"byte beyond the block", [](auto& c, auto& w) { return c.set("keyboard", 0, 64, 1, w); },
         "bytes 0 to 63"},
        {"slot beyond the count", [](auto& c, auto& w) { return c.set("keyboard", 9, 1, 1, w); },
         "profile slots 0 to 3"},
        {"the active slot's own byte",
         [](auto& c, auto& w) { return c.set("keyboard", 0, 0, 3, w); }, "switch it with profile"},
        {"a peripheral pulled out", [](auto& c, auto& w) { return c.reset("mousepad", w); },
         "not plugged in"},
        {"a peripheral never plugged", [](auto& c, auto& w) { return c.profile("headset", 1, w); },
         "not plugged in"},
        {"no such peripheral", [](auto& c, auto& w) { return c.reset("toaster", w); },
         "no peripheral named toaster"},
    };
    const emu::FirmwareMemory keyboard = firmware("keyboard").memory();
    const emu::FirmwareMemory mousepad = firmware("mousepad").memory();
    for (const Case& c : cases) {
        EXPECT_FALSE(c.change(m_Control, why)) << c.what;
        EXPECT_NE(why.find(c.message), std::string::npos) << c.what << ": " << why;
    }
    EXPECT_EQ(firmware("keyboard").memory(), keyboard);
    EXPECT_EQ(firmware("mousepad").memory(), mousepad);
}

TEST_F(BusVerbs, TheToolMakesTheSameChangesAndSaysWhatIsWrong) {
    const std::string tool = toolPath();
    ASSERT_TRUE(fs::exists(tool)) << tool << " is not built";
    struct Byte {
        std::size_t slot;
        std::size_t byte;
        std::uint8_t value;
    };
    struct Step {
        const char* args;
        int status;
        const char* message;  // on stderr
        std::optional<std::uint16_t> code;
        std::optional<Byte> landed;
    };
    const Step steps[] = {
        {"profile keyboard 3", 0, "", 0x1003, Byte{0, 0, 3}},
        {"set keyboard 0x15 1", 0, "", 0x0401, Byte{3, 21, 1}},
        {"set keyboard 19 7 --slot 1", 0, "", 0x0401, Byte{1, 19, 7}},
        {"reset keyboard", 0, "", emu::kEventFactoryReset, Byte{3, 21, 0}},
        {"profile keyboard x", 1, "SLOT", std::nullopt, std::nullopt},
        {"set keyboard 21 256", 1, "VALUE", std::nullopt, std::nullopt},
        {"set keyboard 64 1", 1, "bytes 0 to 63", std::nullopt, std::nullopt},
        {"set keyboard 0 1 --slot 0", 1, "active slot", std::nullopt, std::nullopt},
    };
    for (const Step& step : steps) {
        const testing::ProgramRun r =
            testing::runCommand(tool + " --socket " + m_Path + " " + step.args, m_Dir + "/err");
        EXPECT_EQ(r.status, step.status) << step.args << ": " << r.err;
        EXPECT_NE(r.err.find(step.message), std::string::npos) << step.args << ": " << r.err;
        if (step.code) {
            EXPECT_EQ(nextEvent("keyboard"), step.code) << step.args;
        }
        if (step.landed) {
            EXPECT_EQ(firmware("keyboard").setting(step.landed->slot, step.landed->byte),
                      step.landed->value)
                << step.args;
        }
    }
    EXPECT_EQ(firmware("keyboard").memory(), firmware("keyboard").factoryMemory());
}

}  // namespace
}  // namespace qm
