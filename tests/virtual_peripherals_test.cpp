#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <thread>

#include "device/hid/hid_path.h"
#include "device/hid/report_descriptor.h"
#include "device/hid/supported_interfaces.h"
#include "emulator/firmware_state.h"
#include "emulator/headset_lighting.h"
#include "emulator/info_block.h"
#include "virtual_fixtures.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using emu::Area;
using emu::FaultKind;
using hid::IoStatus;
using testing::CommandLink;
using testing::virtualBus;

constexpr std::uint8_t kOk = 0x00;
constexpr std::uint8_t kFF = report::kStatusError;
constexpr std::uint8_t kFE = report::kStatusBusy;

std::uint16_t offsetOf(const report::Report& answer) {
    const int high = answer[report::kOffsetHigh];
    return static_cast<std::uint16_t>(answer[report::kOffsetLow] | high << 8);
}

std::vector<std::uint8_t> pattern(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
    return bytes;
}

// A fresh folder under the system temporary folder, removed afterwards.
struct TempDir {
    TempDir() {
        path = fs::temp_directory_path() /
               ("qm-virtual-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path);
    }
    ~TempDir() { fs::remove_all(path); }
    fs::path path;
};

// --- Answers -------------------------------------------------------------------------------

struct AnswerCase {
    const char* peripheral;
    std::uint8_t command;
    std::uint8_t length;
    std::uint16_t offset;
    std::uint8_t status;
};

class Answers : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(Answers, EchoCommandLengthOffsetAndStatus) {
    const AnswerCase& c = GetParam();
    auto bus = virtualBus({c.peripheral});
    CommandLink link(*bus, c.peripheral);
    ASSERT_EQ(link.openResult(), 0);

    auto answer = link.send(c.command, c.length, c.offset);

    ASSERT_TRUE(answer);
    EXPECT_EQ((*answer)[0], report::kReportId);
    EXPECT_EQ((*answer)[report::kCommand], c.command);
    EXPECT_EQ((*answer)[report::kLength], c.length);
    EXPECT_EQ(offsetOf(*answer), c.offset);
    EXPECT_EQ((*answer)[report::kStatus], c.status);
}

// Keyboard: 122 keys (366-byte key table), 4 profiles of 64 bytes, 4096 bytes of macros.
// Mouse: 4 profiles of 128 bytes, 4096 bytes of recoil data.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Commands, Answers, ::testing::Values(
    AnswerCase{"keyboard", 0x01, 0, 0, kOk},
    AnswerCase{"keyboard", 0x02, 0, 0, kOk},
    AnswerCase{"keyboard", 0x03, 34, 0, kOk},
    AnswerCase{"keyboard", 0x03, 10, 24, kOk},
    AnswerCase{"keyboard", 0x03, 10, 25, kFF},   // beyond the 34 bytes
    AnswerCase{"keyboard", 0x05, 55, 192, kOk},
    AnswerCase{"keyboard", 0x05, 57, 0, kFF},    // more than 56 bytes
    AnswerCase{"keyboard", 0x07, 3, 363, kOk},
    AnswerCase{"keyboard", 0x07, 3, 366, kFF},
    AnswerCase{"keyboard", 0x09, 3, 512, kFF},   // bank 1
    AnswerCase{"keyboard", 0x1B, 2, 120, kOk},
    AnswerCase{"keyboard", 0x1A, 6, 0, kOk},
    AnswerCase{"keyboard", 0x1C, 0, 0, kOk},
    AnswerCase{"keyboard", 0x12, 8, 504, kOk},   // a 170-LED frame fits
    AnswerCase{"keyboard", 0x12, 8, 505, kFF},
    AnswerCase{"keyboard", 0x17, 56, 0, kFF},    // no recoil memory
    AnswerCase{"keyboard", 0xAA, 0, 0, kFF},     // a receiver's command
    AnswerCase{"keyboard", 0x42, 0, 0, kFF},     // unknown
    AnswerCase{"mouse", 0x05, 71, 384, kFF},
    AnswerCase{"mouse", 0x05, 56, 440, kOk},
    AnswerCase{"mouse", 0x17, 56, 4040, kOk},
    AnswerCase{"mouse", 0x0B, 3, 0, kFF},        // no custom lighting pages
    AnswerCase{"mousepad", 0x07, 3, 0, kFF},     // no keys
    AnswerCase{"mousepad", 0x12, 45, 0, kOk},
    AnswerCase{"headset", 0x06, 21, 0, kOk},
    AnswerCase{"headset", 0x12, 3, 0, kFF},      // its frames come as output reports
    AnswerCase{"keyboard-receiver", 0xAA, 0, 0, kOk}));
// clang-format on

TEST(VirtualPeripherals, BeginAndEndOpenAndCloseASequence) {
    auto bus = virtualBus({"keyboard"});
    CommandLink link(*bus, "keyboard");
    const auto& kb = *bus->firmware("keyboard");
    const std::uint8_t block[] = {1, 2, 3};

    link.send(report::kWriteParams, 3, 64, block);  // outside a sequence: taken, but counted
    link.send(report::kBeginConfig);
    EXPECT_TRUE(kb.counters().configOpen);
    link.send(report::kWriteParams, 3, 64, block);
    link.send(report::kEndConfig);

    const auto counters = kb.counters();
    EXPECT_FALSE(counters.configOpen);
    EXPECT_EQ(counters.begins, 1u);
    EXPECT_EQ(counters.ends, 1u);
    EXPECT_EQ(counters.writesOutsideConfig, 1u);
    EXPECT_EQ(counters.requests, 4u);
    EXPECT_EQ(kb.setting(1, 2), 3);
}

TEST(VirtualPeripherals, BadChecksumIsRefusedAndWritesNothing) {
    auto bus = virtualBus({"keyboard"});
    CommandLink link(*bus, "keyboard");
    const auto before = bus->firmware("keyboard")->area(Area::Params);
    const std::uint8_t data[] = {9, 9, 9};
    report::Report request = report::encodeRequest(report::kWriteParams, 3, 0, data);
    request[report::kChecksumLow] ^= 0x01;

    auto answer = link.exchange(request);

    ASSERT_TRUE(answer);
    EXPECT_EQ((*answer)[report::kCommand], report::kWriteParams);
    EXPECT_EQ((*answer)[report::kStatus], kFF);
    EXPECT_EQ(bus->firmware("keyboard")->area(Area::Params), before);
    EXPECT_EQ(bus->firmware("keyboard")->counters().badChecksums, 1u);

    // The receiver checks before it answers for the peripheral behind it, on or off.
    auto rx = virtualBus({"keyboard-receiver"});
    CommandLink receiver(*rx, "keyboard-receiver");
    for (bool on : {true, false}) {
        rx->setPower("keyboard-receiver", on);
        report::Report online = report::encodeRequest(report::kIsPeripheralOnline, 0, 0);
        online[report::kChecksumHigh] ^= 0x01;
        auto refused = receiver.exchange(online);
        ASSERT_TRUE(refused);
        EXPECT_EQ((*refused)[report::kStatus], kFF) << on;
    }
}

TEST(VirtualPeripherals, InfoBlockThroughTheReceiverInTwoChunksEqualsTheCableRead) {
    auto bus = virtualBus({"keyboard", "keyboard-receiver"});
    CommandLink cable(*bus, "keyboard");
    CommandLink receiver(*bus, "keyboard-receiver");

    const auto whole = cable.readArea(report::kReadDeviceInfo, 34);
    const auto chunked = receiver.readArea(report::kReadDeviceInfo, 34, 24);

    ASSERT_EQ(whole.size(), 34u);
    EXPECT_EQ(chunked, whole);
    const auto info = bus->firmware("keyboard")->info();
    EXPECT_TRUE(std::equal(info.begin(), info.end(), whole.begin()));
}

TEST(VirtualPeripherals, ParamsWrittenOnTheCableReadBackThroughTheReceiver) {
    auto bus = virtualBus({"mouse", "mouse-receiver"});
    CommandLink cable(*bus, "mouse");
    CommandLink receiver(*bus, "mouse-receiver");
    const auto block = pattern(66, 0x30);

    // The mouse's 66-byte block of profile 1, at 128, in 56 + 10 bytes.
    ASSERT_EQ((*cable.send(report::kWriteParams, 56, 128, block))[report::kStatus], kOk);
    ASSERT_EQ(
        (*cable.send(report::kWriteParams, 10, 184, std::span(block).subspan(56)))[report::kStatus],
        kOk);

    std::vector<std::uint8_t> back;
    for (std::uint16_t at = 0; at < 66; at += 24) {
        const auto length = static_cast<std::uint8_t>(std::min(24, 66 - at));
        auto answer = receiver.send(report::kReadParams, length, 128 + at);
        ASSERT_TRUE(answer);
        back.insert(back.end(), answer->begin() + 8, answer->begin() + 8 + length);
    }
    EXPECT_EQ(back, block);
}

struct OutOfRangeCase {
    const char* peripheral;
    std::uint8_t command;
    Area area;
    std::uint8_t length;
    std::uint16_t offset;
};

class OutOfRange : public ::testing::TestWithParam<OutOfRangeCase> {};

TEST_P(OutOfRange, WriteIsRefusedAndMemoryUnchanged) {
    const OutOfRangeCase& c = GetParam();
    auto bus = virtualBus({c.peripheral});
    CommandLink link(*bus, c.peripheral);
    const auto before = bus->firmware(c.peripheral)->area(c.area);

    auto answer = link.send(c.command, c.length, c.offset, pattern(56, 1));

    ASSERT_TRUE(answer);
    EXPECT_EQ((*answer)[report::kStatus], kFF);
    EXPECT_EQ(bus->firmware(c.peripheral)->area(c.area), before);
}

INSTANTIATE_TEST_SUITE_P(
    Writes, OutOfRange,
    ::testing::Values(OutOfRangeCase{"keyboard", 0x06, Area::Params, 55, 240},
                      OutOfRangeCase{"keyboard", 0x06, Area::Params, 57, 0},
                      OutOfRangeCase{"keyboard", 0x09, Area::KeyCodes, 24, 360},
                      OutOfRangeCase{"keyboard", 0x15, Area::Macro, 56, 4096 - 55},
                      OutOfRangeCase{"keyboard", 0x0B, Area::CustomLighting, 3, 8 * 512},
                      OutOfRangeCase{"mouse", 0x17, Area::ShootData, 56, 4096 - 40},
                      OutOfRangeCase{"mouse", 0x06, Area::Params, 66, 0},
                      OutOfRangeCase{"headset", 0x06, Area::Params, 21, 250}));

TEST(VirtualPeripherals, MacroCapacityFollowsTheInfoBlock) {
    auto bus = virtualBus({"keyboard", "mouse"});
    for (const char* name : {"keyboard", "mouse"}) {
        const auto& fw = *bus->firmware(name);
        EXPECT_EQ(fw.area(Area::Macro).size(), fw.deviceInfo().macroUnits * 128u) << name;
    }
}

// --- Receivers -----------------------------------------------------------------------------

TEST(VirtualPeripherals, ReceiverAnswersForAPeripheralThatIsOff) {
    auto bus = virtualBus({"keyboard-receiver"});
    CommandLink link(*bus, "keyboard-receiver");
    EXPECT_EQ((*link.send(report::kIsPeripheralOnline))[report::kData], 0xFF);

    ASSERT_TRUE(bus->setPower("keyboard-receiver", false));
    auto online = link.send(report::kIsPeripheralOnline);
    auto info = link.send(report::kReadDeviceInfo, 24, 0);

    ASSERT_TRUE(online && info);
    EXPECT_EQ((*online)[report::kCommand], report::kIsPeripheralOnline);
    EXPECT_EQ((*online)[report::kData], 0x00);
    EXPECT_EQ((*info)[report::kCommand], report::kIsPeripheralOnline);
    EXPECT_EQ(bus->firmware("keyboard")->counters().requests, 0u);  // the receiver answered
}

// --- Faults --------------------------------------------------------------------------------

struct FaultCase {
    const char* name;
    const char* peripheral;
    FaultKind kind;
};

class Faults : public ::testing::TestWithParam<FaultCase> {};

// The fault is armed for the second report: the first is answered as usual, the second (a
// parameter write) meets the fault.
TEST_P(Faults, StrikeOnTheNthReport) {
    const FaultCase& c = GetParam();
    auto bus = virtualBus({c.peripheral});
    CommandLink link(*bus, c.peripheral);
    const auto& fw = *bus->firmware(c.peripheral);
    const std::uint8_t data[] = {0xAB};
    ASSERT_TRUE(bus->injectFault(c.peripheral, c.kind, 2));

    auto first = link.send(report::kBeginConfig);
    auto second = link.send(report::kWriteParams, 1, 1, data);

    ASSERT_TRUE(first);
    EXPECT_EQ((*first)[report::kStatus], kOk);
    const bool written = fw.setting(0, 1) == 0xAB;
    switch (c.kind) {
        case FaultKind::NoAnswer:
            EXPECT_FALSE(second);
            EXPECT_EQ(link.writeStatus(), IoStatus::Ok);
            EXPECT_TRUE(written);  // taken, just not answered
            break;
        case FaultKind::WrongEcho:
            ASSERT_TRUE(second);
            EXPECT_NE((*second)[report::kCommand], report::kWriteParams);
            EXPECT_NE((*second)[report::kCommand], report::kIsPeripheralOnline);
            break;
        case FaultKind::StatusFE:
        case FaultKind::StatusFF:
            ASSERT_TRUE(second);
            EXPECT_EQ((*second)[report::kCommand], report::kWriteParams);
            EXPECT_EQ((*second)[report::kStatus], c.kind == FaultKind::StatusFE ? kFE : kFF);
            EXPECT_FALSE(written);
            break;
        case FaultKind::Unplug:
            EXPECT_FALSE(second);
            EXPECT_EQ(link.writeStatus(), IoStatus::Failed);
            EXPECT_FALSE(bus->isPlugged(c.peripheral));
            EXPECT_FALSE(written);
            break;
        case FaultKind::PowerOff:
            ASSERT_TRUE(second);
            EXPECT_EQ((*second)[report::kCommand], report::kIsPeripheralOnline);
            EXPECT_EQ((*link.send(report::kIsPeripheralOnline))[report::kData], 0x00);
            EXPECT_FALSE(written);
            break;
    }
    // A fault strikes once.
    if (bus->isPlugged(c.peripheral) && c.kind != FaultKind::PowerOff) {
        EXPECT_EQ((*link.send(report::kEndConfig))[report::kStatus], kOk);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, Faults,
                         ::testing::Values(FaultCase{"NoAnswer", "keyboard", FaultKind::NoAnswer},
                                           FaultCase{"WrongEcho", "keyboard", FaultKind::WrongEcho},
                                           FaultCase{"StatusFE", "keyboard", FaultKind::StatusFE},
                                           FaultCase{"StatusFF", "keyboard", FaultKind::StatusFF},
                                           FaultCase{"Unplug", "mouse", FaultKind::Unplug},
                                           FaultCase{"PowerOff", "mouse-receiver",
                                                     FaultKind::PowerOff}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(VirtualPeripherals, PowerOffFaultNeedsAReceiver) {
    auto bus = virtualBus({"keyboard"});
    EXPECT_FALSE(bus->injectFault("keyboard", FaultKind::PowerOff));
    EXPECT_FALSE(bus->injectFault("keyboard", FaultKind::NoAnswer, 0));
    EXPECT_FALSE(bus->injectFault("trackball", FaultKind::NoAnswer));
}

// --- Presence and I/O ----------------------------------------------------------------------

TEST(VirtualPeripherals, UnplugFailsEveryConnectionAndReleasesABlockedReader) {
    auto bus = virtualBus({"keyboard"});
    CommandLink link(*bus, "keyboard");
    const std::string eventPath = emu::VirtualBus::eventPath("keyboard");
    std::unique_ptr<hid::HidConnection> events;
    hid::InterfaceInfo info;
    ASSERT_EQ(bus->open(eventPath, true, false, events, info), 0);

    IoStatus blocked = IoStatus::Ok;
    std::thread reader([&] {
        report::Report buffer{};
        std::size_t got = 0;
        blocked = events->read(buffer, -1, got);
    });
    ASSERT_TRUE(bus->unplug("keyboard"));
    reader.join();

    EXPECT_EQ(blocked, IoStatus::Failed);
    EXPECT_FALSE(link.send(report::kBeginConfig));
    EXPECT_EQ(link.writeStatus(), IoStatus::Failed);
    EXPECT_FALSE(bus->exists(eventPath));
    EXPECT_FALSE(bus->exists(emu::VirtualBus::commandPath("keyboard")));
    std::unique_ptr<hid::HidConnection> again;
    EXPECT_EQ(bus->open(eventPath, true, false, again, info), ENOENT);
}

TEST(VirtualPeripherals, AbortReleasesAReaderAndSticks) {
    auto bus = virtualBus({"mousepad"});
    CommandLink link(*bus, "mousepad");
    IoStatus blocked = IoStatus::Ok;
    std::thread reader([&] {
        report::Report buffer{};
        std::size_t got = 0;
        blocked = link.connection().read(buffer, -1, got);
    });
    link.connection().abort();
    reader.join();

    EXPECT_EQ(blocked, IoStatus::Aborted);
    std::size_t written = 0;
    const auto request = report::encodeRequest(report::kBeginConfig, 0, 0);
    EXPECT_EQ(link.connection().write(request, 0, written), IoStatus::Aborted);
}

TEST(VirtualPeripherals, EventsReachEveryReaderOfTheInterface) {
    auto bus = virtualBus({"mouse"});
    std::unique_ptr<hid::HidConnection> events;
    hid::InterfaceInfo info;
    ASSERT_EQ(bus->open(emu::VirtualBus::eventPath("mouse"), true, false, events, info), 0);
    EXPECT_EQ(info.collection, 3);

    ASSERT_TRUE(bus->emitEvent("mouse", 0x0401));
    report::Report buffer{};
    std::size_t got = 0;
    ASSERT_EQ(events->read(buffer, 0, got), IoStatus::Ok);
    EXPECT_EQ(std::vector(buffer.begin(), buffer.begin() + got),
              (std::vector<std::uint8_t>{3, 0x01, 0x04}));
    EXPECT_FALSE(bus->emitEvent("headset", 0x0401));  // no event collection
}

// An event reader blocks on the event collection while commands go to the command collection of
// the same interface; it sees the answers too (the host filters by collection) and then the event.
TEST(VirtualPeripherals, EventReaderAndCommandsRunAtOnce) {
    auto bus = virtualBus({"keyboard"});
    CommandLink link(*bus, "keyboard");
    std::unique_ptr<hid::HidConnection> events;
    hid::InterfaceInfo info;
    ASSERT_EQ(bus->open(emu::VirtualBus::eventPath("keyboard"), true, false, events, info), 0);

    std::uint16_t code = 0;
    std::thread reader([&] {
        report::Report buffer{};
        std::size_t got = 0;
        while (events->read(buffer, -1, got) == IoStatus::Ok) {
            if (buffer[0] != 3)
                continue;
            code = static_cast<std::uint16_t>(buffer[1] | buffer[2] << 8);
            return;
        }
    });
    int answered = 0;
    for (int i = 0; i < 100; ++i)
        answered += link.readArea(report::kReadParams, 55).size() == 55;
    bus->emitEvent("keyboard", 0x1023);
    reader.join();

    EXPECT_EQ(answered, 100);
    EXPECT_EQ(code, 0x1023);
}

TEST(VirtualPeripherals, AReaderThatFallsBehindKeepsTheNewestReports) {
    auto bus = virtualBus({"keyboard"});
    std::unique_ptr<hid::HidConnection> events;
    hid::InterfaceInfo info;
    ASSERT_EQ(bus->open(emu::VirtualBus::eventPath("keyboard"), true, false, events, info), 0);
    for (std::uint16_t code = 0; code < 70; ++code)
        bus->emitEvent("keyboard", code);

    std::vector<std::uint16_t> codes;
    report::Report buffer{};
    std::size_t got = 0;
    while (events->read(buffer, 0, got) == IoStatus::Ok)
        codes.push_back(static_cast<std::uint16_t>(buffer[1] | buffer[2] << 8));

    ASSERT_EQ(codes.size(), 64u);
    EXPECT_EQ(codes.front(), 6);
    EXPECT_EQ(codes.back(), 69);
}

TEST(VirtualPeripherals, EachReportCostsTheTimingModelOnTheBusClock) {
    FakeClock clock;
    emu::VirtualBus::Options options;
    options.clock = &clock;
    options.timing = {std::chrono::microseconds(1000), std::chrono::microseconds(1000)};
    emu::VirtualBus bus(options);
    bus.plug("keyboard");
    CommandLink link(bus, "keyboard");
    const auto start = clock.now();

    EXPECT_FALSE(link.nextAnswer(0));  // nothing yet, and nothing waits
    auto answer = link.exchange(report::encodeRequest(report::kBeginConfig, 0, 0), 5);

    ASSERT_TRUE(answer);
    EXPECT_EQ(clock.now() - start, std::chrono::milliseconds(2));
    EXPECT_FALSE(link.nextAnswer(250));  // a time-out on an empty queue moves the fake clock
    EXPECT_EQ(clock.now() - start, std::chrono::milliseconds(252));
}

TEST(VirtualPeripherals, DefaultTimingWorksOnTheRealClock) {
    emu::VirtualBus bus({});
    bus.plug("headset");
    CommandLink link(bus, "headset");

    auto answer = link.exchange(report::encodeRequest(report::kReadStatus, 6, 0), 1000);

    ASSERT_TRUE(answer);
    EXPECT_EQ((*answer)[report::kData], 100);  // battery level
    EXPECT_FALSE(link.nextAnswer(5));
}

// --- Identity ------------------------------------------------------------------------------

TEST(VirtualPeripherals, EnumerateListsTheDefaultSet) {
    std::vector<std::string> names;
    std::string error;
    ASSERT_TRUE(emu::parsePeripheralList("", names, error));
    emu::VirtualBus bus({});
    for (const auto& name : names)
        bus.plug(name);

    std::vector<std::string> paths;
    ASSERT_TRUE(bus.enumerate(paths));

    EXPECT_EQ(paths, (std::vector<std::string>{
                         "virtual:keyboard#vid_320f&pid_5055&mi_00",
                         "virtual:keyboard#vid_320f&pid_5055&mi_01&col01",
                         "virtual:keyboard#vid_320f&pid_5055&mi_01&col02",
                         "virtual:keyboard#vid_320f&pid_5055&mi_01&col03",
                         "virtual:keyboard#vid_320f&pid_5055&mi_01&col04",
                         "virtual:mouse#vid_320f&pid_50a1&mi_00",
                         "virtual:mouse#vid_320f&pid_50a1&mi_01&col01",
                         "virtual:mouse#vid_320f&pid_50a1&mi_01&col02",
                         "virtual:mouse#vid_320f&pid_50a1&mi_01&col03",
                         "virtual:mouse#vid_320f&pid_50a1&mi_01&col04",
                         "virtual:mousepad#vid_320f&pid_50a3&mi_01&col01",
                         "virtual:mousepad#vid_320f&pid_50a3&mi_01&col02",
                         "virtual:mousepad#vid_320f&pid_50a3&mi_01&col03",
                         "virtual:mousepad#vid_320f&pid_50a3&mi_01&col04",
                         "virtual:headset#vid_0c76&pid_6533&mi_03",
                     }));
    EXPECT_EQ(emu::VirtualBus::commandPath("keyboard"),
              "virtual:keyboard#vid_320f&pid_5055&mi_01&col04");
}

// Every row of the virtual supported-interface table is present, and its collection parses
// with the row's usage page and usage: 64-byte reports on the command collection, one 16-bit
// array input on the event collection.
TEST(VirtualPeripherals, EveryTableRowOpensAsTheCollectionItNames) {
    auto bus = virtualBus(
        {"keyboard", "keyboard-receiver", "mouse", "mouse-receiver", "mousepad", "headset"});
    std::vector<std::string> paths;
    bus->enumerate(paths);
    const std::map<std::uint16_t, std::string> nodes = {
        {DEVICE_KEYBOARD, "virtual:keyboard"}, {DEVICE_KEYBOARD_24G, "virtual:keyboard-receiver"},
        {DEVICE_MOUSE, "virtual:mouse"},       {DEVICE_MOUSE_24G, "virtual:mouse-receiver"},
        {DEVICE_MOUSEPAD, "virtual:mousepad"}, {DEVICE_HEADSET, "virtual:headset"}};

    for (const UsbInterfaceRecord& row : virtualTables().Interfaces) {
        const std::string path = makeInterfacePath(nodes.at(row.Kind), row.VendorId, row.ProductId,
                                                   row.InterfaceNumber, row.CollectionNumber);
        SCOPED_TRACE(path);
        ASSERT_NE(std::find(paths.begin(), paths.end(), path), paths.end());
        std::unique_ptr<hid::HidConnection> connection;
        hid::InterfaceInfo info;
        ASSERT_EQ(bus->open(path, true, true, connection, info), 0);
        EXPECT_EQ(info.collection, row.CollectionNumber);
        std::vector<hid::Collection> collections;
        ASSERT_TRUE(hid::parseReportDescriptor(info.reportDescriptor, collections));
        const hid::Collection& c = collections.at(std::max(info.collection, 1) - 1);
        EXPECT_EQ(c.usagePage, row.UsagePage);
        EXPECT_EQ(c.usage, row.Usage);
        if (row.Role == ROLE_COMMAND) {
            EXPECT_EQ(c.caps.InputReportByteLength, 64);
            EXPECT_GE(c.caps.OutputReportByteLength, 64);
            EXPECT_TRUE(c.ownsInputReport(report::kReportId));
        } else {
            ASSERT_EQ(c.valueCaps[0].size() + c.buttonCaps[0].size(), 1u);
            EXPECT_TRUE(c.ownsInputReport(3));
            EXPECT_EQ(c.caps.InputReportByteLength, 3);
        }
    }
}

TEST(VirtualPeripherals, EveryInterfaceDescriptorParses) {
    auto bus = virtualBus({"keyboard", "mouse", "mousepad", "headset"});
    std::vector<std::string> paths;
    bus->enumerate(paths);
    for (const std::string& path : paths) {
        std::unique_ptr<hid::HidConnection> connection;
        hid::InterfaceInfo info;
        ASSERT_EQ(bus->open(path, false, false, connection, info), 0) << path;
        std::vector<hid::Collection> collections;
        EXPECT_TRUE(hid::parseReportDescriptor(info.reportDescriptor, collections)) << path;
        EXPECT_EQ(collections.size(), info.collection == 0 ? 1u : 4u) << path;
    }
}

// --- Factory memory ------------------------------------------------------------------------

TEST(VirtualPeripherals, KeyboardKeyTableHoldsEveryCodeOnceOutOfPictureOrder) {
    auto bus = virtualBus({});
    const auto& kb = *bus->firmware("keyboard");
    const auto codes = kb.area(Area::KeyCodes);
    const std::size_t keys = kb.deviceInfo().keyCount;
    ASSERT_EQ(codes.size(), keys * 3);
    ASSERT_LE(codes.size(), 512u);
    auto code = [&](std::size_t k) {
        return codes[3 * k] << 16 | codes[3 * k + 1] << 8 | codes[3 * k + 2];
    };
    std::set<int> distinct;
    for (std::size_t k = 0; k < keys; ++k)
        distinct.insert(code(k));
    EXPECT_EQ(distinct.size(), keys);
    EXPECT_EQ(distinct.count(0x200000), 0u);  // no empty key

    // Keys of the picture in position order: Esc, F1, `, Tab, Caps Lock, Left Shift, Left Ctrl,
    // GM, FN, M5. Their device keys come in another order.
    const int pictureOrder[] = {0x200029, 0x20003A, 0x200035, 0x20002B, 0x200039,
                                0x200200, 0x200100, 0xA01B00, 0xA00100, 0xD0A205};
    std::vector<std::size_t> deviceKeys;
    for (int wanted : pictureOrder) {
        std::size_t k = 0;
        while (k < keys && code(k) != wanted)
            ++k;
        ASSERT_LT(k, keys) << std::hex << wanted;
        deviceKeys.push_back(k);
    }
    EXPECT_FALSE(std::is_sorted(deviceKeys.begin(), deviceKeys.end()));

    // Every LED index is a frame position or 255 (no LED); some keys have none.
    const auto leds = kb.area(Area::KeyBytes);
    ASSERT_EQ(leds.size(), keys);
    EXPECT_TRUE(std::all_of(leds.begin(), leds.end(),
                            [&](std::uint8_t led) { return led == 255 || led < keys; }));
    EXPECT_NE(std::count(leds.begin(), leds.end(), 255), 0);
}

TEST(VirtualPeripherals, MouseStepScaleTopsOutAt26000) {
    auto bus = virtualBus({});
    const emu::DeviceInfo info = bus->firmware("mouse")->deviceInfo();
    ASSERT_EQ(info.sensorId, 0x3325);
    const int knee = 48 * info.step + info.lowestResolution;
    EXPECT_EQ(knee, 5000);  // where the second slope of 200 per step starts
    EXPECT_EQ(knee + (info.highestStep - 48) * 200, 26000);
    EXPECT_GE(info.keyCount, 8);
    EXPECT_LE(info.keyCount, 11);
}

// --- Lighting ------------------------------------------------------------------------------

struct FrameCase {
    const char* peripheral;
    std::size_t frameBytes;  // 0: the device's own frame length
    std::size_t chunk;
};

class LightFrames : public ::testing::TestWithParam<FrameCase> {};

TEST_P(LightFrames, CompleteWithTheChunkThatCoversTheLastByte) {
    const FrameCase& c = GetParam();
    FakeClock clock;
    auto bus = virtualBus({c.peripheral}, &clock);
    CommandLink link(*bus, c.peripheral);
    const auto& fw = *bus->firmware(c.peripheral);
    const std::size_t size = c.frameBytes != 0 ? c.frameBytes : fw.frameLength();
    std::vector<Clock::time_point> sent;

    link.send(report::kStartHostLighting);
    for (std::uint8_t seed : {5, 9}) {
        const auto frame = pattern(size, seed);
        for (std::size_t at = 0; at < size; at += c.chunk) {
            const auto length = static_cast<std::uint8_t>(std::min(c.chunk, size - at));
            auto answer = link.send(report::kSendLightFrame, length, static_cast<std::uint16_t>(at),
                                    std::span(frame).subspan(at, length));
            ASSERT_EQ((*answer)[report::kStatus], kOk);
            if (at < fw.frameLength() && at + length >= fw.frameLength())
                sent.push_back(clock.now());
        }
        clock.advance(std::chrono::milliseconds(10));
    }

    EXPECT_EQ(fw.counters().hostLightingStarts, 1u);
    EXPECT_EQ(fw.frameCount(), 2u);
    EXPECT_EQ(fw.frameTimes(), sent);
    const auto last = pattern(size, 9);
    EXPECT_EQ(fw.lastFrame(), std::vector(last.begin(), last.begin() + fw.frameLength()));
}

INSTANTIATE_TEST_SUITE_P(Sizes, LightFrames,
                         ::testing::Values(FrameCase{"keyboard-receiver", 0, 24},
                                           FrameCase{"keyboard", 170 * 3, 56},
                                           FrameCase{"mouse", 0, 56},
                                           FrameCase{"mousepad", 0, 24}));

TEST(VirtualPeripherals, HeadsetFrameArrivesAsTwelveOutputReports) {
    auto bus = virtualBus({"headset"});
    std::unique_ptr<hid::HidConnection> connection;
    hid::InterfaceInfo info;
    ASSERT_EQ(bus->open(emu::VirtualBus::commandPath("headset"), false, true, connection, info), 0);
    // LED i has red i, green 100 + i, blue 200 + i.
    std::vector<std::uint8_t> expected(emu::kHeadsetFrameLength);
    for (std::size_t i = 0; i < emu::kHeadsetLedCount; ++i)
        for (std::size_t c = 0; c < 3; ++c)
            expected[3 * i + c] = static_cast<std::uint8_t>(100 * c + i);

    for (std::uint8_t channel = 0; channel < 3; ++channel) {
        for (std::uint8_t group : {0x22, 0x44}) {
            for (bool upper : {false, true}) {
                std::array<std::uint8_t, 17> out{
                    0xFF, group, static_cast<std::uint8_t>(0xAA + channel + (upper ? 3 : 0))};
                const std::size_t first = upper ? 7 : 0;
                for (std::size_t i = 0; i < (upper ? 6u : 7u); ++i)
                    out[4 + i] = expected[3 * (first + i) + channel];
                std::size_t written = 0;
                ASSERT_EQ(connection->write(out, 100, written), IoStatus::Ok);
            }
        }
    }

    EXPECT_EQ(bus->firmware("headset")->frameCount(), 1u);
    EXPECT_EQ(bus->firmware("headset")->lastFrame(), expected);
}

// --- Device-side changes and persistence ---------------------------------------------------

TEST(VirtualPeripherals, ProfileSwitchedOnTheDeviceReadsBack) {
    auto bus = virtualBus({"mousepad"});
    CommandLink link(*bus, "mousepad");
    auto& pad = *bus->firmware("mousepad");

    ASSERT_TRUE(pad.setActiveProfile(2));
    ASSERT_TRUE(pad.setSetting(2, 1, 7));
    EXPECT_FALSE(pad.setActiveProfile(4));

    EXPECT_EQ((*link.send(report::kReadParams, 1, 0))[report::kData], 2);
    EXPECT_EQ((*link.send(report::kReadParams, 2, 2 * 64))[report::kData + 1], 7);
}

TEST(VirtualPeripherals, MemoryPersistsAcrossBusesAndResetRestoresTheFactory) {
    TempDir dir;
    const auto macro = pattern(56, 0x40);
    {
        auto bus = virtualBus({"keyboard"}, nullptr, dir.path.string());
        CommandLink link(*bus, "keyboard");
        ASSERT_EQ((*link.send(report::kWriteMacroData, 56, 112, macro))[report::kStatus], kOk);
    }
    ASSERT_TRUE(fs::exists(dir.path / "keyboard.json"));

    auto bus = virtualBus({"keyboard"}, nullptr, dir.path.string());
    const auto stored = bus->firmware("keyboard")->area(Area::Macro);
    EXPECT_TRUE(std::equal(macro.begin(), macro.end(), stored.begin() + 112));

    ASSERT_TRUE(bus->resetState());
    EXPECT_FALSE(fs::exists(dir.path / "keyboard.json"));
    EXPECT_EQ(bus->firmware("keyboard")->memory(), bus->firmware("keyboard")->factoryMemory());
}

TEST(VirtualPeripherals, UnparsableStateIsKeptAsideForFactoryMemory) {
    TempDir dir;
    fs::create_directories(dir.path);
    for (const char* text : {"{ not json", R"({"firmware": "keyboard", "params": "00ff"})"}) {
        SCOPED_TRACE(text);
        std::ofstream(dir.path / "keyboard.json") << text;
        fs::remove(dir.path / "keyboard.json.bad");

        emu::VirtualBus::Options options;
        options.stateDir = dir.path.string();
        auto bus = std::make_unique<emu::VirtualBus>(options);

        EXPECT_EQ(bus->firmware("keyboard")->memory(), bus->firmware("keyboard")->factoryMemory());
        EXPECT_TRUE(fs::exists(dir.path / "keyboard.json.bad"));
        std::ifstream aside(dir.path / "keyboard.json.bad");
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(aside), {}), text);
    }
}

TEST(VirtualPeripherals, StateFileAreasAreHexOrNumbersOfTheFactorySize) {
    emu::FirmwareMemory factory;
    factory[Area::Params] = {0, 0, 0};
    factory[Area::Status] = {100, 0};
    const emu::FirmwareMemory changed = [&] {
        emu::FirmwareMemory memory = factory;
        memory[Area::Params] = {1, 0xAB, 0xFF};
        return memory;
    }();

    Json::Value root = emu::encodeFirmwareState("mousepad", changed);
    EXPECT_EQ(root["params"].asString(), "01abff");
    EXPECT_FALSE(root.isMember("keyCodes"));  // no such memory
    emu::FirmwareMemory memory;
    EXPECT_TRUE(emu::decodeFirmwareState(root, factory, memory));
    EXPECT_EQ(memory, changed);

    Json::Value numbers(Json::objectValue);
    for (int b : {1, 0xAB, 0xFF})
        numbers["params"].append(b);
    EXPECT_TRUE(emu::decodeFirmwareState(numbers, factory, memory));
    EXPECT_EQ(memory, changed);  // the status block was absent: factory bytes

    for (const char* bad : {"01ab", "01abfg", "01abff00"}) {
        Json::Value wrong(Json::objectValue);
        wrong["params"] = bad;
        EXPECT_FALSE(emu::decodeFirmwareState(wrong, factory, memory)) << bad;
    }
    numbers["params"][1] = 256;
    EXPECT_FALSE(emu::decodeFirmwareState(numbers, factory, memory));
}

TEST(VirtualPeripherals, InfoBlockLaysOutTheStepScaleLittleEndian) {
    emu::DeviceInfo info;
    info.keyCount = 10;
    info.macroUnits = 16;
    info.sensorId = 0x3325;
    info.step = 100;
    info.highestStep = 153;
    info.lowestResolution = 200;
    info.modelName = "M1";

    const emu::InfoBlock block = emu::encodeDeviceInfo(info);

    EXPECT_EQ(block[5], 10);
    EXPECT_EQ(block[6], 16);
    const std::uint8_t scale[] = {0x25, 0x33, 100, 153, 0, 200, 0};
    EXPECT_TRUE(std::equal(std::begin(scale), std::end(scale), block.begin() + 9));
    EXPECT_EQ(emu::decodeDeviceInfo(block), info);
}

// --- Selection helpers ---------------------------------------------------------------------

TEST(VirtualPeripherals, PeripheralListsAndFaultNamesParse) {
    std::vector<std::string> names;
    std::string error;
    EXPECT_TRUE(emu::parsePeripheralList("keyboard-receiver, mouse", names, error));
    EXPECT_EQ(names, (std::vector<std::string>{"keyboard-receiver", "mouse"}));
    EXPECT_FALSE(emu::parsePeripheralList("keyboard,trackball", names, error));
    EXPECT_NE(error.find("trackball"), std::string::npos);

    const std::pair<const char*, FaultKind> faults[] = {
        {"no-answer", FaultKind::NoAnswer}, {"wrong-echo", FaultKind::WrongEcho},
        {"status-fe", FaultKind::StatusFE}, {"status-ff", FaultKind::StatusFF},
        {"unplug", FaultKind::Unplug},      {"power-off", FaultKind::PowerOff}};
    for (const auto& [text, expected] : faults) {
        FaultKind kind{};
        EXPECT_TRUE(emu::parseFaultKind(text, kind)) << text;
        EXPECT_EQ(kind, expected) << text;
    }
    FaultKind kind{};
    EXPECT_FALSE(emu::parseFaultKind("explode", kind));
}

}  // namespace
}  // namespace qm
