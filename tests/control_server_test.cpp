// The running app's control socket: the server with a fake app in this process, its client, and
// quillmark-cli against it.
#include <gtest/gtest.h>
#include <json/json.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "device/hid/bus_protocol.h"
#include "device/hid/supported_interfaces.h"
#include "platform/control_client.h"
#include "platform/control_protocol.h"
#include "platform/control_server.h"
#include "platform/local_socket.h"
#include "run_program.h"

namespace {

namespace fs = std::filesystem;
using namespace qm::control;

// A safety bound so that a fault hangs no test; nothing is asserted about time.
constexpr int kPatienceMs = 30000;

// The app side: records what it was asked, on the server's thread.
class FakeApp : public ControlHandler {
public:
    void onRaise() override {
        std::lock_guard lock(m_Lock);
        ++raises;
    }
    bool onHostLighting(bool on) override {
        {
            std::lock_guard lock(m_Lock);
            hostLighting.push_back(on);
        }
        // As the app does: every change of the state is published.
        if (server != nullptr)
            server->publishHostLighting(on);
        return on;
    }
    void onGameEvent(const GameEvent& event) override {
        std::lock_guard lock(m_Lock);
        games.push_back(event);
    }
    std::vector<DeviceReportRow> deviceReport() override {
        return deviceReportRows(qm::hardwareTables().Options);
    }
    LanguageState languages() override {
        std::lock_guard lock(m_Lock);
        return language;
    }
    LanguageState onLanguage(int index) override {
        std::lock_guard lock(m_Lock);
        switches.push_back(index);
        language.current = index;
        return language;
    }
    int calls() {
        std::lock_guard lock(m_Lock);
        return raises + static_cast<int>(hostLighting.size() + games.size() + switches.size());
    }

    ControlServer* server = nullptr;
    int raises = 0;
    std::vector<bool> hostLighting;
    std::vector<GameEvent> games;
    LanguageState language{{"zh_CN", "en_US"}, 1};
    std::vector<int> switches;

private:
    std::mutex m_Lock;
};

ControlServer::Options at(const std::string& path, uid_t peerUid = static_cast<uid_t>(-1)) {
    ControlServer::Options options;
    options.path = path;
    options.peerUid = peerUid;
    return options;
}

Request requestOf(RequestKind kind) {
    Request request;
    request.kind = kind;
    return request;
}

// Writes all of text, waiting while the socket is full.
bool writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        std::vector<qm::net::PollEntry> entries = {{fd, false, true}};
        if (!qm::net::pollFds(entries, kPatienceMs) || !entries[0].writable)
            return false;
    }
    return true;
}

class Control : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/qm-control-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_Folder = pattern;
        m_Path = m_Folder + "/quillmark/control";
        app.server = &server;
        ASSERT_EQ(server.start(app, at(m_Path)), 0);
    }
    void TearDown() override {
        server.stop();
        fs::remove_all(m_Folder);
    }

    std::unique_ptr<qm::net::LineSocket> connectRaw() {
        std::unique_ptr<qm::net::LineSocket> socket;
        EXPECT_EQ(qm::net::LineSocket::connect(m_Path, 1 << 20, socket), 0);
        return socket;
    }
    // Sends line whole and returns the next line that comes back (null when none came).
    static Json::Value exchange(qm::net::LineSocket& socket, const std::string& line) {
        const auto deadline = qm::net::deadlineAfter(kPatienceMs);
        if (socket.send(line, deadline, nullptr) != qm::net::NetStatus::Ok)
            return Json::Value();
        return receive(socket);
    }
    static Json::Value receive(qm::net::LineSocket& socket) {
        qm::net::Line line;
        Json::Value message;
        std::string why;
        if (socket.receiveLine(line, qm::net::deadlineAfter(kPatienceMs), nullptr) !=
                qm::net::NetStatus::Ok ||
            !qm::bus::parseLine(line.text, message, why))
            return Json::Value();
        return message;
    }
    ControlClient connectClient() {
        ControlClient client;
        EXPECT_EQ(client.connect(m_Path), 0);
        return client;
    }

    FakeApp app;
    ControlServer server;
    std::string m_Folder;
    std::string m_Path;
};

TEST_F(Control, SocketIsPrivateToTheUser) {
    EXPECT_EQ(fs::status(m_Folder + "/quillmark").permissions() & fs::perms::all,
              fs::perms::owner_all);
    EXPECT_EQ(fs::status(m_Path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(Control, EachRequestReachesTheApp) {
    ControlClient client = connectClient();
    std::string why;
    ASSERT_TRUE(client.raise(why)) << why;
    bool state = true;
    ASSERT_TRUE(client.setHostLighting(false, state, why)) << why;
    EXPECT_FALSE(state);
    ASSERT_TRUE(client.setHostLighting(true, state, why)) << why;
    EXPECT_TRUE(state);
    for (const char* name : kGameEventNames)
        ASSERT_TRUE(client.sendGameEvent({name, 2, 9}, why)) << why;

    EXPECT_EQ(app.raises, 1);
    EXPECT_EQ(app.hostLighting, (std::vector<bool>{false, true}));
    ASSERT_EQ(app.games.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(app.games[i].name, kGameEventNames[i]);
        EXPECT_EQ(app.games[i].wparam, 2u);
        EXPECT_EQ(app.games[i].lparam, 9u);
    }
}

TEST_F(Control, DeviceReportCarriesTheKindsTable) {
    auto socket = connectRaw();
    const Json::Value answer = exchange(*socket, R"({"op":"device-report","id":7})");
    Json::Value expected;
    std::string why;
    ASSERT_TRUE(qm::bus::parseLine(R"({"id":7,"ok":true,"header":[2,3,0,2],"count":4,"rows":[)"
                                   R"({"vendorId":12815,"productId":0,"kind":2},)"
                                   R"({"vendorId":12815,"productId":20565,"kind":1},)"
                                   R"({"vendorId":12815,"productId":0,"kind":3},)"
                                   R"({"vendorId":3190,"productId":0,"kind":7}]})",
                                   expected, why));
    EXPECT_EQ(answer, expected);

    ControlClient client = connectClient();
    std::vector<DeviceReportRow> rows;
    ASSERT_TRUE(client.deviceReport(rows, why)) << why;
    EXPECT_EQ(rows, deviceReportRows(qm::hardwareTables().Options));
}

TEST_F(Control, LanguageListsAndSwitches) {
    auto socket = connectRaw();
    const struct {
        const char* request;
        int current;
    } steps[] = {
        {R"({"op":"language","id":3})", 1},
        {R"({"op":"language","id":3,"index":0})", 0},
        {R"({"op":"language","id":3,"name":"en_US"})", 1},
        {R"({"op":"language","id":3,"name":"ZH"})", 0},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.request);
        Json::Value expected;
        std::string why;
        ASSERT_TRUE(qm::bus::parseLine(R"({"id":3,"ok":true,"current":)" +
                                           std::to_string(step.current) +
                                           R"(,"languages":[{"index":0,"name":"zh_CN"},)"
                                           R"({"index":1,"name":"en_US"}]})",
                                       expected, why));
        EXPECT_EQ(exchange(*socket, step.request), expected);
    }
    EXPECT_EQ(app.switches, (std::vector<int>{0, 1, 0}));

    ControlClient client = connectClient();
    LanguageState state;
    std::string why;
    ASSERT_TRUE(client.setLanguage({1u, std::nullopt}, state, why)) << why;
    EXPECT_EQ(state, (LanguageState{{"zh_CN", "en_US"}, 1}));
    EXPECT_FALSE(client.setLanguage({std::nullopt, "de"}, state, why));
    ASSERT_TRUE(client.languages(state, why)) << why;
    EXPECT_EQ(state.current, 1);
}

TEST_F(Control, SubscribersHearEveryHostLightingChange) {
    ControlClient subscriber = connectClient();
    std::string why;
    ASSERT_TRUE(subscriber.subscribe(why)) << why;

    server.publishHostLighting(false);  // the app's own button
    ControlClient other = connectClient();
    bool state = false;
    ASSERT_TRUE(other.setHostLighting(true, state, why)) << why;

    bool on = true;
    ASSERT_TRUE(subscriber.nextHostLighting(on, kPatienceMs, why)) << why;
    EXPECT_FALSE(on);
    ASSERT_TRUE(subscriber.nextHostLighting(on, kPatienceMs, why)) << why;
    EXPECT_TRUE(on);
    // The requester did not subscribe: its next answer is not preceded by an event.
    EXPECT_TRUE(other.raise(why)) << why;
}

struct BadRequest {
    const char* line;
    const char* error;
};

TEST_F(Control, BadRequestsGetAnErrorAndTheConnectionStaysUsable) {
    const std::string deep = std::string(200, '[') + std::string(200, ']');
    const std::string longName =
        R"({"op":"language","name":")" + std::string(kMaxLanguageName + 1, 'e') + R"("})";
    const BadRequest cases[] = {
        {"not json", error::kMalformed},
        {"[1,2]", error::kMalformed},
        {"{\"op\":\"raise\"} {}", error::kMalformed},
        {"{}", error::kMalformed},
        {R"({"op":5})", error::kMalformed},
        {R"({"op":"fly"})", error::kUnknownOp},
        {R"({"op":"host-lighting"})", error::kMalformed},
        {R"({"op":"host-lighting","on":"yes"})", error::kMalformed},
        {R"({"op":"host-lighting","on":1})", error::kMalformed},
        {R"({"op":"game-event","name":"Game_Over","wparam":0,"lparam":1})", error::kMalformed},
        {R"({"op":"game-event","name":"Game_Start","wparam":3,"lparam":1})", error::kMalformed},
        {R"({"op":"game-event","name":"Game_Start","wparam":-1,"lparam":1})", error::kMalformed},
        {R"({"op":"game-event","name":"Game_Start","wparam":0,"lparam":256})", error::kMalformed},
        {R"({"op":"game-event","name":"Game_Start","wparam":0.5,"lparam":1})", error::kMalformed},
        {R"({"op":"game-event","name":"Game_Start","wparam":0})", error::kMalformed},
        {R"({"op":"game-event","name":7,"wparam":0,"lparam":1})", error::kMalformed},
        {R"({"op":"language","index":-1})", error::kMalformed},
        {R"({"op":"language","index":64})", error::kMalformed},
        {R"({"op":"language","index":"1"})", error::kMalformed},
        {R"({"op":"language","index":1.5})", error::kMalformed},
        {R"({"op":"language","index":null})", error::kMalformed},
        {R"({"op":"language","name":1})", error::kMalformed},
        {R"({"op":"language","name":""})", error::kMalformed},
        {longName.c_str(), error::kMalformed},
        {R"({"op":"language","index":1,"name":"en_US"})", error::kMalformed},
        {R"({"op":"language","index":2})", error::kUnknownLanguage},
        {R"({"op":"language","name":"fr_FR"})", error::kUnknownLanguage},
        {R"({"op":"language","name":"en_GB"})", error::kUnknownLanguage},
        {deep.c_str(), error::kMalformed},
    };
    auto socket = connectRaw();
    for (const BadRequest& c : cases) {
        SCOPED_TRACE(std::string(c.line).substr(0, 80));
        const Json::Value answer = exchange(*socket, c.line);
        EXPECT_FALSE(qm::bus::succeeded(answer));
        EXPECT_EQ(qm::bus::textOf(answer, "error"), c.error);
        EXPECT_FALSE(qm::bus::textOf(answer, "message").empty());
        const Json::Value next = exchange(*socket, R"({"op":"raise","id":1})");
        EXPECT_TRUE(qm::bus::succeeded(next));
    }
    EXPECT_EQ(app.calls(), static_cast<int>(std::size(cases)));  // the raises only
}

TEST_F(Control, OversizedLineIsRefusedAtOnce) {
    auto socket = connectRaw();
    // No line end yet: the answer must not wait for one.
    const std::string huge(kMaxLine + 1, 'a');
    const auto deadline = qm::net::deadlineAfter(kPatienceMs);
    ASSERT_EQ(socket->send(huge.substr(0, huge.size() - 1), deadline, nullptr),
              qm::net::NetStatus::Ok);  // send adds "\n": the line is exactly kMaxLine
    EXPECT_EQ(qm::bus::textOf(receive(*socket), "error"), error::kMalformed);

    const std::string unended = R"({"op":"raise","pad":")" + huge;
    ASSERT_TRUE(writeAll(socket->fd(), unended));
    EXPECT_EQ(qm::bus::textOf(receive(*socket), "error"), error::kTooLong);
    // The rest of that line is skipped; the next one is served.
    EXPECT_TRUE(qm::bus::succeeded(exchange(*socket, R"("}
{"op":"raise"})")));
    EXPECT_EQ(app.raises, 1);
}

TEST_F(Control, AnotherUserIsRefused) {
    server.stop();
    ASSERT_EQ(server.start(app, at(m_Path, ::geteuid() + 1)), 0);
    auto socket = connectRaw();
    const Json::Value answer = receive(*socket);
    EXPECT_EQ(qm::bus::textOf(answer, "error"), error::kNotAllowed);
    qm::net::Line line;
    EXPECT_EQ(socket->receiveLine(line, qm::net::deadlineAfter(kPatienceMs), nullptr),
              qm::net::NetStatus::Closed);
    EXPECT_EQ(app.calls(), 0);
}

TEST_F(Control, ConnectionsAreBounded) {
    std::vector<std::unique_ptr<qm::net::LineSocket>> open;
    for (std::size_t i = 0; i < kMaxConnections; ++i) {
        open.push_back(connectRaw());
        ASSERT_TRUE(qm::bus::succeeded(exchange(*open.back(), R"({"op":"raise"})")));
    }
    auto extra = connectRaw();
    EXPECT_EQ(qm::bus::textOf(receive(*extra), "error"), error::kTooMany);
    open.pop_back();
    // A freed place is taken again (the closing is seen before a later connection).
    Json::Value answer;
    for (int tries = 0; tries < 1000 && !qm::bus::succeeded(answer); ++tries) {
        auto again = connectRaw();
        answer = exchange(*again, R"({"op":"raise"})");
    }
    EXPECT_TRUE(qm::bus::succeeded(answer));
}

TEST_F(Control, ASubscriberThatNeverReadsStallsNothing) {
    auto idle = connectRaw();
    ASSERT_TRUE(qm::bus::succeeded(exchange(*idle, R"({"op":"subscribe"})")));
    ControlClient other = connectClient();
    std::string why;
    constexpr int kEvents = 60000;  // far more than the socket and the queue hold
    for (int i = 0; i < kEvents; ++i) {
        server.publishHostLighting(i % 2 == 0);
        // Lets the server catch up, so that no event is dropped before it is queued.
        if (i % 200 == 0) {
            ASSERT_TRUE(other.raise(why)) << why;
        }
    }
    ASSERT_TRUE(other.raise(why)) << why;

    // The idle subscriber was dropped: it finds what was queued for it, then the end.
    int received = 0;
    qm::net::Line line;
    qm::net::NetStatus status;
    while ((status = idle->receiveLine(line, qm::net::deadlineAfter(kPatienceMs), nullptr)) ==
           qm::net::NetStatus::Ok)
        ++received;
    EXPECT_EQ(status, qm::net::NetStatus::Closed);
    EXPECT_LT(received, kEvents);
}

TEST_F(Control, SecondStartRaisesTheFirst) {
    ControlServer second;
    FakeApp secondApp;
    EXPECT_EQ(second.start(secondApp, at(m_Path)), EADDRINUSE);
    EXPECT_TRUE(raiseRunningApp(m_Path));
    EXPECT_EQ(app.raises, 1);
    EXPECT_EQ(secondApp.raises, 0);

    server.stop();
    EXPECT_FALSE(fs::exists(m_Path));
    EXPECT_FALSE(raiseRunningApp(m_Path));
}

// --- The codec ------------------------------------------------------------------------------

TEST(ControlProtocol, RequestsDecodeAsEncoded) {
    Request game;
    game.kind = RequestKind::GameEvent;
    game.game = {"Game_Death", 1, 255};
    Request lighting;
    lighting.kind = RequestKind::HostLighting;
    lighting.on = true;
    Request byIndex = requestOf(RequestKind::Language);
    byIndex.language.index = 63;
    Request byName = requestOf(RequestKind::Language);
    byName.language.name = "en_US";
    const Request cases[] = {requestOf(RequestKind::Raise),
                             lighting,
                             game,
                             requestOf(RequestKind::DeviceReport),
                             requestOf(RequestKind::Subscribe),
                             requestOf(RequestKind::Language),
                             byIndex,
                             byName};
    for (const Request& request : cases) {
        Request decoded;
        const char* code = nullptr;
        std::string why;
        ASSERT_TRUE(decodeRequest(encodeRequest(request), decoded, code, why)) << why;
        EXPECT_EQ(decoded.kind, request.kind);
        EXPECT_EQ(decoded.on, request.on);
        EXPECT_EQ(decoded.game.name, request.game.name);
        EXPECT_EQ(decoded.game.wparam, request.game.wparam);
        EXPECT_EQ(decoded.game.lparam, request.game.lparam);
        EXPECT_EQ(decoded.language.index, request.language.index);
        EXPECT_EQ(decoded.language.name, request.language.name);
    }
}

TEST(ControlProtocol, LanguageNamesMatchIgnoringCaseOrByLanguageAlone) {
    const std::vector<std::string> names = {"zh_CN", "en_US", "en_GB", "pt-BR"};
    const struct {
        const char* wanted;
        int index;
    } cases[] = {{"en_US", 1},  {"EN_us", 1}, {"en_gb", 2}, {"en", 1},   {"ZH", 0}, {"pt", 3},
                 {"en_AU", -1}, {"e", -1},    {"", -1},     {"zh_", -1}, {"fr", -1}};
    for (const auto& c : cases)
        EXPECT_EQ(matchLanguage(names, c.wanted), c.index) << c.wanted;
}

TEST(ControlProtocol, MalformedLanguageAnswersAreRefused) {
    const char* cases[] = {
        R"({"current":0})",
        R"({"current":0,"languages":{}})",
        R"({"current":1,"languages":[{"index":0,"name":"zh_CN"}]})",
        R"({"current":-2,"languages":[{"index":0,"name":"zh_CN"}]})",
        R"({"current":"0","languages":[{"index":0,"name":"zh_CN"}]})",
        R"({"current":0,"languages":[{"index":1,"name":"zh_CN"}]})",
        R"({"current":0,"languages":[{"index":0,"name":""}]})",
        R"({"current":0,"languages":[{"index":0,"name":5}]})",
        R"({"current":0,"languages":["zh_CN"]})",
    };
    for (const char* text : cases) {
        SCOPED_TRACE(text);
        Json::Value answer;
        std::string why;
        ASSERT_TRUE(qm::bus::parseLine(text, answer, why)) << why;
        LanguageState state;
        EXPECT_FALSE(decodeLanguageState(answer, state, why));
        EXPECT_TRUE(state.names.empty());
    }
    LanguageState state;
    std::string why;
    EXPECT_TRUE(decodeLanguageState(encodeLanguageState({{"zh_CN"}, -1}), state, why)) << why;
    EXPECT_EQ(state, (LanguageState{{"zh_CN"}, -1}));
}

TEST(ControlProtocol, MalformedDeviceReportsAreRefused) {
    const char* cases[] = {
        R"({"header":[2,3,0,1],"count":0,"rows":[]})",
        R"({"header":[2,3,0],"count":0,"rows":[]})",
        R"({"count":0,"rows":[]})",
        R"({"header":[2,3,0,2],"count":1,"rows":[]})",
        R"({"header":[2,3,0,2],"count":1,"rows":[{"vendorId":1,"productId":2}]})",
        R"({"header":[2,3,0,2],"count":1,"rows":[{"vendorId":"1","productId":2,"kind":1}]})",
        R"({"header":[2,3,0,2],"count":1,"rows":[5]})",
    };
    for (const char* text : cases) {
        SCOPED_TRACE(text);
        Json::Value answer;
        std::string why;
        ASSERT_TRUE(qm::bus::parseLine(text, answer, why)) << why;
        std::vector<DeviceReportRow> rows;
        EXPECT_FALSE(decodeDeviceReport(answer, rows, why));
        EXPECT_TRUE(rows.empty());
    }
}

// --- quillmark-cli against the app ------------------------------------------------------------

using Outcome = qm::testing::ProgramRun;

class ControlCli : public Control {
protected:
    Outcome run(const std::string& args, const std::string& env = "") {
        return qm::testing::runCommand(
            "env -u QUILLMARK_CONTROL " + env + " " QM_CLI_PATH " " + args, m_Folder + "/err");
    }
};

TEST_F(ControlCli, HostLighting) {
    const Outcome off = run("--control " + m_Path + " host-lighting off");
    EXPECT_EQ(off.status, 0) << off.err;
    EXPECT_EQ(off.out, "host lighting control: off\n");
    const Outcome on = run("host-lighting on --json", "QUILLMARK_CONTROL=" + m_Path);
    EXPECT_EQ(on.status, 0) << on.err;
    EXPECT_NE(on.out.find("\"on\" : true"), std::string::npos) << on.out;
    EXPECT_EQ(app.hostLighting, (std::vector<bool>{false, true}));
}

TEST_F(ControlCli, GameEvents) {
    const struct {
        const char* word;
        const char* name;
    } cases[] = {{"start", "Game_Start"},
                 {"end", "Game_End"},
                 {"kill", "Game_Kill"},
                 {"death", "Game_Death"}};
    for (const auto& c : cases) {
        const Outcome r = run("--control " + m_Path + " game-event " + c.word + " 1 7");
        EXPECT_EQ(r.status, 0) << r.err;
        ASSERT_FALSE(app.games.empty());
        EXPECT_EQ(app.games.back().name, c.name);
        EXPECT_EQ(app.games.back().wparam, 1u);
        EXPECT_EQ(app.games.back().lparam, 7u);
    }
    // Out of range: refused before the app is asked.
    EXPECT_NE(run("--control " + m_Path + " game-event start 3 7").status, 0);
    EXPECT_NE(run("--control " + m_Path + " game-event start 0 256").status, 0);
    EXPECT_EQ(app.games.size(), 4u);
}

TEST_F(ControlCli, Devices) {
    const Outcome table = run("--control " + m_Path + " devices");
    EXPECT_EQ(table.status, 0) << table.err;
    EXPECT_EQ(table.out,
              "device report 2 3 0 2, 4 rows\n"
              "vendor   product  kind\n"
              "0x320f   0x0000   2 (mouse)\n"
              "0x320f   0x5055   1 (keyboard)\n"
              "0x320f   0x0000   3 (mousepad)\n"
              "0x0c76   0x0000   7 (headset)\n");

    const Outcome json = run("--control " + m_Path + " --json devices");
    EXPECT_EQ(json.status, 0) << json.err;
    Json::Value report;
    std::string why;
    std::string oneLine = json.out;
    std::erase(oneLine, '\n');
    ASSERT_TRUE(qm::bus::parseLine(oneLine, report, why)) << why;
    std::vector<DeviceReportRow> rows;
    ASSERT_TRUE(decodeDeviceReport(report, rows, why)) << why;
    EXPECT_EQ(rows, deviceReportRows(qm::hardwareTables().Options));
}

TEST_F(ControlCli, LanguageSwitchesTheRunningApp) {
    const std::string control = "--control " + m_Path + " language";
    const Outcome list = run(control);
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.out, "  0 zh_CN\n* 1 en_US\n");
    const struct {
        const char* choice;
        int index;
        const char* out;
    } cases[] = {{"zh", 0, "language: zh_CN\n"},
                 {"1", 1, "language: en_US\n"},
                 {"ZH_cn", 0, "language: zh_CN\n"}};
    for (const auto& c : cases) {
        const Outcome r = run(control + " " + c.choice);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, c.out);
        ASSERT_FALSE(app.switches.empty());
        EXPECT_EQ(app.switches.back(), c.index);
    }
    const Outcome json = run(control + " en --json");
    EXPECT_EQ(json.status, 0) << json.err;
    EXPECT_NE(json.out.find("\"running\" : true"), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"current\" : 1"), std::string::npos) << json.out;
    for (const char* unknown : {"fr", "2", "99999999999"}) {
        const Outcome r = run(control + " " + unknown);
        EXPECT_EQ(r.status, 2) << unknown;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    EXPECT_EQ(app.switches.size(), 4u);
}

TEST_F(ControlCli, LanguageIsStoredWhenNoAppRuns) {
    server.stop();
    const std::string config = m_Folder + "/config";
    const std::string settings = config + "/Quillmark/settings.json";
    const std::string env = "-u LC_ALL -u LC_MESSAGES LANG=en_US.UTF-8 XDG_CONFIG_HOME=" + config;
    const std::string command = "--control " + m_Path + " language";
    auto storedId = [&] {
        Json::Value document;
        std::ifstream in(settings);
        Json::CharReaderBuilder reader;
        std::string why;
        if (!in || !Json::parseFromStream(reader, in, &document, &why) || !document.isObject() ||
            !document["Language_ID"].isInt())
            return -1;
        return document["Language_ID"].asInt();
    };

    const struct {
        const char* args;
        int status;
        const char* out;
        int stored;  // Language_ID in settings.json afterwards, -1: none
    } steps[] = {
        {"", 0, "  0 zh_CN\n* 1 en_US\n", -1},  // the locale's choice
        {" zh", 0, "language: zh_CN (stored; the app starts with it next time)\n", 2052},
        {"", 0, "* 0 zh_CN\n  1 en_US\n", 2052},  // the stored choice wins over the locale
        {" fr", 2, "", 2052},
        {" 1", 0, "language: en_US (stored; the app starts with it next time)\n", 1033},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.args);
        const Outcome r = run(command + step.args, env);
        EXPECT_EQ(r.status, step.status) << r.err;
        EXPECT_EQ(r.out, step.out);
        EXPECT_EQ(storedId(), step.stored);
    }
    const Outcome json = run(command + " --json", env);
    EXPECT_NE(json.out.find("\"running\" : false"), std::string::npos) << json.out;
}

TEST_F(ControlCli, NoAppRunning) {
    server.stop();
    for (const char* command : {"devices", "host-lighting on", "game-event end 0 1"}) {
        const Outcome r = run("--control " + m_Path + " " + command);
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "quillmark-cli: no Quillmark app is running (start it with: quillmark)\n");
    }
}

}  // namespace
