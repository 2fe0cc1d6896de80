// The device manager on the virtual peripherals: one scan pass at a time on the test thread, the
// entry timers driven by a fake clock.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "device/hid/scan_pass.h"
#include "device/model/device_manager.h"
#include "platform/clock.h"
#include "virtual_fixtures.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

// Entries created up front, in this order.
constexpr int kMouseEntry = 0;
constexpr int kKeyboardEntry = 1;

// Keeps every change the manager reports.
struct Recorder : DeviceManagerObserver {
    std::vector<ManagerChange> changes;
    void OnManagerChange(const ManagerChange& change) override { changes.push_back(change); }

    int count(ManagerEvent event, int entry = -1) const {
        return static_cast<int>(std::count_if(changes.begin(), changes.end(), [&](const auto& c) {
            return c.event == event && (entry < 0 || c.entry == entry);
        }));
    }
    const ManagerChange* last(ManagerEvent event) const {
        for (auto it = changes.rbegin(); it != changes.rend(); ++it)
            if (it->event == event)
                return &*it;
        return nullptr;
    }
};

// Threads of this process, as the kernel counts them.
int threadCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& task : fs::directory_iterator("/proc/self/task"))
        ++count;
    return count;
}

class DeviceManagerTest : public ::testing::Test {
protected:
    // What the device objects open their interfaces through.
    virtual hid::HidBackend& backend() { return *bus; }

    void SetUp() override {
        m_Folder = fs::temp_directory_path() / ("qm-manager-" + std::to_string(::getpid()));
        context = std::make_unique<DeviceContext>(DeviceContext{
            backend(), loop, clock, m_Folder.string() + "/", m_Folder.string() + "/"});
        manager = std::make_unique<DeviceManager>(*context, virtualTables());
        manager->AddObserver(&events);
    }
    void TearDown() override {
        manager.reset();
        fs::remove_all(m_Folder);
    }

    // One scan pass, each claim and release handled as the scan thread hands it over.
    void scan() {
        ASSERT_TRUE(claimPresentInterfaces(probe, manager->Slots(),
                                           [&](int slot) { manager->OnSlotClaimed(slot); }));
        if (!manager->FirstPassDone())
            manager->OnFirstPassComplete();
        releaseMissingInterfaces(*bus, manager->Slots(),
                                 [&](int slot) { manager->OnSlotReleased(slot); });
        loop.runDue();
    }
    void plug(std::string_view name) {
        ASSERT_TRUE(bus->plug(name));
        scan();
    }
    void unplug(std::string_view name) {
        ASSERT_TRUE(bus->unplug(name));
        scan();
    }
    // Lets time pass in steps, running the timers as they fall due.
    void advance(milliseconds time) {
        for (milliseconds step{10}; time.count() > 0; time -= step) {
            clock.advance(std::min(step, time));
            loop.runDue();
        }
    }

    const SelectorEntry& entry(int index) const { return manager->Entry(index); }
    CTessarinUSBDevice& device(int index) const { return *manager->Entry(index).device; }
    CUsbTransport& transport(int index) const { return device(index).Transport(); }

    FakeClock clock;
    LoopDispatcher loop{clock};
    std::unique_ptr<emu::VirtualBus> bus = testing::virtualBus({}, &clock);
    CHidDevice probe{*bus};
    std::unique_ptr<DeviceContext> context;
    std::unique_ptr<DeviceManager> manager;
    Recorder events;

private:
    fs::path m_Folder;
};

TEST_F(DeviceManagerTest, StartsWithHiddenMouseAndKeyboardAndShowsNoDeviceAfterTheFirstPass) {
    ASSERT_EQ(manager->EntryCount(), 2);
    EXPECT_EQ(device(kMouseEntry).DeviceName(), "mouse");
    EXPECT_EQ(device(kKeyboardEntry).DeviceName(), "keyboard");
    // Bound to the cable command slots: 4 for the mouse, 0 for the keyboard.
    EXPECT_EQ(entry(kMouseEntry).record, manager->Slots()[4]);
    EXPECT_EQ(entry(kKeyboardEntry).record, manager->Slots()[0]);
    EXPECT_EQ(device(kMouseEntry).LedCount(), 15);
    EXPECT_EQ(device(kKeyboardEntry).KeyCount(), 170);
    EXPECT_TRUE(device(kMouseEntry).BatteryDisplay());
    EXPECT_FALSE(device(kKeyboardEntry).BatteryDisplay());

    scan();
    EXPECT_TRUE(manager->FirstPassDone());
    EXPECT_EQ(events.count(ManagerEvent::FirstPassComplete), 1);
    EXPECT_TRUE(manager->NoDevice());
    EXPECT_EQ(manager->VisibleCount(), 0);
    EXPECT_EQ(manager->SelectedEntry(), -1);
    EXPECT_EQ(manager->CurrentDevice(), nullptr);
}

TEST_F(DeviceManagerTest, CableKeyboardIsShownSelectedAndAttached) {
    plug("keyboard");
    EXPECT_TRUE(manager->Slots()[0].Connected);
    EXPECT_TRUE(manager->Slots()[1].Connected);
    EXPECT_EQ(manager->EntryCount(), 2);  // the object made up front serves it
    EXPECT_TRUE(entry(kKeyboardEntry).visible);
    EXPECT_EQ(manager->SelectedEntry(), kKeyboardEntry);
    EXPECT_EQ(manager->CurrentDevice(), &device(kKeyboardEntry));
    EXPECT_FALSE(manager->NoDevice());
    EXPECT_TRUE(transport(kKeyboardEntry).IsOpen());
    EXPECT_FALSE(transport(kKeyboardEntry).IsReceiverMode());
    EXPECT_TRUE(device(kKeyboardEntry).IsEventInterfaceOpen(false));
    const ManagerChange* arrived = events.last(ManagerEvent::Arrived);
    ASSERT_NE(arrived, nullptr);
    EXPECT_EQ(arrived->slot, 0);
    EXPECT_FALSE(arrived->receiver);

    // Read back half a second later.
    EXPECT_EQ(events.count(ManagerEvent::Attached), 0);
    advance(milliseconds(500));
    EXPECT_EQ(events.count(ManagerEvent::Attached, kKeyboardEntry), 1);
    EXPECT_TRUE(device(kKeyboardEntry).IsLightThreadRunning());
    EXPECT_EQ(device(kKeyboardEntry).DeviceInfo()[5], bus->firmware("keyboard")->info()[5]);
}

TEST_F(DeviceManagerTest, ReceiverKeyboardIsShownOnlyWhileItIsOn) {
    ASSERT_TRUE(bus->plug("keyboard-receiver"));
    ASSERT_TRUE(bus->setPower("keyboard-receiver", false));
    scan();
    EXPECT_TRUE(manager->Slots()[2].Connected);
    EXPECT_TRUE(manager->Slots()[3].Connected);
    EXPECT_TRUE(transport(kKeyboardEntry).IsOpen());
    EXPECT_TRUE(transport(kKeyboardEntry).IsReceiverMode());
    EXPECT_TRUE(device(kKeyboardEntry).IsEventInterfaceOpen(true));
    EXPECT_FALSE(entry(kKeyboardEntry).visible);

    advance(milliseconds(500));
    EXPECT_EQ(manager->IsOnline(kKeyboardEntry), false);
    EXPECT_FALSE(entry(kKeyboardEntry).visible);
    EXPECT_EQ(events.count(ManagerEvent::Attached), 0);
    EXPECT_TRUE(manager->NoDevice());

    // Switched on: seen at the next try, within three seconds.
    ASSERT_TRUE(bus->setPower("keyboard-receiver", true));
    advance(milliseconds(3000));
    EXPECT_TRUE(entry(kKeyboardEntry).visible);
    EXPECT_EQ(manager->SelectedEntry(), kKeyboardEntry);
    EXPECT_EQ(manager->IsOnline(kKeyboardEntry), true);
    EXPECT_EQ(events.count(ManagerEvent::Attached, kKeyboardEntry), 1);

    // From now on the presence watch (timer 1007) hides and shows it.
    ASSERT_TRUE(bus->setPower("keyboard-receiver", false));
    advance(milliseconds(3000));
    EXPECT_FALSE(entry(kKeyboardEntry).visible);
    EXPECT_TRUE(manager->NoDevice());
    const int powerReads = events.count(ManagerEvent::PowerStatus);
    ASSERT_TRUE(bus->setPower("keyboard-receiver", true));
    advance(milliseconds(3000));
    EXPECT_TRUE(entry(kKeyboardEntry).visible);
    EXPECT_EQ(events.count(ManagerEvent::Attached), 1);  // no second read-back
    EXPECT_EQ(events.count(ManagerEvent::PowerStatus), powerReads + 1);
    EXPECT_EQ(events.count(ManagerEvent::Offline), 2);
    EXPECT_EQ(events.count(ManagerEvent::Online), 2);
}

// A peripheral with both connections: the cable wins, the receiver takes over when it leaves.
struct Pair {
    const char* cable;
    const char* receiver;
    int entry;
    int cableSlot;
    int receiverSlot;
};

class ConnectionSwitch : public DeviceManagerTest, public ::testing::WithParamInterface<Pair> {};

TEST_P(ConnectionSwitch, SwitchesInPlaceBothWays) {
    const Pair pair = GetParam();
    CTessarinUSBDevice* const object = &device(pair.entry);
    plug(pair.cable);
    advance(milliseconds(500));
    ASSERT_TRUE(transport(pair.entry).IsOpen());

    // A receiver arriving beside the cable changes nothing.
    plug(pair.receiver);
    EXPECT_FALSE(transport(pair.entry).IsReceiverMode());
    EXPECT_EQ(events.count(ManagerEvent::Switched), 0);
    EXPECT_TRUE(device(pair.entry).IsEventInterfaceOpen(false));

    // The cable leaves: the receiver takes over, events included.
    unplug(pair.cable);
    EXPECT_TRUE(transport(pair.entry).IsOpen());
    EXPECT_TRUE(transport(pair.entry).IsReceiverMode());
    EXPECT_EQ(transport(pair.entry).ChunkSize(), 24);
    EXPECT_TRUE(device(pair.entry).IsEventInterfaceOpen(true));
    EXPECT_TRUE(entry(pair.entry).visible);
    ASSERT_NE(events.last(ManagerEvent::Switched), nullptr);
    EXPECT_TRUE(events.last(ManagerEvent::Switched)->receiver);
    EXPECT_EQ(events.last(ManagerEvent::Switched)->slot, pair.receiverSlot);
    EXPECT_EQ(events.count(ManagerEvent::Departed), 0);
    EXPECT_EQ(transport(pair.entry).BeginConfig(), kResultOk);
    EXPECT_EQ(transport(pair.entry).EndConfig(), kResultOk);
    if (device(pair.entry).BatteryDisplay()) {
        // Read at once through the receiver after the link query.
        ASSERT_TRUE(device(pair.entry).LastPowerStatus().has_value());
        EXPECT_TRUE(device(pair.entry).LastPowerStatus()->throughReceiver());
    }

    // The cable comes back: it takes over on the same object, and reads the device back.
    const int attached = events.count(ManagerEvent::Attached);
    plug(pair.cable);
    EXPECT_FALSE(transport(pair.entry).IsReceiverMode());
    EXPECT_EQ(transport(pair.entry).ChunkSize(), 56);
    EXPECT_TRUE(device(pair.entry).IsEventInterfaceOpen(false));
    EXPECT_FALSE(device(pair.entry).IsEventInterfaceOpen(true));
    EXPECT_EQ(events.last(ManagerEvent::Switched)->slot, pair.cableSlot);
    advance(milliseconds(500));
    EXPECT_EQ(events.count(ManagerEvent::Attached), attached + 1);
    EXPECT_EQ(&device(pair.entry), object);
    EXPECT_EQ(manager->EntryCount(), 2);
}

INSTANTIATE_TEST_SUITE_P(Peripherals, ConnectionSwitch,
                         ::testing::Values(Pair{"keyboard", "keyboard-receiver", kKeyboardEntry, 0,
                                                2},
                                           Pair{"mouse", "mouse-receiver", kMouseEntry, 4, 6}),
                         [](const auto& info) { return std::string(info.param.cable); });

TEST_F(DeviceManagerTest, UnplugOfTheOnlyVisibleDeviceLeavesNoDevice) {
    plug("keyboard");
    advance(milliseconds(500));
    unplug("keyboard");
    EXPECT_FALSE(entry(kKeyboardEntry).visible);
    EXPECT_TRUE(manager->NoDevice());
    EXPECT_EQ(manager->SelectedEntry(), -1);
    EXPECT_FALSE(transport(kKeyboardEntry).IsOpen());
    EXPECT_EQ(events.count(ManagerEvent::EntryClosing, kKeyboardEntry), 1);
    ASSERT_NE(events.last(ManagerEvent::Departed), nullptr);
    EXPECT_EQ(events.last(ManagerEvent::Departed)->slot, 0);
}

TEST_F(DeviceManagerTest, HidingAnEntryMovesTheSelectionOnlyWhenItWasSelected) {
    plug("keyboard");
    plug("mouse");
    plug("mousepad");
    ASSERT_EQ(manager->SelectedEntry(), kKeyboardEntry);  // the first to show
    EXPECT_TRUE(manager->SyncControlsVisible());

    // The page in view stays when another peripheral leaves.
    unplug("mousepad");
    EXPECT_EQ(manager->SelectedEntry(), kKeyboardEntry);

    // When the selected one leaves, the first visible entry takes its place.
    unplug("keyboard");
    EXPECT_EQ(manager->SelectedEntry(), kMouseEntry);
    EXPECT_FALSE(manager->SyncControlsVisible());
}

TEST_F(DeviceManagerTest, ChangesWhileSuspendedAreIgnored) {
    manager->SetSuspended(true);
    plug("keyboard");
    EXPECT_TRUE(manager->Slots()[0].Connected);
    EXPECT_FALSE(transport(kKeyboardEntry).IsOpen());
    EXPECT_FALSE(device(kKeyboardEntry).IsEventInterfaceOpen(false));
    manager->OnEntryVisibility(kKeyboardEntry, true);
    EXPECT_FALSE(entry(kKeyboardEntry).visible);
    EXPECT_EQ(events.count(ManagerEvent::Arrived), 0);

    // After resume the slot stays claimed and unattached until it is claimed again.
    manager->SetSuspended(false);
    scan();
    EXPECT_FALSE(transport(kKeyboardEntry).IsOpen());
    unplug("keyboard");
    plug("keyboard");
    EXPECT_TRUE(transport(kKeyboardEntry).IsOpen());
}

TEST_F(DeviceManagerTest, DetachJoinsTheDeviceThreadsAndReattachStartsOneLightingThread) {
    const int idle = threadCount();
    plug("keyboard");
    advance(milliseconds(500));
    ASSERT_TRUE(device(kKeyboardEntry).IsLightThreadRunning());
    const int attached = threadCount();
    EXPECT_EQ(attached, idle + 2);  // the lighting thread and the event reader

    unplug("keyboard");
    EXPECT_FALSE(device(kKeyboardEntry).IsLightThreadRunning());
    EXPECT_FALSE(device(kKeyboardEntry).IsEventInterfaceOpen(false));
    EXPECT_EQ(threadCount(), idle);

    plug("keyboard");
    advance(milliseconds(500));
    device(kKeyboardEntry).OnAttached();  // a second read-back on the same attach
    EXPECT_EQ(threadCount(), attached);
}

// The bus, but no interface can be opened for writing (as without the udev rule's access).
class WritesRefused final : public hid::HidBackend {
public:
    explicit WritesRefused(hid::HidBackend& bus) : m_Bus(bus) {}
    bool enumerate(std::vector<std::string>& paths) override { return m_Bus.enumerate(paths); }
    int open(const std::string& path, bool forRead, bool forWrite,
             std::unique_ptr<hid::HidConnection>& connection, hid::InterfaceInfo& info) override {
        return forWrite ? EACCES : m_Bus.open(path, forRead, forWrite, connection, info);
    }
    bool exists(const std::string& path) override { return m_Bus.exists(path); }

private:
    hid::HidBackend& m_Bus;
};

class RefusedOpen : public DeviceManagerTest {
protected:
    hid::HidBackend& backend() override { return m_Refusing; }
    WritesRefused m_Refusing{*bus};
};

TEST_F(RefusedOpen, DeviceThatCannotBeOpenedIsNeitherShownNorAttached) {
    plug("keyboard");
    EXPECT_TRUE(manager->Slots()[0].Connected);
    EXPECT_FALSE(transport(kKeyboardEntry).IsOpen());
    ASSERT_NE(events.last(ManagerEvent::OpenFailed), nullptr);
    EXPECT_EQ(events.last(ManagerEvent::OpenFailed)->slot, 0);
    advance(milliseconds(4000));
    EXPECT_FALSE(entry(kKeyboardEntry).visible);
    EXPECT_TRUE(manager->NoDevice());
    EXPECT_EQ(events.count(ManagerEvent::Arrived), 0);
    EXPECT_EQ(events.count(ManagerEvent::Attached), 0);
    EXPECT_FALSE(device(kKeyboardEntry).IsLightThreadRunning());
}

// Power status: every 5000 ms after a first read at 50 ms, only with a battery display.
struct PowerCase {
    const char* peripheral;
    int entry;
    int reads;  // within 16 s of arrival
    bool throughReceiver;
};

class PowerStatusReads : public DeviceManagerTest,
                         public ::testing::WithParamInterface<PowerCase> {};

TEST_P(PowerStatusReads, FollowTheBatteryDisplay) {
    const PowerCase c = GetParam();
    plug(c.peripheral);
    advance(milliseconds(16000));
    EXPECT_EQ(events.count(ManagerEvent::PowerStatus, c.entry), c.reads);
    if (c.reads == 0)
        return;
    const ManagerChange* read = events.last(ManagerEvent::PowerStatus);
    EXPECT_EQ(read->power.level(), 75);
    EXPECT_EQ(read->power.state(), PowerStatus::kOnBattery);
    EXPECT_EQ(read->power.throughReceiver(), c.throughReceiver);
    EXPECT_EQ(read->receiver, c.throughReceiver);
}

INSTANTIATE_TEST_SUITE_P(Peripherals, PowerStatusReads,
                         ::testing::Values(PowerCase{"mouse", kMouseEntry, 4, false},
                                           PowerCase{"mouse-receiver", kMouseEntry, 4, true},
                                           PowerCase{"keyboard", kKeyboardEntry, 0, false}),
                         [](const auto& info) {
                             std::string name = info.param.peripheral;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST_F(DeviceManagerTest, MousepadGetsItsObjectOnFirstArrival) {
    plug("mousepad");
    ASSERT_EQ(manager->EntryCount(), 3);
    EXPECT_EQ(device(2).DeviceName(), "MousePad");
    EXPECT_TRUE(entry(2).visible);
    EXPECT_TRUE(transport(2).IsOpen());
    unplug("mousepad");
    plug("mousepad");
    EXPECT_EQ(manager->EntryCount(), 3);  // kept for the run
}

}  // namespace
}  // namespace qm
