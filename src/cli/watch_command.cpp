// quillmark-cli watch: the device manager and the scan running in this process, one line per
// arrival, departure, connection switch, presence change and power reading, until the time is up
// or the process is told to stop. Lines are flushed one by one: other programs read them through
// a pipe.
#include <json/json.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "cli_context.h"
#include "device/hid/scan_thread.h"
#include "device/model/device_manager.h"
#include "platform/data_paths.h"
#include "platform/local_time.h"

namespace qm::cli {
namespace {

// The loop of the watch in progress, for a stop request from the signal thread.
std::mutex g_WatchLock;
LoopDispatcher* g_WatchLoop = nullptr;
bool g_StopRequested = false;

// Local wall-clock time, "12:00:01.234".
std::string timeOfDay() {
    using namespace std::chrono;
    const system_clock::time_point now = system_clock::now();
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    const std::tm local = localTime(now);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min,
                  local.tm_sec, static_cast<int>(millis));
    return text;
}

const char* powerStateName(std::uint8_t state) {
    switch (state) {
        case PowerStatus::kExternalPower:
            return "external";
        case PowerStatus::kCharging:
            return "charging";
        case PowerStatus::kOnBattery:
            return "battery";
        default:
            return "unknown";
    }
}

class WatchPrinter final : public DeviceManagerObserver {
public:
    explicit WatchPrinter(bool json) : m_Json(json) {}

    bool scanFailed() const { return m_ScanFailed; }

    void OnManagerChange(const ManagerChange& change) override {
        const std::string connection = change.receiver ? "receiver" : "cable";
        const std::string device =
            change.device != nullptr ? peripheralName(change.device->Kind()) : "";
        const std::string slot = std::to_string(change.slot);
        switch (change.event) {
            case ManagerEvent::FirstPassComplete:
                print("ready", {}, "ready");
                break;
            case ManagerEvent::Arrived:
            case ManagerEvent::Departed:
                print(managerEventName(change.event),
                      {{"device", device}, {"connection", connection}, {"slot", change.slot}},
                      device + " " + managerEventName(change.event) + " (" + connection +
                          ", slot " + slot + ")");
                break;
            case ManagerEvent::OpenFailed:
                print("open-failed",
                      {{"device", device}, {"connection", connection}, {"slot", change.slot}},
                      device + " cannot be opened (" + connection + ", slot " + slot + ")");
                break;
            case ManagerEvent::Switched:
                print("switched",
                      {{"device", device}, {"connection", connection}, {"slot", change.slot}},
                      device + " switched to " + connection + " (slot " + slot + ")");
                break;
            case ManagerEvent::Online:
            case ManagerEvent::Offline:
                print(managerEventName(change.event),
                      {{"device", device}, {"connection", connection}},
                      device + " " + managerEventName(change.event) + " (" + connection + ")");
                break;
            case ManagerEvent::PowerStatus:
                print("power",
                      {{"device", device},
                       {"connection", connection},
                       {"level", change.power.level()},
                       {"state", powerStateName(change.power.state())}},
                      device + " power " + std::to_string(change.power.level()) + "%, " +
                          powerStateName(change.power.state()) + " (" + connection + ")");
                break;
            case ManagerEvent::ScanFailed:
                m_ScanFailed = true;
                printError("the device scan stopped: the HID interfaces could not be listed");
                break;
            default:
                break;
        }
    }

private:
    using Fields = std::vector<std::pair<std::string, Json::Value>>;

    // One line: "time text", or one JSON object with time and event first.
    void print(const std::string& event, const Fields& fields, const std::string& text) const {
        const std::string time = timeOfDay();
        std::string line;
        if (m_Json) {
            Json::StreamWriterBuilder compact;
            compact["indentation"] = "";
            const auto field = [&](const std::string& name, const Json::Value& value) {
                line += (line.empty() ? "{" : ",") + Json::writeString(compact, name) + ":" +
                        Json::writeString(compact, value);
            };
            field("time", time);
            field("event", event);
            for (const auto& [name, value] : fields)
                field(name, value);
            line += "}";
        } else {
            line = time + " " + text;
        }
        std::fputs((line + "\n").c_str(), stdout);
        std::fflush(stdout);
    }

    bool m_Json;
    bool m_ScanFailed = false;
};

}  // namespace

void requestWatchStop() {
    std::lock_guard lock(g_WatchLock);
    g_StopRequested = true;
    if (g_WatchLoop != nullptr) {
        // Stops the loop from inside, after what it has queued already.
        LoopDispatcher* loop = g_WatchLoop;
        loop->post([loop] { loop->stop(); });
    }
}

int runWatch(Context& context, double seconds) {
    Clock& clock = systemClock();
    LoopDispatcher loop(clock);
    DeviceContext devices{*context.choice.backend, loop, clock, defaultDataFolder(),
                          productDataFolder()};
    DeviceManager manager(devices, *context.choice.tables);
    WatchPrinter printer(context.json);
    manager.AddObserver(&printer);

    // udev knows only of real hardware; a virtual bus announces its own changes.
    const bool virtualBus = context.choice.bus != nullptr || context.choice.remote != nullptr;
    ScanThread::Options options;
    options.udevMonitor = !virtualBus;
    options.backendAnnounces = virtualBus;
    ScanThread scan(*context.choice.backend, manager.Slots(), loop, manager, options);
    // A scan failure ends the watch.
    struct EndOnFailure final : DeviceManagerObserver {
        explicit EndOnFailure(LoopDispatcher& loop) : loop(loop) {}
        void OnManagerChange(const ManagerChange& change) override {
            if (change.event == ManagerEvent::ScanFailed)
                loop.stop();
        }
        LoopDispatcher& loop;
    } endOnFailure(loop);
    manager.AddObserver(&endOnFailure);

    {
        std::lock_guard lock(g_WatchLock);
        g_WatchLoop = &loop;
        if (g_StopRequested)
            loop.stop();
    }
    scan.start();
    // Beyond thirty years is for ever (and would overflow the clock).
    const auto deadline = seconds < 0 || seconds > 1e9
                              ? Clock::time_point::max()
                              : clock.now() + std::chrono::duration_cast<Clock::duration>(
                                                  std::chrono::duration<double>(seconds));
    loop.run(deadline);
    {
        std::lock_guard lock(g_WatchLock);
        g_WatchLoop = nullptr;
    }
    scan.stop();
    loop.stop();
    manager.RemoveObserver(&endOnFailure);
    manager.RemoveObserver(&printer);
    return printer.scanFailed() ? 1 : 0;
}

}  // namespace qm::cli
