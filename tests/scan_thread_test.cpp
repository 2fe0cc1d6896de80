// The scan thread with the device manager on the virtual peripherals. The test thread is the UI
// thread: it runs what the scan hands over. Poll intervals are an hour where a test must not
// depend on the poll, so that only a wake can make a pass happen.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>

#include "device/hid/scan_thread.h"
#include "device/model/device_manager.h"
#include "platform/clock.h"
#include "virtual_fixtures.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using std::chrono::hours;
using std::chrono::milliseconds;

constexpr int kKeyboardEntry = 1;

// The bus as seen through a backend that never announces a change, or whose listing fails.
class QuietBus final : public hid::HidBackend {
public:
    QuietBus(hid::HidBackend& bus, bool listingFails) : m_Bus(bus), m_ListingFails(listingFails) {}
    bool enumerate(std::vector<std::string>& paths) override {
        return !m_ListingFails && m_Bus.enumerate(paths);
    }
    int open(const std::string& path, bool forRead, bool forWrite,
             std::unique_ptr<hid::HidConnection>& connection, hid::InterfaceInfo& info) override {
        return m_Bus.open(path, forRead, forWrite, connection, info);
    }
    bool exists(const std::string& path) override { return m_Bus.exists(path); }

private:
    hid::HidBackend& m_Bus;
    bool m_ListingFails;
};

// The UI loop, counting what the scan posts to it.
class CountingDispatcher final : public Dispatcher {
public:
    explicit CountingDispatcher(Dispatcher& loop) : m_Loop(loop) {}
    void post(Task task) override {
        ++posted;
        m_Loop.post(std::move(task));
    }
    TimerId postAfter(std::chrono::milliseconds delay, Task task) override {
        return m_Loop.postAfter(delay, std::move(task));
    }
    void cancel(TimerId id) override { m_Loop.cancel(id); }
    bool send(Task task) override { return m_Loop.send(std::move(task)); }

    std::atomic<int> posted{0};

private:
    Dispatcher& m_Loop;
};

struct Recorder : DeviceManagerObserver {
    int scanFailures = 0;
    void OnManagerChange(const ManagerChange& change) override {
        scanFailures += change.event == ManagerEvent::ScanFailed ? 1 : 0;
    }
};

class ScanThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_Folder = fs::temp_directory_path() / ("qm-scan-" + std::to_string(::getpid()));
        context = std::make_unique<DeviceContext>(
            DeviceContext{*bus, loop, clock, m_Folder.string() + "/", m_Folder.string() + "/"});
        manager = std::make_unique<DeviceManager>(*context, virtualTables());
        manager->AddObserver(&events);
    }
    void TearDown() override {
        scan.reset();
        manager.reset();
        fs::remove_all(m_Folder);
    }

    void startScan(hid::HidBackend& backend, ScanThread::Options options) {
        options.udevMonitor = false;
        scan = std::make_unique<ScanThread>(backend, manager->Slots(), toLoop, *manager, options);
        scan->start();
    }
    // Runs what the scan hands over until done holds. The bound only keeps a broken build from
    // hanging; nothing here depends on how fast the scan is.
    bool pumpUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 20000; ++i) {
            loop.runDue();
            if (done())
                return true;
            std::this_thread::sleep_for(milliseconds(1));
        }
        return false;
    }
    bool keyboardOpen() const {
        return manager->Entry(kKeyboardEntry).device->Transport().IsOpen();
    }

    static ScanThread::Options wakeOnly() {
        ScanThread::Options options;
        options.pollInterval = hours(1);
        options.announcedPollInterval = hours(1);
        options.backendAnnounces = true;
        return options;
    }

    FakeClock clock;
    LoopDispatcher loop{clock};
    CountingDispatcher toLoop{loop};
    std::unique_ptr<emu::VirtualBus> bus = testing::virtualBus({}, &clock);
    QuietBus quiet{*bus, false};
    QuietBus failing{*bus, true};
    std::unique_ptr<DeviceContext> context;
    std::unique_ptr<DeviceManager> manager;
    std::unique_ptr<ScanThread> scan;
    Recorder events;

private:
    fs::path m_Folder;
};

TEST_F(ScanThreadTest, PlugAndUnplugAreSeenOnTheBusWakeWithoutAPoll) {
    startScan(*bus, wakeOnly());
    ASSERT_TRUE(pumpUntil([&] { return manager->FirstPassDone(); }));
    EXPECT_TRUE(manager->NoDevice());

    ASSERT_TRUE(bus->plug("keyboard"));
    ASSERT_TRUE(pumpUntil([&] { return keyboardOpen(); }));
    EXPECT_TRUE(manager->Entry(kKeyboardEntry).visible);
    clock.advance(milliseconds(500));
    loop.runDue();
    ASSERT_TRUE(
        pumpUntil([&] { return manager->Entry(kKeyboardEntry).device->IsLightThreadRunning(); }));

    ASSERT_TRUE(bus->unplug("keyboard"));
    ASSERT_TRUE(pumpUntil([&] { return manager->NoDevice(); }));
    EXPECT_FALSE(keyboardOpen());
}

TEST_F(ScanThreadTest, PollFindsChangesWhenNothingAnnouncesThem) {
    ScanThread::Options options;
    options.pollInterval = milliseconds(1);
    startScan(quiet, options);
    ASSERT_TRUE(bus->plug("keyboard"));
    EXPECT_TRUE(pumpUntil([&] { return keyboardOpen(); }));
}

TEST_F(ScanThreadTest, StopNeverWaitsForTheUiThread) {
    const auto handedOver = [&](int count) {
        while (toLoop.posted < count)
            std::this_thread::sleep_for(milliseconds(1));
    };
    ASSERT_TRUE(bus->plug("keyboard"));
    startScan(*bus, wakeOnly());
    // The scan now waits for this thread to take the keyboard's first slot; stopping it here,
    // on the UI thread, must not wait for that.
    handedOver(1);
    scan->stop();
    loop.runDue();  // the dropped change does nothing
    EXPECT_FALSE(keyboardOpen());

    // Nor when the UI loop stopped first.
    ASSERT_TRUE(bus->plug("mouse"));
    const int before = toLoop.posted;
    scan->start();
    handedOver(before + 1);
    loop.stop();
    scan->stop();
    EXPECT_FALSE(manager->Entry(0).device->Transport().IsOpen());
}

TEST_F(ScanThreadTest, FailedListingEndsTheScanAndSaysSo) {
    startScan(failing, wakeOnly());
    ASSERT_TRUE(pumpUntil([&] { return events.scanFailures == 1; }));
    ASSERT_TRUE(bus->plug("keyboard"));
    scan->wake();
    scan->stop();  // ended already
    loop.runDue();
    EXPECT_FALSE(keyboardOpen());
}

TEST_F(ScanThreadTest, RescanAfterResumeAttachesWhatArrivedWhileSuspended) {
    manager->SetSuspended(true);
    ASSERT_TRUE(bus->plug("keyboard"));
    startScan(*bus, wakeOnly());
    ASSERT_TRUE(pumpUntil([&] { return manager->FirstPassDone(); }));
    EXPECT_FALSE(keyboardOpen());

    manager->SetSuspended(false);
    scan->rescan();
    ASSERT_TRUE(pumpUntil([&] { return keyboardOpen(); }));
    EXPECT_TRUE(manager->Entry(kKeyboardEntry).visible);
}

}  // namespace
}  // namespace qm
