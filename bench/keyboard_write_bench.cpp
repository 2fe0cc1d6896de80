// Writing to the virtual keyboard under the default timing model (1 ms out, 1 ms back per
// report), on its cable and through its receiver. Printed, not asserted:
// (a) a full key table write (WriteKeyTable): reports and time;
// (b) applying a whole profile (selecting another profile while attached: settings block, key
//     table, and the profile files): reports and time;
// each beside the least number of reports the bytes themselves need. Median of several runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "device/hid/supported_interfaces.h"
#include "device/model/dispatcher.h"
#include "device/model/keyboard_device.h"
#include "emulator/peripheral.h"
#include "emulator/virtual_bus.h"
#include "platform/data_paths.h"

namespace {

using namespace qm;
using Steady = std::chrono::steady_clock;

constexpr int kRuns = 7;

struct Figure {
    std::uint64_t reports = 0;
    double ms = 0;
};

template <typename Operation>
Figure measure(emu::Peripheral& firmware, Operation operation) {
    std::vector<double> times;
    std::uint64_t reports = 0;
    for (int run = 0; run < kRuns; ++run) {
        const std::uint64_t before = firmware.counters().requests;
        const auto start = Steady::now();
        operation(run);
        times.push_back(std::chrono::duration<double, std::milli>(Steady::now() - start).count());
        reports = firmware.counters().requests - before;
    }
    std::sort(times.begin(), times.end());
    return {reports, times[times.size() / 2]};
}

std::size_t reportsFor(std::size_t bytes, std::size_t chunk) {
    return (bytes + chunk - 1) / chunk;
}

void run(const char* connection, int mode, const std::string& root) {
    emu::VirtualBus bus({});  // default timing, memory only
    bus.plug(connection);
    emu::Peripheral& firmware = *bus.firmware("keyboard");
    LoopDispatcher loop;
    DeviceContext context{bus, loop, systemClock(), defaultDataFolder(),
                          root + "/" + connection + "/"};
    CTessarinKeyboardDevice keyboard(context);
    keyboard.SetPageLayout("XML\\DeviceXml\\keyboarddevice.xml");
    keyboard.SetKeyCount(170);
    keyboard.SetLedCount(170);
    keyboard.SetDeviceName("keyboard");
    keyboard.BindSlot(g_SupportedInterfaces[0]);
    keyboard.SetLightConfigName("velto_light");
    keyboard.InitPage();
    if (keyboard.Transport().OpenCommandInterface(emu::VirtualBus::commandPath(connection), mode) !=
        0) {
        std::printf("%-18s cannot open the command interface\n", connection);
        return;
    }
    keyboard.OnAttached();
    if (!keyboard.LayoutValid()) {
        std::printf("%-18s the key layout was not read\n", connection);
        return;
    }
    keyboard.Profiles().AddProfile();

    const std::size_t chunk = keyboard.Transport().ChunkSize();
    const std::size_t tableBytes = static_cast<std::size_t>(keyboard.DeviceKeyCount()) * 3;
    int failed = 0;
    const Figure table =
        measure(firmware, [&](int) { failed += keyboard.WriteKeyTable(0) != kResultOk; });
    const Figure profile = measure(firmware, [&](int n) {
        keyboard.Profiles().SelectProfile(n % 2 == 0 ? 1 : 0);
        failed += keyboard.LastProfileWrite() != kResultOk;
    });
    loop.runDue();

    std::printf("%-18s key table (%zu bytes):   %3llu reports, %7.1f ms   least %zu\n", connection,
                tableBytes, static_cast<unsigned long long>(table.reports), table.ms,
                reportsFor(tableBytes, chunk));
    std::printf("%-18s whole profile (%zu bytes): %3llu reports, %7.1f ms   least %zu\n",
                connection, tableBytes + kKeyboardSettingsSize,
                static_cast<unsigned long long>(profile.reports), profile.ms,
                reportsFor(tableBytes, chunk) + reportsFor(kKeyboardSettingsSize, chunk));
    if (failed > 0)
        std::printf("%-18s %d writes failed\n", connection, failed);
}

}  // namespace

int main() {
    char pattern[] = "/tmp/qm-keyboard-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        return 1;
    const std::string root = pattern;
    std::printf("virtual keyboard, 1 ms out and 1 ms back per report; median of %d runs\n", kRuns);
    run("keyboard", kModeCable, root);
    run("keyboard-receiver", kModeReceiver, root);
    std::filesystem::remove_all(root);
    return 0;
}
