// The virtual bus in a process of its own: hosts, device programs and control tools on its socket.
// The bus runs on a thread of the test; quillmark-virtual and quillmark-cli run as programs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <json/json.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>

#include "device/hid/bus_client.h"
#include "device/hid/bus_protocol.h"
#include "device/hid/socket_backend.h"
#include "emulator/bus_server.h"
#include "platform/local_socket.h"
#include "run_program.h"
#include "virtual_fixtures.h"

extern char** environ;

namespace qm {
namespace {

namespace fs = std::filesystem;
using hid::IoStatus;

// The bound on every wait for something that should come at once.
constexpr int kWaitMs = 10000;
constexpr auto kWait = std::chrono::milliseconds(kWaitMs);

// A vendor collection with report id 5: three bytes in, three bytes out.
constexpr std::array<std::uint8_t, 30> kPadDescriptor = {
    0x06, 0x00, 0xFF,  // usage page 0xFF00
    0x09, 0x01,        // usage 1
    0xA1, 0x01,        // collection (application)
    0x85, 0x05,        //   report id 5
    0x15, 0x00,        //   logical minimum 0
    0x26, 0xFF, 0x00,  //   logical maximum 255
    0x75, 0x08,        //   report size 8
    0x95, 0x03,        //   report count 3
    0x09, 0x01,        //   usage 1
    0x81, 0x02,        //   input (data, variable, absolute)
    0x09, 0x01,        //   usage 1
    0x91, 0x02,        //   output (data, variable, absolute)
    0xC0,              // end collection
};

// Counts a backend's change reports so that a test can wait for the next one.
class ChangeCounter {
public:
    explicit ChangeCounter(hid::HidBackend& backend) : m_Backend(backend) {
        m_Backend.setChangeListener([this] {
            std::lock_guard lock(m_Lock);
            ++m_Count;
            m_Changed.notify_all();
        });
    }
    ~ChangeCounter() { m_Backend.setChangeListener({}); }

    int count() {
        std::lock_guard lock(m_Lock);
        return m_Count;
    }
    // True once more than seen changes were reported.
    bool waitBeyond(int seen) {
        std::unique_lock lock(m_Lock);
        return m_Changed.wait_for(lock, kWait, [&] { return m_Count > seen; });
    }

private:
    hid::HidBackend& m_Backend;
    std::mutex m_Lock;
    std::condition_variable m_Changed;
    int m_Count = 0;
};

// A program that speaks the protocol by hand, as one written without our code would.
class RawClient {
public:
    explicit RawClient(const std::string& path) {
        EXPECT_EQ(net::LineSocket::connect(path, 1 << 20, m_Socket), 0) << path;
    }

    void send(const std::string& line) {
        ASSERT_EQ(m_Socket->send(line, net::deadlineAfter(kWaitMs), nullptr), net::NetStatus::Ok);
    }
    // The next message the bus sends.
    Json::Value next() {
        net::Line line;
        Json::Value message;
        std::string why;
        EXPECT_EQ(m_Socket->receiveLine(line, net::deadlineAfter(kWaitMs), nullptr),
                  net::NetStatus::Ok);
        EXPECT_TRUE(bus::parseLine(line.text, message, why)) << line.text;
        return message;
    }
    Json::Value ask(const std::string& line) {
        send(line);
        return next();
    }
    void hello(const char* role) {
        const Json::Value answer =
            ask(std::string(R"({"op":"hello","version":1,"role":")") + role + "\"}");
        EXPECT_TRUE(answer["ok"].asBool()) << answer;
    }

private:
    std::unique_ptr<net::LineSocket> m_Socket;
};

IoStatus readWithin(hid::HidConnection& connection, std::vector<std::uint8_t>& report) {
    std::array<std::uint8_t, 256> buffer{};
    std::size_t got = 0;
    const IoStatus status = connection.read(buffer, kWaitMs, got);
    report.assign(buffer.begin(), buffer.begin() + got);
    return status;
}

// A read with no time-out on another thread; the test then sees how it ends.
std::future<IoStatus> blockedRead(hid::HidConnection& connection) {
    return std::async(std::launch::async, [&connection] {
        std::array<std::uint8_t, 64> buffer{};
        std::size_t got = 0;
        return connection.read(buffer, -1, got);
    });
}

IoStatus outcome(std::future<IoStatus>& read) {
    if (read.wait_for(kWait) != std::future_status::ready) {
        ADD_FAILURE() << "the read is still blocked";
        return IoStatus::Ok;
    }
    return read.get();
}

class BusSocket : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/qm-bus-socket-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_Dir = pattern;
        m_Path = m_Dir + "/quillmark/virtual-bus";
    }
    void TearDown() override {
        stopServer();
        fs::remove_all(m_Dir);
    }

    // A bus on a thread of the test with the named peripherals plugged in; reports cost no time.
    void startServer(std::initializer_list<std::string_view> names) {
        emu::BusServer::Options options;
        options.socketPath = m_Path;
        options.bus.timing = {std::chrono::microseconds(0), std::chrono::microseconds(0)};
        m_Server = std::make_unique<emu::BusServer>(std::move(options));
        std::string error;
        ASSERT_TRUE(m_Server->start(error)) << error;
        for (std::string_view name : names)
            ASSERT_TRUE(m_Server->bus().plug(name)) << name;
        m_Thread = std::thread([this] { EXPECT_TRUE(m_Server->run()); });
    }
    void stopServer() {
        if (!m_Server)
            return;
        m_Server->stop();
        m_Thread.join();
        m_Server.reset();
    }

    std::unique_ptr<hid::HidBackend> host() { return hid::makeSocketBackend(m_Path); }

    bus::ControlClient& control() {
        if (!m_Control) {
            m_Control.emplace();
            std::string why;
            EXPECT_EQ(m_Control->connect(m_Path, why), 0) << why;
        }
        return *m_Control;
    }

    std::string m_Dir;
    std::string m_Path;
    std::unique_ptr<emu::BusServer> m_Server;
    std::thread m_Thread;
    std::optional<bus::ControlClient> m_Control;
};

// --- Hosts -----------------------------------------------------------------------------------

TEST_F(BusSocket, ListsOpensAndExchangesACommandReportAsTheInProcessBus) {
    startServer({"keyboard", "mouse-receiver"});
    auto local = testing::virtualBus({"keyboard", "mouse-receiver"});
    auto remote = host();

    std::vector<std::string> expected, listed;
    ASSERT_TRUE(local->enumerate(expected));
    ASSERT_TRUE(remote->enumerate(listed));
    EXPECT_EQ(listed, expected);

    const std::string path = emu::VirtualBus::commandPath("keyboard");
    std::unique_ptr<hid::HidConnection> localConnection, remoteConnection;
    hid::InterfaceInfo want, got;
    ASSERT_EQ(local->open(path, true, true, localConnection, want), 0);
    ASSERT_EQ(remote->open(path, true, true, remoteConnection, got), 0);
    EXPECT_EQ(got.vendorId, want.vendorId);
    EXPECT_EQ(got.productId, want.productId);
    EXPECT_EQ(got.versionNumber, want.versionNumber);
    EXPECT_EQ(got.reportDescriptor, want.reportDescriptor);
    EXPECT_EQ(got.collection, want.collection);

    testing::CommandLink link(*remote, "keyboard");
    ASSERT_EQ(link.openResult(), 0);
    const auto answer = link.exchange(report::encodeRequest(report::kBeginConfig, 0, 0), kWaitMs);
    ASSERT_TRUE(answer);
    EXPECT_EQ((*answer)[report::kCommand], report::kBeginConfig);
    EXPECT_EQ((*answer)[report::kStatus], 0x00);
    EXPECT_TRUE(m_Server->bus().firmware("keyboard")->counters().configOpen);
}

TEST_F(BusSocket, UnplugAndPlugReachAnotherHost) {
    startServer({"keyboard"});
    auto watcher = host();
    ChangeCounter changes(*watcher);
    ASSERT_TRUE(changes.waitBeyond(0)) << "the watch never started";
    const std::string path = emu::VirtualBus::commandPath("keyboard");
    auto reader = host();
    std::unique_ptr<hid::HidConnection> connection;
    hid::InterfaceInfo info;
    ASSERT_EQ(reader->open(path, true, true, connection, info), 0);
    auto read = blockedRead(*connection);

    int seen = changes.count();
    std::string why;
    ASSERT_TRUE(control().unplug("keyboard", why)) << why;
    EXPECT_EQ(outcome(read), IoStatus::Failed);
    EXPECT_TRUE(changes.waitBeyond(seen));
    EXPECT_FALSE(watcher->exists(path));

    seen = changes.count();
    ASSERT_TRUE(control().plug("keyboard", why)) << why;
    EXPECT_TRUE(changes.waitBeyond(seen));
    EXPECT_TRUE(watcher->exists(path));
    // The keyboard came back on a new plug: what was open on the old one stays dead.
    std::size_t written = 0;
    const auto begin = report::encodeRequest(report::kBeginConfig, 0, 0);
    EXPECT_EQ(connection->write(begin, kWaitMs, written), IoStatus::Failed);
}

TEST_F(BusSocket, TwoHostsEachGetACopyOfEveryInputReport) {
    startServer({"keyboard"});
    std::array<std::unique_ptr<hid::HidBackend>, 2> hosts = {host(), host()};
    std::array<std::unique_ptr<hid::HidConnection>, 2> connections;
    for (std::size_t i = 0; i < hosts.size(); ++i) {
        hid::InterfaceInfo info;
        ASSERT_EQ(hosts[i]->open(emu::VirtualBus::commandPath("keyboard"), true, true,
                                 connections[i], info),
                  0);
    }

    // An event from the keyboard, and the answer to the first host's command: both arrive on
    // the interface, so both hosts read both.
    std::string why;
    ASSERT_TRUE(control().emit("keyboard", 0x1234, why)) << why;
    std::size_t written = 0;
    const auto begin = report::encodeRequest(report::kBeginConfig, 0, 0);
    ASSERT_EQ(connections[0]->write(begin, kWaitMs, written), IoStatus::Ok);

    for (std::size_t i = 0; i < hosts.size(); ++i) {
        std::vector<std::uint8_t> report;
        ASSERT_EQ(readWithin(*connections[i], report), IoStatus::Ok) << "host " << i;
        EXPECT_EQ(report, (std::vector<std::uint8_t>{3, 0x34, 0x12})) << "host " << i;
        ASSERT_EQ(readWithin(*connections[i], report), IoStatus::Ok) << "host " << i;
        ASSERT_EQ(report.size(), report::kSize);
        EXPECT_EQ(report[report::kCommand], report::kBeginConfig) << "host " << i;
    }
}

class PowerSwitch : public BusSocket, public ::testing::WithParamInterface<const char*> {};

TEST_P(PowerSwitch, TheReceiverAnswersForAPeripheralThatIsOff) {
    startServer({"keyboard-receiver"});
    auto remote = host();
    testing::CommandLink link(*remote, "keyboard-receiver");
    ASSERT_EQ(link.openResult(), 0);
    auto ask = [&](std::uint8_t command, std::uint8_t length) {
        return link.exchange(report::encodeRequest(command, length, 0), kWaitMs);
    };

    std::string why;
    ASSERT_TRUE(control().power(GetParam(), false, why)) << why;
    const auto online = ask(report::kIsPeripheralOnline, 0);
    ASSERT_TRUE(online);
    EXPECT_EQ((*online)[report::kData], 0x00);
    const auto info = ask(report::kReadDeviceInfo, 24);
    ASSERT_TRUE(info);
    EXPECT_EQ((*info)[report::kCommand], report::kIsPeripheralOnline);

    ASSERT_TRUE(control().power(GetParam(), true, why)) << why;
    const auto again = ask(report::kReadDeviceInfo, 24);
    ASSERT_TRUE(again);
    EXPECT_EQ((*again)[report::kCommand], report::kReadDeviceInfo);
}

INSTANTIATE_TEST_SUITE_P(ByReceiverOrPeripheralName, PowerSwitch,
                         ::testing::Values("keyboard-receiver", "keyboard"));

TEST_F(BusSocket, AbortReleasesABlockedReadAndSticks) {
    startServer({"keyboard"});
    auto remote = host();
    std::unique_ptr<hid::HidConnection> connection;
    hid::InterfaceInfo info;
    ASSERT_EQ(remote->open(emu::VirtualBus::commandPath("keyboard"), true, true, connection, info),
              0);
    auto read = blockedRead(*connection);

    connection->abort();

    EXPECT_EQ(outcome(read), IoStatus::Aborted);
    std::vector<std::uint8_t> report;
    EXPECT_EQ(readWithin(*connection, report), IoStatus::Aborted);
    std::size_t written = 0;
    EXPECT_EQ(
        connection->write(report::encodeRequest(report::kBeginConfig, 0, 0), kWaitMs, written),
        IoStatus::Aborted);
}

TEST_F(BusSocket, ABusThatGoesAwayFailsEverythingAndNothingHangs) {
    startServer({"keyboard"});
    auto remote = host();
    ChangeCounter changes(*remote);
    ASSERT_TRUE(changes.waitBeyond(0));
    const std::string path = emu::VirtualBus::commandPath("keyboard");
    std::unique_ptr<hid::HidConnection> connection;
    hid::InterfaceInfo info;
    ASSERT_EQ(remote->open(path, true, true, connection, info), 0);
    auto read = blockedRead(*connection);
    const int seen = changes.count();

    stopServer();

    EXPECT_EQ(outcome(read), IoStatus::Failed);
    EXPECT_TRUE(changes.waitBeyond(seen));
    std::size_t written = 0;
    EXPECT_EQ(
        connection->write(report::encodeRequest(report::kBeginConfig, 0, 0), kWaitMs, written),
        IoStatus::Failed);
    EXPECT_FALSE(remote->exists(path));
    std::vector<std::string> paths;
    EXPECT_FALSE(remote->enumerate(paths));
    std::unique_ptr<hid::HidConnection> another;
    EXPECT_EQ(remote->open(path, true, true, another, info), ENOENT);
    EXPECT_FALSE(fs::exists(m_Path)) << "the socket is left behind";
}

// --- Untrusted input -------------------------------------------------------------------------

struct BadLine {
    const char* role;  // the hello said first; nullptr for none
    std::string line;
    const char* error;
};

std::string announce(const std::string& name, const std::string& interfaces) {
    return R"({"op":"announce","name":")" + name +
           R"(","vendorId":4660,"productId":22136,"interfaces":)" + interfaces + "}";
}

TEST_F(BusSocket, BadLinesAreAnsweredWithAnErrorAndTheConnectionStaysUsable) {
    startServer({"keyboard"});
    const std::string pad = R"([{"number":2,"descriptor":")" + bus::toHex(kPadDescriptor) + "\"}]";
    std::string nineInterfaces = "[";
    for (int i = 0; i < 9; ++i)
        nineInterfaces += (i ? ",{\"number\":" : "{\"number\":") + std::to_string(i) +
                          R"(,"descriptor":")" + bus::toHex(kPadDescriptor) + "\"}";
    nineInterfaces += "]";

    const BadLine cases[] = {
        {nullptr, R"({"op":"enumerate"})", "hello-first"},
        {nullptr, R"({"op":"hello","version":2,"role":"host"})", "unsupported-version"},
        {nullptr, R"({"op":"hello","version":1,"role":"king"})", "malformed"},
        {"host", "not json", "malformed"},
        {"host", "[1,2]", "malformed"},
        {"host", R"({"op":"enumerate"} {"op":"enumerate"})", "malformed"},
        {"host", R"({"op":"enumerate","op":"exists"})", "malformed"},
        {"host", R"({"op":7})", "malformed"},
        {"host", R"({"op":"enumerate","id":-1})", "malformed"},
        {"host", R"({"op":"enumerate","x":)" + std::string(100, '[') + std::string(100, ']') + "}",
         "malformed"},
        {"host", std::string(bus::kMaxLine + 10, ' '), "too-long"},
        {"host", R"({"op":"fly"})", "unknown-op"},
        {"host", R"({"op":"hello","version":1,"role":"host"})", "already"},
        {"host", R"({"op":"plug","name":"keyboard"})", "not-allowed"},
        {"host", R"({"op":"open","path":"virtual:nothing#vid_0001&pid_0001&mi_00"})", "not-found"},
        {"host", R"({"op":"open","path":")" + std::string(300, 'a') + "\"}", "malformed"},
        {"host", R"({"op":"write","handle":99,"data":"0401"})", "no-handle"},
        {"host", R"({"op":"write","handle":1})", "malformed"},
        {"host", R"({"op":"write","handle":1,"data":"0g"})", "malformed"},
        {"host", R"({"op":"write","handle":1,"data":"040"})", "malformed"},
        {"host", R"({"op":"write","handle":1,"data":""})", "malformed"},
        {"host", R"({"op":"write","handle":1,"data":")" + std::string(8194, '0') + "\"}",
         "malformed"},
        {"host", R"({"op":"write","handle":4294967296,"data":"04"})", "malformed"},
        {"device", R"({"op":"input","interface":0,"data":"01"})", "not-plugged"},
        {"device", announce("keyboard", pad), "malformed"},
        {"device", announce("Pad#2", pad), "malformed"},
        {"device", announce("pad", "[]"), "malformed"},
        {"device", announce("pad", nineInterfaces), "malformed"},
        {"device", announce("pad", R"([{"number":0,"descriptor":"c0"}])"), "malformed"},
        {"device", announce("pad", R"([{"number":256,"descriptor":"c0"}])"), "malformed"},
        {"control", R"({"op":"fault","name":"keyboard","kind":"meltdown"})", "malformed"},
        {"control", R"({"op":"fault","name":"keyboard","kind":"unplug","nth":0})", "malformed"},
        {"control", R"({"op":"fault","name":"keyboard","kind":"power-off"})", "refused"},
        {"control", R"({"op":"power","name":"mousepad","on":false})", "refused"},
        {"control", R"({"op":"power","name":"toaster","on":false})", "not-found"},
        {"control", R"({"op":"power","name":"keyboard","on":"off"})", "malformed"},
        {"control", R"({"op":"emit","name":"keyboard","code":65536})", "malformed"},
        {"control", R"({"op":"emit","name":"headset","code":1})", "refused"},
        {"control", R"({"op":"plug","name":"keyboard"})", "already"},
        {"control", R"({"op":"unplug","name":"headset"})", "not-plugged"},
    };
    for (const BadLine& c : cases) {
        const std::string label = std::string(c.role ? c.role : "-") + ": " + c.line.substr(0, 80);
        RawClient client(m_Path);
        if (c.role != nullptr)
            client.hello(c.role);
        const Json::Value answer = client.ask(c.line);
        EXPECT_FALSE(answer["ok"].asBool()) << label;
        EXPECT_EQ(answer["error"].asString(), c.error) << label << "\n" << answer;
        EXPECT_TRUE(answer["message"].isString()) << label;

        const Json::Value after = client.ask(R"({"op":"hello","version":1,"role":"host","id":77})");
        EXPECT_EQ(after["id"].asUInt(), 77u) << label << ": the connection did not survive";
        EXPECT_EQ(after["ok"].asBool(), c.role == nullptr) << label;
    }
}

TEST_F(BusSocket, AnExternalDeviceProgramAnswersAHostAndLeavesWithIt) {
    startServer({});
    auto device = std::make_unique<RawClient>(m_Path);
    device->hello("device");
    const Json::Value announced = device->ask(
        announce("pad2", R"([{"number":2,"descriptor":")" + bus::toHex(kPadDescriptor) + "\"}]"));
    ASSERT_TRUE(announced["ok"].asBool()) << announced;
    const std::string path = "virtual:pad2#vid_1234&pid_5678&mi_02";
    ASSERT_TRUE(announced["paths"].isArray());
    ASSERT_EQ(announced["paths"].size(), 1u);
    EXPECT_EQ(announced["paths"][0].asString(), path);

    auto remote = host();
    ChangeCounter changes(*remote);
    ASSERT_TRUE(changes.waitBeyond(0));
    std::vector<std::string> paths;
    ASSERT_TRUE(remote->enumerate(paths));
    EXPECT_EQ(paths, std::vector<std::string>{path});
    std::unique_ptr<hid::HidConnection> connection;
    hid::InterfaceInfo info;
    ASSERT_EQ(remote->open(path, true, true, connection, info), 0);
    EXPECT_EQ(info.vendorId, 0x1234);
    EXPECT_EQ(info.productId, 0x5678);
    EXPECT_EQ(info.reportDescriptor,
              std::vector<std::uint8_t>(kPadDescriptor.begin(), kPadDescriptor.end()));
    EXPECT_EQ(info.collection, 0);

    const std::array<std::uint8_t, 4> request = {5, 1, 2, 3};
    std::size_t written = 0;
    ASSERT_EQ(connection->write(request, kWaitMs, written), IoStatus::Ok);
    EXPECT_EQ(written, request.size());
    const Json::Value output = device->next();
    EXPECT_EQ(output["event"].asString(), "output") << output;
    EXPECT_EQ(output["interface"].asInt(), 2);
    EXPECT_EQ(output["data"].asString(), "05010203");
    const Json::Value taken = device->ask(R"({"op":"input","interface":2,"data":"05030201"})");
    EXPECT_TRUE(taken["ok"].asBool()) << taken;
    std::vector<std::uint8_t> answer;
    ASSERT_EQ(readWithin(*connection, answer), IoStatus::Ok);
    EXPECT_EQ(answer, (std::vector<std::uint8_t>{5, 3, 2, 1}));

    auto read = blockedRead(*connection);
    const int seen = changes.count();
    device.reset();
    EXPECT_EQ(outcome(read), IoStatus::Failed);
    EXPECT_TRUE(changes.waitBeyond(seen));
    EXPECT_FALSE(remote->exists(path));
}

// --- The in-process bus's change news ------------------------------------------------------

TEST(VirtualBusChanges, FireOnEveryPlugUnplugAndPowerChangeOnly) {
    auto bus = testing::virtualBus({});
    int fired = 0;
    bus->setChangeListener([&] { ++fired; });
    auto command = [&bus](const char* name) {
        testing::CommandLink link(*bus, name);
        link.send(report::kBeginConfig);
    };
    struct Step {
        const char* what;
        std::function<void()> act;
        int fires;
    };
    const Step steps[] = {
        {"plug", [&] { bus->plug("keyboard-receiver"); }, 1},
        {"plug again", [&] { bus->plug("keyboard-receiver"); }, 0},
        {"power off", [&] { bus->setPower("keyboard-receiver", false); }, 1},
        {"power off again", [&] { bus->setPower("keyboard-receiver", false); }, 0},
        {"power on", [&] { bus->setPower("keyboard-receiver", true); }, 1},
        {"power-off fault",
         [&] {
             bus->injectFault("keyboard-receiver", emu::FaultKind::PowerOff);
             command("keyboard-receiver");
         },
         1},
        {"a plain command", [&] { command("keyboard-receiver"); }, 0},
        {"unplug fault",
         [&] {
             bus->injectFault("keyboard-receiver", emu::FaultKind::Unplug);
             command("keyboard-receiver");
         },
         1},
        {"unplug what is gone", [&] { bus->unplug("keyboard-receiver"); }, 0},
        {"plug another", [&] { bus->plug("mouse"); }, 1},
        {"unplug it", [&] { bus->unplug("mouse"); }, 1},
    };
    for (const Step& step : steps) {
        const int before = fired;
        step.act();
        EXPECT_EQ(fired - before, step.fires) << step.what;
    }
    bus->setChangeListener({});
}

// --- The programs ----------------------------------------------------------------------------

using Outcome = qm::testing::ProgramRun;

class Programs : public BusSocket {
protected:
    // The variables every program run here gets: private state and runtime folders.
    std::vector<std::string> environment() const {
        std::vector<std::string> variables;
        for (char** each = environ; *each != nullptr; ++each) {
            const std::string_view entry(*each);
            if (!entry.starts_with("XDG_STATE_HOME=") && !entry.starts_with("XDG_RUNTIME_DIR=") &&
                !entry.starts_with("QUILLMARK_VIRTUAL="))
                variables.emplace_back(entry);
        }
        variables.push_back("XDG_STATE_HOME=" + m_Dir + "/state");
        variables.push_back("XDG_RUNTIME_DIR=" + m_Dir);
        return variables;
    }

    // Runs a program to its end.
    Outcome run(const std::string& program, const std::string& args, const std::string& env = {}) {
        return qm::testing::runCommand("env -u QUILLMARK_VIRTUAL XDG_STATE_HOME=" + m_Dir +
                                           "/state XDG_RUNTIME_DIR=" + m_Dir + " " + env + " " +
                                           program + " " + args,
                                       m_Dir + "/err");
    }
    Outcome tool(const std::string& args) { return run(QM_VIRTUAL_PATH, args); }

    // Starts "quillmark-virtual serve" and waits until it answers; -1 when it does not.
    pid_t serve(const std::string& plugged) {
        std::vector<std::string> args = {QM_VIRTUAL_PATH, "serve",       "--socket",
                                         m_Path,          "--timing-us", "0"};
        if (!plugged.empty())
            args.insert(args.end(), {"--plugged", plugged});
        std::vector<char*> argv, envp;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        std::vector<std::string> variables = environment();
        for (std::string& variable : variables)
            envp.push_back(variable.data());
        envp.push_back(nullptr);
        // Its greeting and traces go to a file, not into the test's output.
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string log = m_Dir + "/serve.err";
        posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                         0600);
        pid_t pid = -1;
        const int spawned =
            posix_spawn(&pid, QM_VIRTUAL_PATH, &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0)
            return -1;
        const auto giveUp = std::chrono::steady_clock::now() + kWait;
        while (std::chrono::steady_clock::now() < giveUp) {
            bus::Client probe;
            std::string why;
            if (probe.connect(m_Path, bus::kRoleControl, why) == 0)
                return pid;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        return -1;
    }

    // Sends sig and returns the exit status (-1 unless the program exited by itself).
    static int end(pid_t pid, int sig) {
        ::kill(pid, sig);
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

TEST_F(Programs, WithoutABusEveryCommandSaysHowToStartOne) {
    for (const char* args : {"status", "plug keyboard", "power off keyboard"}) {
        const Outcome r = tool(std::string(args) + " --socket " + m_Path);
        EXPECT_NE(r.status, 0) << args;
        EXPECT_NE(r.err.find("no virtual bus at " + m_Path), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("quillmark-virtual serve --socket " + m_Path), std::string::npos)
            << r.err;
    }
    const Outcome cli = run(QM_CLI_PATH, "--virtual=socket:" + m_Path + " list");
    EXPECT_NE(cli.status, 0);
    EXPECT_NE(cli.err.find("no virtual bus at " + m_Path), std::string::npos) << cli.err;
}

TEST_F(Programs, ToolCommandsDriveARunningBusThatTheCliSees) {
    const pid_t pid = serve("keyboard-receiver");
    ASSERT_GT(pid, 0) << "quillmark-virtual serve did not come up";
    const std::string socket = " --socket " + m_Path;

    const Outcome second = tool("serve" + socket);
    EXPECT_NE(second.status, 0);
    EXPECT_NE(second.err.find("already runs at " + m_Path), std::string::npos) << second.err;

    struct Step {
        const char* args;
        int status;
        const char* message;  // on stderr
    };
    const Step steps[] = {
        {"plug mouse", 0, ""},
        {"plug mouse", 1, "already"},
        {"plug toaster", 1, "toaster"},
        {"power off keyboard", 0, ""},
        {"emit keyboard-receiver 0x10", 1, "switched off"},
        {"power on keyboard-receiver", 0, ""},
        {"emit keyboard-receiver 0x10", 0, ""},
        {"emit keyboard-receiver 70000", 1, "CODE"},
        {"fault mouse no-answer 2", 0, ""},
        {"fault mouse meltdown", 1, "kind"},
        {"power off mousepad", 1, "receiver"},
    };
    for (const Step& step : steps) {
        const Outcome r = tool(step.args + socket);
        EXPECT_EQ(r.status, step.status) << step.args << ": " << r.err;
        EXPECT_NE(r.err.find(step.message), std::string::npos) << step.args << ": " << r.err;
    }
    const Outcome status = tool("status" + socket);
    EXPECT_EQ(status.status, 0) << status.err;
    std::map<std::string, std::string> states;  // name -> the rest of its line
    std::istringstream lines(status.out);
    for (std::string name, rest; lines >> name && std::getline(lines >> std::ws, rest);)
        states[name] = rest;
    EXPECT_EQ(states["keyboard-receiver"], "plugged, peripheral on") << status.out;
    EXPECT_EQ(states["mouse"], "plugged") << status.out;
    EXPECT_EQ(states["headset"], "-") << status.out;

    // quillmark-cli through the socket, by option and by environment: receiver slots 2 and 3,
    // mouse slots 4 and 5.
    for (const auto& [env, args] :
         {std::pair<std::string, std::string>{"", "--virtual=socket:" + m_Path + " list --json"},
          {"QUILLMARK_VIRTUAL=socket:" + m_Path, "list --json"}}) {
        const Outcome list = run(QM_CLI_PATH, args, env);
        ASSERT_EQ(list.status, 0) << list.err;
        Json::Value root;
        std::istringstream in(list.out);
        ASSERT_TRUE(Json::parseFromStream(Json::CharReaderBuilder(), in, &root, nullptr))
            << list.out;
        std::vector<int> slots;
        for (const Json::Value& row : root["slots"])
            slots.push_back(row["slot"].asInt());
        EXPECT_EQ(slots, (std::vector<int>{2, 3, 4, 5})) << list.out;
    }

    EXPECT_EQ(end(pid, SIGTERM), 0);
    EXPECT_FALSE(fs::exists(m_Path)) << "the socket is left behind";
    EXPECT_TRUE(fs::exists(m_Dir + "/state/Quillmark/virtual/keyboard.json"))
        << "the firmware memory was not saved";
}

TEST_F(Programs, AStaleSocketIsReplacedAndAFileThatIsNoSocketIsKept) {
    const pid_t crashed = serve("");
    ASSERT_GT(crashed, 0);
    end(crashed, SIGKILL);
    ASSERT_TRUE(fs::exists(m_Path)) << "a killed bus should leave its socket";

    const pid_t pid = serve("");
    ASSERT_GT(pid, 0) << "the stale socket was not replaced";
    EXPECT_EQ(end(pid, SIGINT), 0);

    std::ofstream(m_Path) << "mine";
    const Outcome refused = tool("serve --socket " + m_Path);
    EXPECT_NE(refused.status, 0);
    EXPECT_NE(refused.err.find("is not a socket"), std::string::npos) << refused.err;
    EXPECT_TRUE(fs::is_regular_file(m_Path));
}

}  // namespace
}  // namespace qm
