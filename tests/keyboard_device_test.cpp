// The keyboard device object against the virtual keyboard (and, where the device must answer
// what no keyboard does, the scripted fake): attach, settings read-back and writes, the key
// table with its macro renumbering, failures, and the event codes.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "device/hid/supported_interfaces.h"
#include "device/model/dispatcher.h"
#include "device/model/keyboard_device.h"
#include "device/model/peripheral_devices.h"
#include "emulator/firmware_memory.h"
#include "emulator/peripheral.h"
#include "emulator/virtual_bus.h"
#include "fake_hid.h"
#include "platform/data_paths.h"
#include "profile/json_file.h"

namespace {

namespace fs = std::filesystem;
using namespace qm;
using emu::Area;
using emu::FaultKind;

std::string makeRoot() {
    char pattern[] = "/tmp/qm-keyboard-XXXXXX";
    return mkdtemp(pattern) != nullptr ? pattern : "";
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A device object set up as the device manager does, on any backend.
class KeyboardFixture : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(m_Root.empty()); }
    void TearDown() override { fs::remove_all(m_Root); }

    template <typename Device = CTessarinKeyboardDevice>
    std::unique_ptr<Device> makeDevice(hid::HidBackend& backend,
                                       const UsbInterfaceRecord& slot = g_SupportedInterfaces[0]) {
        m_Context = std::make_unique<DeviceContext>(
            DeviceContext{backend, m_Loop, m_Clock, defaultDataFolder(), m_Root + "/"});
        auto device = std::make_unique<Device>(*m_Context);
        device->SetPageLayout("XML\\DeviceXml\\keyboarddevice.xml");
        device->SetKeyCount(170);
        device->SetLedCount(170);
        device->SetDeviceName("keyboard");
        device->BindSlot(slot);
        device->SetLightConfigName("velto_light");
        device->InitPage();
        return device;
    }

    void writeMacroConfig(int macros) {
        Json::Value document;
        Json::Value& list = document["MacroInfo"] = Json::Value(Json::arrayValue);
        for (int i = 0; i < macros; ++i) {
            Json::Value macro;
            macro["MacroName"] = "macro_" + std::to_string(i);
            macro["Guid"] = "2024_01_01_00_00_00_00" + std::to_string(i);
            list.append(macro);
        }
        ASSERT_EQ(SaveJsonDocument(m_Root + "/keyboard/macro.config", document), 0);
    }

    // Runs the UI thread's work until done() holds; the event readers are real threads.
    template <typename Done>
    bool runUntil(Done done) {
        for (int i = 0; i < 5000 && !done(); ++i) {
            m_Loop.runDue();
            if (!done())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return done();
    }

    void advance(std::chrono::milliseconds time) {
        m_Clock.advance(time);
        m_Loop.runDue();
    }

    std::string m_Root = makeRoot();
    FakeClock m_Clock;
    LoopDispatcher m_Loop{m_Clock};
    std::unique_ptr<DeviceContext> m_Context;
};

// The virtual keyboard on its cable, attached.
class VirtualKeyboard : public KeyboardFixture {
protected:
    void SetUp() override {
        KeyboardFixture::SetUp();
        ASSERT_TRUE(m_Bus.plug("keyboard"));
        m_Keyboard = makeDevice(m_Bus);
        ASSERT_EQ(m_Keyboard->Transport().OpenCommandInterface(
                      emu::VirtualBus::commandPath("keyboard"), kModeCable),
                  0);
        m_Keyboard->OnAttached();
        m_Loop.runDue();
    }
    void TearDown() override {
        m_Keyboard.reset();
        KeyboardFixture::TearDown();
    }

    emu::Peripheral& firmware() { return *m_Bus.firmware("keyboard"); }
    std::uint8_t deviceSetting(std::size_t byte) { return firmware().setting(0, byte); }
    PositionKeyCode deviceKeyAt(int position) {
        const std::vector<std::uint8_t> codes = firmware().area(Area::KeyCodes);
        const std::size_t at = std::size_t{m_Keyboard->KeyPositionMap()[position]} * 3;
        return {codes[at], codes[at + 1], codes[at + 2]};
    }
    std::string profileFile() { return m_Keyboard->ProfileData().GetProfilePath(); }

    emu::VirtualBus m_Bus{emu::VirtualBus::Options{{}, {{}, {}}, &m_Clock}};
    std::unique_ptr<CTessarinKeyboardDevice> m_Keyboard;
};

TEST_F(VirtualKeyboard, AttachMapsEveryKeyAndReadsTheSettingsBack) {
    ASSERT_TRUE(m_Keyboard->LayoutValid());
    const std::vector<std::uint8_t> leds = firmware().area(Area::KeyBytes);
    EXPECT_EQ(m_Keyboard->DeviceKeyCount(), static_cast<int>(leds.size()));
    int mapped = 0;
    for (int p = 0; p < static_cast<int>(kLayoutPositions); ++p) {
        const std::uint8_t key = m_Keyboard->KeyPositionMap()[p];
        if (keyPositionTable()[p] == kEmptyKeyCode) {
            EXPECT_EQ(key, kNoPosition) << p;  // the virtual keyboard has no empty key
            continue;
        }
        ASSERT_NE(key, kNoPosition) << p;
        ++mapped;
        EXPECT_EQ(deviceKeyAt(p), keyPositionTable()[p]) << p;
        const std::uint8_t expectedLed =
            key == kDeviceKeyWithoutLed || leds[key] >= 170 ? kNoPosition : leds[key];
        EXPECT_EQ(m_Keyboard->LedPositionMap()[p], expectedLed) << p;
    }
    EXPECT_EQ(mapped, m_Keyboard->DeviceKeyCount());

    // The factory block of slot 0: brightness 4, speed byte 2, polling rate byte 3 (not read).
    EXPECT_EQ(m_Keyboard->ActiveSlot(), 0);
    EXPECT_EQ(m_Keyboard->GetLightInfo().Light, 4);
    EXPECT_EQ(m_Keyboard->GetLightInfo().Speed, 2);
    const Json::Value saved = LoadJsonDocument(profileFile());
    EXPECT_EQ(saved["Device"][0]["LightInfo"]["Light"].asInt(), 4);
}

TEST_F(VirtualKeyboard, MacroReferencesAreRenumberedInTheirOrderOfUse) {
    writeMacroConfig(7);  // macros 0-6
    const std::uint8_t play = kKeyTypeMacroPlay;
    struct Case {
        int position;
        PositionKeyCode assigned;
        PositionKeyCode sent;
    };
    const Case cases[] = {
        {1, {play, 5, 1}, {play, 0, 1}},
        {2, {play, 2, 1}, {play, 1, 1}},
        {3, {play, 5, 2}, {play, 0, 2}},
        {4, {play, 7, 1}, keyPositionTable()[4]},  // no macro 7: the default goes out
        {5, {kKeyTypeMacroRepeat, 6, 3}, {kKeyTypeMacroRepeat, 2, 3}},
        {6, {0x20, 0x01, 0x04}, {0x20, 0x01, 0x04}},  // Ctrl+A, as it is
    };
    for (const Case& c : cases)
        ASSERT_EQ(m_Keyboard->SetKeyAssignment(c.position, c.assigned), kResultOk);

    EXPECT_EQ(m_Keyboard->UsedMacroList(), (std::vector<int>{5, 2, 6}));
    EXPECT_EQ(m_Keyboard->WriteKeyTable(0), kResultOk);
    for (const Case& c : cases) {
        EXPECT_EQ(deviceKeyAt(c.position), c.sent) << "position " << c.position;
        // The profile keeps the user's macro numbers.
        EXPECT_EQ(m_Keyboard->KeyAssignments()[c.position].current.b1, c.assigned.b1);
    }
    // Untouched keys keep their own codes.
    EXPECT_EQ(deviceKeyAt(0), keyPositionTable()[0]);
}

TEST_F(VirtualKeyboard, CheckMacroReferencesRestoresKeysOfMissingMacros) {
    writeMacroConfig(2);
    ASSERT_EQ(m_Keyboard->SetKeyAssignment(10, {kKeyTypeMacroPlay, 1, 0}), kResultOk);
    ASSERT_EQ(m_Keyboard->SetKeyAssignment(11, {kKeyTypeMacroPlay, 2, 0}), kResultOk);
    m_Keyboard->CheckMacroReferences();
    EXPECT_EQ(m_Keyboard->KeyAssignments()[10].current.type, kKeyTypeMacroPlay);
    EXPECT_EQ(m_Keyboard->KeyAssignments()[11].current, m_Keyboard->KeyAssignments()[11].defaults);
    const Json::Value saved = LoadJsonDocument(profileFile());
    EXPECT_EQ(saved["Device"][0]["KeyList"][11]["Assignment"].asInt(),
              saved["Device"][0]["KeyList"][11]["DefaultAssignment"].asInt());
}

TEST_F(VirtualKeyboard, SettingsAreCheckedSavedAndWritten) {
    struct Case {
        KeyboardSetting setting;
        int value;
        int result;
        int byte;  // in the device's slot 0, -1 for a setting no command carries
        int sent;
    };
    const Case cases[] = {
        {KeyboardSetting::WinFlag, 1, kResultOk, 21, 1},
        {KeyboardSetting::WFlag, 1, kResultOk, 19, 1},
        {KeyboardSetting::Key6Flag, 1, kResultOk, 20, 1},
        {KeyboardSetting::PollingRate, 1, kResultOk, 22, 1},
        {KeyboardSetting::PollingRate, 4, kResultInvalidParam, 22, 1},
        {KeyboardSetting::Speed, 1, kResultOk, 3, 3},
        {KeyboardSetting::Repeat, 20, kResultOk, -1, 0},
        {KeyboardSetting::RepeatDelay, 2, kResultOk, -1, 0},
        {KeyboardSetting::RepeatDelay, 4, kResultInvalidParam, -1, 0},
        {KeyboardSetting::WinFlag, -1, kResultInvalidParam, 21, 1},
    };
    for (const Case& c : cases) {
        const std::uint64_t begins = firmware().counters().begins;
        const int before = m_Keyboard->GetSetting(c.setting);
        EXPECT_EQ(m_Keyboard->SetSetting(c.setting, c.value), c.result)
            << keyboardSettingInfo(c.setting).name << " " << c.value;
        const bool applied = c.result == kResultOk;
        EXPECT_EQ(m_Keyboard->GetSetting(c.setting), applied ? c.value : before);
        if (c.byte >= 0) {
            EXPECT_EQ(deviceSetting(static_cast<std::size_t>(c.byte)), c.sent)
                << keyboardSettingInfo(c.setting).name;
        }
        // Only a valid change of a setting the device keeps is written.
        EXPECT_EQ(firmware().counters().begins - begins, applied && c.byte >= 0 ? 1u : 0u);
    }
    const Json::Value stages = LoadJsonDocument(profileFile())["Device"][0]["SystemStages"];
    EXPECT_EQ(stages["Repeat"].asInt(), 20);
    EXPECT_EQ(stages["RepeatDelay"].asInt(), 2);
    EXPECT_EQ(stages["WinFlag"].asInt(), 1);

    EXPECT_EQ(m_Keyboard->ResetRepeatSettings(), kResultOk);  // the factory profile's 31 and 1
    EXPECT_EQ(m_Keyboard->GetSetting(KeyboardSetting::Repeat), 31);
    EXPECT_EQ(m_Keyboard->GetSetting(KeyboardSetting::RepeatDelay), 1);
    EXPECT_EQ(m_Keyboard->GetSetting(KeyboardSetting::WinFlag), 1);
}

TEST_F(VirtualKeyboard, WriteFailuresAreReportedAndEndStillFollows) {
    struct Case {
        const char* what;
        int nth;  // the failing report: 1 begin, 2 the write (after 0x03 for the key table)
        FaultKind fault;
        bool keyTable;
        int result;
    };
    const Case cases[] = {
        {"settings block write", 2, FaultKind::StatusFE, false, kResultStatusBusy},
        {"settings begin", 1, FaultKind::StatusFF, false, kResultStatusError},
        {"key table write", 3, FaultKind::StatusFE, true, kResultStatusBusy},
        {"key table information block", 1, FaultKind::StatusFE, true, kResultStatusBusy},
    };
    for (const Case& c : cases) {
        const emu::Peripheral::Counters before = firmware().counters();
        ASSERT_TRUE(m_Bus.injectFault("keyboard", c.fault, c.nth));
        const int result =
            c.keyTable ? m_Keyboard->WriteKeyTable(0) : m_Keyboard->WriteParameters(0, 0);
        EXPECT_EQ(result, c.result) << c.what;
        const emu::Peripheral::Counters after = firmware().counters();
        EXPECT_FALSE(after.configOpen) << c.what;
        const bool beganAtAll = !(c.keyTable && c.nth == 1);
        EXPECT_EQ(after.ends - before.ends, beganAtAll ? 1u : 0u) << c.what;
    }
    EXPECT_EQ(m_Keyboard->WriteKeyTable(1), kResultInvalidParam);  // bank 1: nothing sent
    EXPECT_FALSE(firmware().counters().configOpen);
}

TEST_F(VirtualKeyboard, AFailedReadBackChangesNothing) {
    const std::string fileBefore = readFile(profileFile());
    const KeyboardSettingsBlock mirror = m_Keyboard->SettingsMirror();
    firmware().setSetting(0, 2, 1);  // brightness 1, changed on the keyboard
    for (int nth : {1, 2}) {         // the slot read, then the block read
        ASSERT_TRUE(m_Bus.injectFault("keyboard", FaultKind::NoAnswer, nth));
        EXPECT_EQ(m_Keyboard->ReadSettingsBlock(), kResultNoAnswer);
        EXPECT_EQ(m_Keyboard->GetLightInfo().Light, 4);
        EXPECT_EQ(m_Keyboard->SettingsMirror(), mirror);
        EXPECT_EQ(readFile(profileFile()), fileBefore);
    }
    EXPECT_EQ(m_Keyboard->ReadSettingsBlock(), kResultOk);
    EXPECT_EQ(m_Keyboard->GetLightInfo().Light, 1);
    EXPECT_EQ(m_Keyboard->PreviousSettingsMirror(), mirror);
}

TEST_F(VirtualKeyboard, AReattachThatFailsLeavesNothingMapped) {
    ASSERT_TRUE(m_Keyboard->LayoutValid());
    ASSERT_TRUE(m_Bus.injectFault("keyboard", FaultKind::StatusFE, 3));  // begin, 0x03, 0x07
    m_Keyboard->OnAttached();
    EXPECT_FALSE(m_Keyboard->LayoutValid());
    for (std::size_t p = 0; p < kLayoutPositions; ++p) {
        EXPECT_EQ(m_Keyboard->KeyPositionMap()[p], kNoPosition);
        EXPECT_EQ(m_Keyboard->LedPositionMap()[p], kNoPosition);
    }
    const std::vector<std::uint8_t> table = firmware().area(Area::KeyCodes);
    const std::uint64_t requests = firmware().counters().requests;
    EXPECT_EQ(m_Keyboard->WriteKeyTable(0), kResultNoAnswer);
    EXPECT_EQ(firmware().counters().requests, requests);  // nothing sent
    EXPECT_EQ(firmware().area(Area::KeyCodes), table);
    EXPECT_FALSE(firmware().counters().configOpen);
}

TEST_F(VirtualKeyboard, ChangesMadeOnTheKeyboardComeBackThroughItsEvents) {
    ASSERT_TRUE(m_Keyboard->OpenEventInterface(emu::VirtualBus::eventPath("keyboard"), false));

    ASSERT_TRUE(firmware().setActiveProfile(2));  // 0x1002
    EXPECT_TRUE(runUntil([&] { return m_Keyboard->ActiveSlot() == 2; }));

    ASSERT_TRUE(m_Bus.emitEvent("keyboard", 0x1123));  // slot 3, second value 2
    EXPECT_TRUE(runUntil([&] { return m_Keyboard->ActiveSlot() == 3; }));
    EXPECT_EQ(m_Keyboard->SecondValue(), 2);

    ASSERT_TRUE(firmware().setActiveProfile(0));
    EXPECT_TRUE(runUntil([&] { return m_Keyboard->ActiveSlot() == 0; }));
    ASSERT_TRUE(firmware().setSetting(0, 2, 2));  // 0x401: read back 50 ms later
    EXPECT_TRUE(runUntil([&] { return m_Loop.nextDue() != Clock::time_point::max(); }));
    advance(std::chrono::milliseconds(49));
    EXPECT_EQ(m_Keyboard->GetLightInfo().Light, 4);
    advance(std::chrono::milliseconds(1));
    EXPECT_EQ(m_Keyboard->GetLightInfo().Light, 2);
    m_Keyboard->CloseEventInterface(false);
}

TEST_F(VirtualKeyboard, ADeviceResetResetsTheProfileWithoutWritingIt) {
    ASSERT_EQ(m_Keyboard->SetKeyAssignment(0, {0x20, 0x00, 0x04}), kResultOk);
    ASSERT_TRUE(m_Keyboard->SaveKeyAssignments().profileSaved);
    const std::uint64_t begins = firmware().counters().begins;

    m_Keyboard->OnEventCode(0x0402);
    advance(std::chrono::milliseconds(50));
    EXPECT_EQ(m_Keyboard->KeyAssignments()[0].current, m_Keyboard->KeyAssignments()[0].defaults);
    EXPECT_EQ(firmware().counters().begins, begins);  // read back only
}

// --- the keyboard's slot codes, and dispatch by device class ----------------------------------

TEST_F(VirtualKeyboard, SlotCodes) {
    struct Case {
        std::uint16_t code;
        int slot;
        int second;
    };
    const Case cases[] = {
        {0x1103, 3, 0}, {0x1023, 3, 0}, {0x1125, 5, 2}, {0x1204, 5, 2}, {0x0403, 5, 2},
    };
    for (const Case& c : cases) {
        m_Keyboard->OnEventCode(c.code);
        EXPECT_EQ(m_Keyboard->ActiveSlot(), c.slot) << std::hex << c.code;
        EXPECT_EQ(m_Keyboard->SecondValue(), c.second) << std::hex << c.code;
    }
    m_Keyboard->Transport().SetOpen(false);  // only while linked
    m_Keyboard->OnEventCode(0x1001);
    EXPECT_EQ(m_Keyboard->ActiveSlot(), 5);
}

// Records what the base hands on.
class RecordingDevice final : public CTessarinUSBDevice {
public:
    explicit RecordingDevice(DeviceContext& context) : CTessarinUSBDevice(context, nullptr) {}
    void DeferredOperation1() override { ++readBacks; }
    void OnDeviceNotification(std::uint16_t code) override { notifications.push_back(code); }
    int readBacks = 0;
    std::vector<std::uint16_t> notifications;
};

class EventDispatch : public KeyboardFixture {};

TEST_F(EventDispatch, EachClassTakesItsOwnCodes) {
    qm::testing::FakeHid hid;
    struct Case {
        std::uint16_t kind;
        std::uint16_t code;
        int readBackAfterMs;  // -1: none
        bool notification;
    };
    const Case cases[] = {
        {DEVICE_KEYBOARD, 0x0401, 50, false},  {DEVICE_KEYBOARD, 0x0402, -1, true},
        {DEVICE_KEYBOARD, 0x1003, -1, true},   {DEVICE_MOUSE_24G, 0x0403, -1, true},
        {DEVICE_MOUSEPAD, 0x0401, 500, false}, {DEVICE_MOUSEPAD, 0x0402, -1, false},
        {DEVICE_HEADSET, 0x1003, -1, false},
    };
    for (const Case& c : cases) {
        UsbInterfaceRecord slot = g_SupportedInterfaces[0];
        slot.Kind = c.kind;
        auto device = makeDevice<RecordingDevice>(hid, slot);
        device->OnEventCode(c.code);
        advance(std::chrono::milliseconds(49));
        EXPECT_EQ(device->readBacks, 0);
        advance(std::chrono::milliseconds(451));
        EXPECT_EQ(device->readBacks, c.readBackAfterMs < 0 ? 0 : 1) << c.kind << " " << c.code;
        EXPECT_EQ(device->notifications.size(), c.notification ? 1u : 0u)
            << c.kind << " " << c.code;
    }
}

TEST_F(EventDispatch, AReportWithoutAUsageIsIgnored) {
    auto bus = std::make_unique<emu::VirtualBus>(emu::VirtualBus::Options{{}, {{}, {}}, nullptr});
    ASSERT_TRUE(bus->plug("keyboard"));
    auto device = makeDevice<RecordingDevice>(*bus);
    ASSERT_TRUE(device->OpenEventInterface(emu::VirtualBus::eventPath("keyboard"), false));
    for (std::uint16_t code : {0x0000, 0x1001, 0x0000, 0x1002})
        ASSERT_TRUE(bus->emitEvent("keyboard", code));
    EXPECT_TRUE(runUntil([&] { return device->notifications.size() >= 2; }));
    m_Loop.runDue();
    EXPECT_EQ(device->notifications, (std::vector<std::uint16_t>{0x1001, 0x1002}));
    device->CloseEventInterface(false);
}

// --- what no keyboard of ours answers: the scripted fake --------------------------------------

// Answers the information block with keyCount at byte 5 and every other command with an echo.
qm::testing::FakeHid::Answerer keyboardAnswering(std::uint8_t keyCount) {
    return [keyCount](const qm::testing::WrittenReport& r, std::size_t) {
        std::vector<std::uint8_t> data(56, 0);
        if (r.bytes[3] == 0x03)
            data[5] = keyCount;
        return std::vector<qm::testing::Bytes>{qm::testing::echoAnswer(r.bytes, 0, data)};
    };
}

std::vector<std::uint8_t> commandsWritten(const qm::testing::FakeHid& hid) {
    std::vector<std::uint8_t> commands;
    for (const qm::testing::WrittenReport& r : hid.writes())
        commands.push_back(r.bytes[3]);
    return commands;
}

TEST_F(KeyboardFixture, TooManyKeysStopTheLayoutReadAndEndStillFollows) {
    struct Case {
        std::uint8_t keys;
        std::vector<std::uint8_t> layoutCommands;
        bool valid;
    };
    const Case cases[] = {
        // Through the receiver: 24 bytes a report, so the information block takes two.
        {171, {0x01, 0x03, 0x03, 0x02}, false},  // 513 bytes do not fit
        {255, {0x01, 0x03, 0x03, 0x02}, false},
        {170,
         {0x01, 0x03, 0x03, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07,
          0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07,
          0x07, 0x1B, 0x1B, 0x1B, 0x1B, 0x1B, 0x1B, 0x1B, 0x1B, 0x02},
         true},  // 510 bytes
    };
    for (const Case& c : cases) {
        qm::testing::FakeHid hid;
        hid.setAnswerer(keyboardAnswering(c.keys));
        auto keyboard = makeDevice(hid);
        ASSERT_EQ(keyboard->Transport().OpenCommandInterface("fake:keyboard", kModeReceiver), 0);
        keyboard->OnAttached();
        std::vector<std::uint8_t> commands = commandsWritten(hid);
        ASSERT_GE(commands.size(), c.layoutCommands.size());
        commands.resize(c.layoutCommands.size());
        EXPECT_EQ(commands, c.layoutCommands) << int{c.keys};
        EXPECT_EQ(keyboard->LayoutValid(), c.valid);
        if (c.valid)
            continue;
        const std::size_t written = hid.writes().size();
        EXPECT_EQ(keyboard->WriteKeyTable(0), kResultNoAnswer);
        EXPECT_EQ(hid.writes().size(), written);
        m_Loop.runDue();
    }
}

}  // namespace
