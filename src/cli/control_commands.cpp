// The commands that talk to the running app through its control socket.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli_context.h"
#include "platform/control_client.h"

namespace qm::cli {
namespace {

using control::ControlClient;

// Connects to the app; prints why not and returns false when no app can be reached.
bool connectApp(const Context& context, ControlClient& client) {
    const std::string& path =
        context.controlPath.empty() ? control::socketPathFromEnvironment() : context.controlPath;
    const int error = client.connect(path);
    if (error == 0)
        return true;
    if (error == ENOENT || error == ECONNREFUSED)
        printError(control::kNoAppMessage);
    else
        printError("cannot reach the app at " + path + ": " + std::strerror(error));
    return false;
}

}  // namespace

int runHostLighting(Context& context, const std::string& state) {
    if (state != "on" && state != "off") {
        printError("host-lighting takes on or off, not \"" + state + "\"");
        return 2;
    }
    ControlClient client;
    if (!connectApp(context, client))
        return 1;
    bool now = false;
    std::string why;
    if (!client.setHostLighting(state == "on", now, why)) {
        printError("host lighting control not changed: " + why);
        return 1;
    }
    if (context.json) {
        Json::Value out(Json::objectValue);
        out["on"] = now;
        printJson(out);
    } else {
        std::printf("host lighting control: %s\n", now ? "on" : "off");
    }
    return 0;
}

int runGameEvent(Context& context, const std::string& which, std::uint32_t wparam,
                 std::uint32_t mode) {
    static constexpr const char* kWords[] = {"start", "end", "kill", "death"};
    control::GameEvent event;
    for (std::size_t i = 0; i < std::size(kWords); ++i) {
        if (which == kWords[i])
            event.name = control::kGameEventNames[i];
    }
    if (event.name.empty()) {
        printError("game-event takes start, end, kill or death, not \"" + which + "\"");
        return 2;
    }
    event.wparam = wparam;
    event.lparam = mode;
    ControlClient client;
    if (!connectApp(context, client))
        return 1;
    std::string why;
    if (!client.sendGameEvent(event, why)) {
        printError(event.name + " not sent: " + why);
        return 1;
    }
    if (context.json) {
        Json::Value out(Json::objectValue);
        out["name"] = event.name;
        out["wparam"] = event.wparam;
        out["lparam"] = event.lparam;
        printJson(out);
    } else {
        std::printf("sent %s (wparam %u, mode %u)\n", event.name.c_str(), event.wparam,
                    event.lparam);
    }
    return 0;
}

int runDevices(Context& context) {
    ControlClient client;
    if (!connectApp(context, client))
        return 1;
    std::vector<control::DeviceReportRow> rows;
    std::string why;
    if (!client.deviceReport(rows, why)) {
        printError("no device report: " + why);
        return 1;
    }
    if (context.json) {
        printJson(control::encodeDeviceReport(rows));
        return 0;
    }
    const auto& h = control::kDeviceReportHeader;
    std::printf("device report %d %d %d %d, %zu rows\n", h[0], h[1], h[2], h[3], rows.size());
    std::printf("%-8s %-8s %s\n", "vendor", "product", "kind");
    for (const control::DeviceReportRow& row : rows) {
        std::printf("0x%04x   0x%04x   %d (%s)\n", static_cast<unsigned>(row.vendorId),
                    static_cast<unsigned>(row.productId), row.kind,
                    peripheralName(static_cast<std::uint16_t>(row.kind)));
    }
    return 0;
}

}  // namespace qm::cli
