// quillmark-cli: the command line client of the Quillmark core.
#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <vector>

#include "cli_context.h"
#include "platform/control_protocol.h"
#include "platform/termination_signals.h"
#include "platform/trace.h"
#include "report_trace_file.h"

int main(int argc, char** argv) {
    CLI::App app{"Configure Quillmark keyboards, mice, mousepads and headsets."};
    app.require_subcommand(1);
    // Global options may also follow the command: "list --json".
    app.fallthrough();

    std::string virtualList;
    bool verbose = false;
    bool json = false;
    std::string traceReports;
    CLI::Option* virtualOption =
        app.add_flag("--virtual{__default__}", virtualList,
                     "Use the virtual peripherals: --virtual=LIST, a comma list of keyboard, "
                     "keyboard-receiver, mouse, mouse-receiver, mousepad, headset "
                     "(alone: keyboard,mouse,mousepad,headset), or --virtual=socket:PATH for "
                     "the bus of a running 'quillmark-virtual serve'");
    app.add_flag("--json", json, "Machine-readable output");
    app.add_flag("-v,--verbose", verbose, "Write debug traces to stderr");
    app.add_option("--trace-reports", traceReports,
                   "Write every report exchanged with a peripheral to FILE");
    std::string controlPath;
    app.add_option("--control", controlPath,
                   "The running app's control socket (default: $QUILLMARK_CONTROL, else "
                   "$XDG_RUNTIME_DIR/quillmark/control)");

    CLI::App* list = app.add_subcommand("list", "The supported interfaces present and their slots");
    CLI::App* info = app.add_subcommand("info", "Read a peripheral's information block");
    std::string device;
    info->add_option("DEVICE", device, "keyboard, mouse, mousepad, headset or a slot number")
        ->required();

    CLI::App* watch = app.add_subcommand(
        "watch", "Print peripherals as they arrive, leave, switch connection and report power");
    double watchSeconds = -1;
    watch->add_option("--for", watchSeconds, "Stop after SECONDS (default: at Ctrl-C)")
        ->check(CLI::NonNegativeNumber);

    CLI::App* profile = app.add_subcommand(
        "profile",
        "The profiles of a peripheral: list, show [NAME], add, copy, rename NEW, "
        "delete, select NAME, import FILE, export FILE, reset");
    std::string profileDevice;
    std::string profileAction;
    std::vector<std::string> profileArgs;
    profile->add_option("DEVICE", profileDevice, "keyboard, mouse, mousepad or headset")
        ->required();
    profile->add_option("ACTION", profileAction, "What to do")->required();
    profile->add_option("ARG", profileArgs, "The action's argument");

    CLI::App* keys = app.add_subcommand(
        "keys",
        "The keyboard's key assignments: show, set POSITION CODE, reset POSITION|all. POSITION "
        "is 0-169 or the key there (F1, CapsLock); CODE six hex digits (type, b1, b2: 200005) or "
        "a name (B, ctrl+c, media:play, mouse:left, dpi:up, system:sleep, macro:NAME, off)");
    std::string keysDevice;
    std::string keysAction;
    std::vector<std::string> keysArgs;
    keys->add_option("DEVICE", keysDevice, "keyboard")->required();
    keys->add_option("ACTION", keysAction, "show, set or reset")->required();
    keys->add_option("ARG", keysArgs, "set: POSITION CODE; reset: POSITION or all");

    CLI::App* settings = app.add_subcommand(
        "settings",
        "The keyboard's system settings: show, set NAME VALUE (WinFlag, WFlag, Key6Flag, "
        "PollingRate, Repeat, RepeatDelay)");
    std::string settingsDevice;
    std::string settingsAction;
    std::vector<std::string> settingsArgs;
    settings->add_option("DEVICE", settingsDevice, "keyboard")->required();
    settings->add_option("ACTION", settingsAction, "show or set")->required();
    settings->add_option("ARG", settingsArgs, "set: NAME VALUE");

    CLI::App* hostLighting =
        app.add_subcommand("host-lighting", "Switch the running app's host lighting control");
    std::string hostLightingState;
    hostLighting->add_option("STATE", hostLightingState, "on or off")
        ->required()
        ->check(CLI::IsMember({"on", "off"}));
    CLI::App* gameEvent =
        app.add_subcommand("game-event", "Send the running app a game lighting event");
    std::string gameEventName;
    std::uint32_t gameWparam = 0;
    std::uint32_t gameMode = 0;
    gameEvent->add_option("EVENT", gameEventName, "start, end, kill or death")
        ->required()
        ->check(CLI::IsMember({"start", "end", "kill", "death"}));
    gameEvent->add_option("WPARAM", gameWparam, "0 (return to the mode afterwards), 1 or 2")
        ->required()
        ->check(CLI::Range(0u, qm::control::kMaxGameWparam));
    gameEvent->add_option("MODE", gameMode, "The lighting mode to show")
        ->required()
        ->check(CLI::Range(0u, qm::control::kMaxGameMode));
    CLI::App* devices = app.add_subcommand("devices", "The running app's device report");
    CLI::App* language = app.add_subcommand(
        "language",
        "List the interface languages, or switch to one: at once in the running app, else from "
        "its next start");
    std::string languageChoice;
    CLI::Option* languageOption =
        language->add_option("LANGUAGE", languageChoice, "A name (en_US, en) or an index");

    CLI11_PARSE(app, argc, argv);

    // SIGINT and SIGTERM end a watch cleanly; taken over before any thread starts.
    std::optional<qm::TerminationSignals> stopSignals;
    if (*watch)
        stopSignals.emplace([](int) { qm::cli::requestWatchStop(); });

    if (verbose)
        qm::setTraceEnabled(true);
    std::optional<std::string> virtualChoice;
    if (virtualOption->count() > 0)
        virtualChoice = virtualList == "__default__" ? std::string() : virtualList;

    qm::cli::Context context;
    context.json = json;
    context.controlPath = controlPath;
    std::string error;
    if (!qm::cli::chooseBackend(virtualChoice, context.choice, error)) {
        qm::cli::printError(error);
        return 2;
    }
    qm::cli::ReportTraceFile traceFile;
    if (!traceReports.empty() && !traceFile.start(traceReports)) {
        qm::cli::printError("cannot create " + traceReports);
        return 2;
    }

    if (*list)
        return qm::cli::runList(context);
    if (*info)
        return qm::cli::runInfo(context, device);
    if (*watch)
        return qm::cli::runWatch(context, watchSeconds);
    if (*profile)
        return qm::cli::runProfile(context, profileDevice, profileAction, profileArgs);
    if (*keys)
        return qm::cli::runKeys(context, keysDevice, keysAction, keysArgs);
    if (*settings)
        return qm::cli::runSettings(context, settingsDevice, settingsAction, settingsArgs);
    if (*hostLighting)
        return qm::cli::runHostLighting(context, hostLightingState);
    if (*gameEvent)
        return qm::cli::runGameEvent(context, gameEventName, gameWparam, gameMode);
    if (*devices)
        return qm::cli::runDevices(context);
    if (*language)
        return qm::cli::runLanguage(context, languageOption->count() > 0
                                                 ? std::optional<std::string>(languageChoice)
                                                 : std::nullopt);
    return 2;
}
