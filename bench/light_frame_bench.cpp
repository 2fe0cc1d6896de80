// Host lighting frames to the virtual keyboard: frames per second that SendLightFrame achieves
// under the virtual peripherals' default timing model (1 ms out, 1 ms back per report), beside
// the bound that the timing model sets, and their ratio.
#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <mutex>

#include "device/transport/usb_transport.h"
#include "emulator/virtual_bus.h"

namespace {

constexpr std::size_t kLeds = 170;
constexpr std::size_t kFrameBytes = kLeds * 3;

void sendFrames(benchmark::State& state, const char* connection, const char* path, int mode) {
    qm::emu::VirtualBus bus({});  // default timing, memory only
    bus.plug(connection);
    qm::CUsbTransport transport(bus);
    qm::CHidDevice& hid =
        mode == qm::kModeReceiver ? transport.ReceiverInterface() : transport.CableInterface();
    if (!hid.Open(path, true, true, true, false)) {
        state.SkipWithError("cannot open the virtual keyboard");
        return;
    }
    transport.SetOpen(true);
    transport.SetConnectionMode(mode);

    std::array<std::uint8_t, kFrameBytes> frame{};
    std::uint8_t shade = 0;
    int failed = 0;
    for (auto _ : state) {
        frame.fill(shade++);
        if (transport.SendLightFrame(frame) != qm::kResultOk)
            ++failed;
    }
    if (failed > 0)
        state.SkipWithError("frames failed");

    const qm::emu::TimingModel timing;
    const double perReport = std::chrono::duration<double>(timing.out + timing.back).count();
    const std::size_t chunk = transport.ChunkSize();
    const std::size_t reports = (kFrameBytes + chunk - 1) / chunk;
    const double bound = 1.0 / (perReport * static_cast<double>(reports));
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["bound_fps"] = bound;
    state.counters["reports_per_frame"] = static_cast<double>(reports);
    state.SetLabel(connection);
}

void BM_SendLightFrameCable(benchmark::State& state) {
    sendFrames(state, "keyboard", "virtual:keyboard#vid_320f&pid_5055&mi_01&col04", qm::kModeCable);
}
void BM_SendLightFrameReceiver(benchmark::State& state) {
    sendFrames(state, "keyboard-receiver",
               "virtual:keyboard-receiver#vid_320f&pid_5088&mi_01&col04", qm::kModeReceiver);
}

BENCHMARK(BM_SendLightFrameCable)->Iterations(150)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SendLightFrameReceiver)->Iterations(60)->UseRealTime()->Unit(benchmark::kMillisecond);

// Prints the ratio achieved / bound after the table, one line per connection.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto bound = run.counters.find("bound_fps");
            if (bound == run.counters.end() || run.real_accumulated_time <= 0)
                continue;
            const double rate = static_cast<double>(run.iterations) / run.real_accumulated_time;
            std::printf("%-10s %s: %.1f frames/s of a %.1f frames/s bound (ratio %.2f)\n",
                        "figures", run.report_label.c_str(), rate, bound->second.value,
                        rate / bound->second.value);
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
