// The commands that talk to the running app through its control socket.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "app/languages.h"
#include "cli_context.h"
#include "platform/control_client.h"

namespace qm::cli {
namespace {

using control::ControlClient;

std::string socketPath(const Context& context) {
    return context.controlPath.empty() ? control::socketPathFromEnvironment() : context.controlPath;
}

bool noAppServes(int error) {
    return error == ENOENT || error == ECONNREFUSED;
}

// Connects to the app; prints why not and returns false when no app can be reached.
bool connectApp(const Context& context, ControlClient& client) {
    const std::string path = socketPath(context);
    const int error = client.connect(path);
    if (error == 0)
        return true;
    if (noAppServes(error))
        printError(control::kNoAppMessage);
    else
        printError("cannot reach the app at " + path + ": " + std::strerror(error));
    return false;
}

// The language that choice names: an index of names, else a name as matchLanguage finds it;
// -1 when none.
int resolveLanguage(const std::vector<std::string>& names, const std::string& choice) {
    const bool digits = !choice.empty() && choice.size() <= 4 &&
                        choice.find_first_not_of("0123456789") == std::string::npos;
    if (digits) {
        const std::size_t index = std::stoul(choice);
        return index < names.size() ? static_cast<int>(index) : -1;
    }
    return control::matchLanguage(names, choice);
}

// "unknown language "xx" (zh_CN, en_US or 0 to 1)", on one line whatever choice holds.
std::string unknownLanguage(const std::vector<std::string>& names, std::string choice) {
    for (char& c : choice) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    }
    if (names.empty())
        return "unknown language \"" + choice + "\" (the app offers none)";
    std::string known;
    for (const std::string& name : names)
        known += (known.empty() ? "" : ", ") + name;
    return "unknown language \"" + choice + "\" (" + known + " or 0 to " +
           std::to_string(names.size() - 1) + ")";
}

void printLanguages(const Context& context, const control::LanguageState& state, bool running) {
    if (context.json) {
        Json::Value out = control::encodeLanguageState(state);
        out["running"] = running;
        printJson(out);
        return;
    }
    for (std::size_t i = 0; i < state.names.size(); ++i)
        std::printf("%c %zu %s\n", static_cast<int>(i) == state.current ? '*' : ' ', i,
                    state.names[i].c_str());
}

void printSwitched(const Context& context, const control::LanguageState& state, bool running) {
    if (context.json) {
        printLanguages(context, state, running);
        return;
    }
    const std::string name =
        state.current >= 0 ? state.names[static_cast<std::size_t>(state.current)] : "none";
    if (running)
        std::printf("language: %s\n", name.c_str());
    else
        std::printf("language: %s (stored; the app starts with it next time)\n", name.c_str());
}

// No app runs: the installed languages and the stored choice in settings.json.
int runStoredLanguage(Context& context, const std::optional<std::string>& choice) {
    app::Languages languages = app::Languages::Installed();
    control::LanguageState state;
    for (const app::LanguageEntry& entry : languages.list())
        state.names.push_back(entry.name);
    if (state.names.empty()) {
        printError("no interface language is installed");
        return 1;
    }
    state.current = languages.ReadLanguageIndex(app::SystemMessagesLocale());
    if (!choice) {
        printLanguages(context, state, false);
        return 0;
    }
    const int index = resolveLanguage(state.names, *choice);
    if (index < 0) {
        printError(unknownLanguage(state.names, *choice));
        return 2;
    }
    if (languages.WriteLanguageId(languages.list()[static_cast<std::size_t>(index)].id) != 0) {
        printError("cannot store the language in the settings file");
        return 1;
    }
    state.current = index;
    printSwitched(context, state, false);
    return 0;
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

int runLanguage(Context& context, const std::optional<std::string>& choice) {
    ControlClient client;
    const std::string path = socketPath(context);
    const int error = client.connect(path);
    if (noAppServes(error))
        return runStoredLanguage(context, choice);
    if (error != 0) {
        printError("cannot reach the app at " + path + ": " + std::strerror(error));
        return 1;
    }
    control::LanguageState state;
    std::string why;
    if (!client.languages(state, why)) {
        printError("no language list: " + why);
        return 1;
    }
    if (!choice) {
        printLanguages(context, state, true);
        return 0;
    }
    const int index = resolveLanguage(state.names, *choice);
    if (index < 0) {
        printError(unknownLanguage(state.names, *choice));
        return 2;
    }
    control::LanguageChoice request;
    request.index = static_cast<std::uint32_t>(index);
    if (!client.setLanguage(request, state, why)) {
        printError("language not switched: " + why);
        return 1;
    }
    printSwitched(context, state, true);
    return 0;
}

}  // namespace qm::cli
