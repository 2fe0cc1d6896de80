// The device scan's figures, printed (not asserted):
// (a) the process CPU time a running scan costs while nothing changes, polling every 100 ms or
//     woken by announced changes (the virtual bus's listener, udev), on the virtual bus with the
//     default set plugged and on the real hidraw tree of this machine;
// (b) the time from a virtual plug-in to the keyboard's command interface being open (arrived)
//     and to its read-back being done (attached, after the 500 ms attach timer), with the wake
//     and with the poll alone. Median of several runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "device/hid/hidraw_backend.h"
#include "device/hid/scan_thread.h"
#include "device/model/device_manager.h"
#include "emulator/virtual_bus.h"
#include "platform/data_paths.h"
#include "platform/hotplug_monitor.h"

namespace {

using namespace qm;
using std::chrono::duration;
using std::chrono::milliseconds;
using Steady = std::chrono::steady_clock;

constexpr auto kSettle = std::chrono::seconds(1);
constexpr auto kMeasure = std::chrono::seconds(3);
constexpr int kRuns = 9;

// Takes every change the scan hands over and does nothing with it.
struct NoListener final : ScanListener {
    void OnSlotClaimed(int) override {}
    void OnSlotReleased(int) override {}
    void OnFirstPassComplete() override {}
    void OnScanFailed() override {}
};

// A backend that keeps its changes to itself: the scan can only poll.
class Unannounced final : public hid::HidBackend {
public:
    explicit Unannounced(hid::HidBackend& bus) : m_Bus(bus) {}
    bool enumerate(std::vector<std::string>& paths) override { return m_Bus.enumerate(paths); }
    int open(const std::string& path, bool forRead, bool forWrite,
             std::unique_ptr<hid::HidConnection>& connection, hid::InterfaceInfo& info) override {
        return m_Bus.open(path, forRead, forWrite, connection, info);
    }
    bool exists(const std::string& path) override { return m_Bus.exists(path); }

private:
    hid::HidBackend& m_Bus;
};

double processSeconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

// CPU percent of the process while the scan runs with nothing changing.
double idleCpu(hid::HidBackend& backend, const DeviceTables& tables, ScanThread::Options options) {
    LoopDispatcher loop;
    DeviceSlots slots(tables.Interfaces);
    NoListener listener;
    ScanThread scan(backend, slots, loop, listener, options);
    scan.start();
    loop.run(systemClock().now() + kSettle);
    const double cpuStart = processSeconds();
    const auto wallStart = Steady::now();
    loop.run(systemClock().now() + kMeasure);
    const double cpu = processSeconds() - cpuStart;
    const double wall = duration<double>(Steady::now() - wallStart).count();
    scan.stop();
    return 100.0 * cpu / wall;
}

std::unique_ptr<emu::VirtualBus> defaultSet() {
    auto bus = std::make_unique<emu::VirtualBus>(emu::VirtualBus::Options{});
    for (const char* name : {"keyboard", "mouse", "mousepad", "headset"})
        bus->plug(name);
    return bus;
}

void printIdle(const char* what, const char* how, double percent) {
    std::printf("  %-34s %-27s %6.3f %%\n", what, how, percent);
}

// When the keyboard's changes reached the manager.
struct Times final : DeviceManagerObserver {
    std::optional<Steady::time_point> arrived, attached, departed;
    void OnManagerChange(const ManagerChange& change) override {
        if (change.device == nullptr || change.device->DeviceName() != "keyboard")
            return;
        if (change.event == ManagerEvent::Arrived)
            arrived = Steady::now();
        else if (change.event == ManagerEvent::Attached)
            attached = Steady::now();
        else if (change.event == ManagerEvent::Departed)
            departed = Steady::now();
    }
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Runs the loop until done holds, or ten seconds pass.
template <typename Done>
bool runUntil(LoopDispatcher& loop, Done done) {
    const auto give_up = Steady::now() + std::chrono::seconds(10);
    while (!done() && Steady::now() < give_up)
        loop.run(systemClock().now() + milliseconds(1));
    return done();
}

void plugToAttached(const char* how, bool wake) {
    emu::VirtualBus bus(emu::VirtualBus::Options{});  // default timing: 1 ms out, 1 ms back
    Unannounced quiet(bus);
    hid::HidBackend& backend = wake ? static_cast<hid::HidBackend&>(bus) : quiet;
    LoopDispatcher loop;
    // Profiles of the benchmark's devices go to a scratch folder, never the user's.
    char scratch[] = "/tmp/quillmark-bench-XXXXXX";
    const std::string folder = mkdtemp(scratch) != nullptr ? std::string(scratch) + "/" : "/tmp/";
    DeviceContext context{backend, loop, systemClock(), defaultDataFolder(), folder};
    DeviceManager manager(context, virtualTables());
    Times times;
    manager.AddObserver(&times);
    ScanThread::Options options;
    options.udevMonitor = false;
    options.backendAnnounces = wake;
    ScanThread scan(backend, manager.Slots(), loop, manager, options);
    scan.start();
    runUntil(loop, [&] { return manager.FirstPassDone(); });

    std::vector<double> arrived, attached;
    for (int run = 0; run < kRuns; ++run) {
        // Plug at a different point of the poll period each time.
        loop.run(systemClock().now() + milliseconds(13 * run % 100));
        times = {};
        const auto plugged = Steady::now();
        bus.plug("keyboard");
        if (!runUntil(loop, [&] { return times.attached.has_value(); })) {
            std::printf("  %-10s the keyboard was not attached\n", how);
            break;
        }
        arrived.push_back(duration<double, std::milli>(*times.arrived - plugged).count());
        attached.push_back(duration<double, std::milli>(*times.attached - plugged).count());
        bus.unplug("keyboard");
        runUntil(loop, [&] { return times.departed.has_value(); });
    }
    scan.stop();
    manager.RemoveObserver(&times);
    std::printf("  %-10s arrived %8.2f ms   attached %8.2f ms\n", how, median(arrived),
                median(attached));
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

}  // namespace

int main() {
    ScanThread::Options polling;
    polling.udevMonitor = false;
    ScanThread::Options announced = polling;
    announced.backendAnnounces = true;
    ScanThread::Options udev;
    udev.udevMonitor = true;

    std::printf("idle CPU of the running scan (%lld s, nothing changes)\n",
                static_cast<long long>(kMeasure.count()));
    {
        auto bus = defaultSet();
        printIdle("virtual bus, default set plugged", "poll every 100 ms",
                  idleCpu(*bus, virtualTables(), polling));
        printIdle("virtual bus, default set plugged", "wake, 1 s safety poll",
                  idleCpu(*bus, virtualTables(), announced));
    }
    {
        const auto hidraw = hid::makeHidrawBackend();
        printIdle("hidraw (this machine's /sys)", "poll every 100 ms",
                  idleCpu(*hidraw, hardwareTables(), polling));
        const bool udevRuns = HotplugMonitor(true).watchingUdev();
        printIdle("hidraw (this machine's /sys)",
                  udevRuns ? "udev, 1 s safety poll" : "udev absent: polls 100 ms",
                  idleCpu(*hidraw, hardwareTables(), udev));
    }

    std::printf("virtual keyboard plugged in -> manager notified (median of %d runs)\n", kRuns);
    plugToAttached("wake", true);
    plugToAttached("poll only", false);
    return 0;
}
