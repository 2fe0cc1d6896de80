// quillmark-virtual: the virtual peripherals as a bus in a process of their own, which several
// programs reach at once (quillmark-cli --virtual=socket:PATH), and the commands that plug,
// unplug, switch, fault and poke them while it runs, or change them as their own keys would.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "device/hid/bus_client.h"
#include "emulator/bus_server.h"
#include "emulator/virtual_bus.h"
#include "platform/termination_signals.h"
#include "platform/trace.h"

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "quillmark-virtual: %s\n", message.c_str());
    return 1;
}

// "0x10" or "16"; false unless the whole text is a number from 0 to max.
bool parseNumber(const std::string& text, std::uint32_t max, std::uint32_t& number) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits.size() > 6)
        return false;
    std::uint32_t value = 0;
    for (char c : digits) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (hex && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (hex && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return false;
        }
        value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
    }
    if (value > max)
        return false;
    number = value;
    return true;
}

int serve(const std::string& socketPath, const std::string& plugged, int timingUs) {
    std::vector<std::string> names;
    std::string error;
    // Here an empty list means an empty bus, not the default set.
    if (!plugged.empty() && !qm::emu::parsePeripheralList(plugged, names, error))
        return fail(error);
    if (timingUs < 0)
        return fail("--timing-us must be 0 or more");

    qm::emu::BusServer::Options options;
    options.socketPath = socketPath;
    options.bus.stateDir = qm::emu::VirtualBus::defaultStateDir();
    options.bus.timing = {std::chrono::microseconds(timingUs), std::chrono::microseconds(timingUs)};
    qm::emu::BusServer server(std::move(options));
    // Before any other thread starts, so that every thread leaves the signals to this one.
    qm::TerminationSignals signals([&server](int) { server.stop(); });
    if (!server.start(error))
        return fail(error);
    for (const std::string& name : names)
        server.bus().plug(name);
    std::fprintf(stderr, "quillmark-virtual: serving at %s; Ctrl-C ends it\n", socketPath.c_str());
    if (!server.run())
        return fail("could not save the virtual peripherals' memory to " +
                    qm::emu::VirtualBus::defaultStateDir());
    return 0;
}

void printStatus(const std::vector<qm::bus::BusEntry>& entries) {
    for (const qm::bus::BusEntry& entry : entries) {
        std::string state = entry.plugged ? "plugged" : "-";
        if (entry.plugged && entry.receiver)
            state += entry.powered ? ", peripheral on" : ", peripheral off";
        if (entry.external) {
            char ids[32];
            std::snprintf(ids, sizeof ids, " (external %04x:%04x)", entry.vendorId,
                          entry.productId);
            state += ids;
        }
        std::printf("%-20s %s\n", entry.name.c_str(), state.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "The virtual Quillmark bus: serve it, or plug, unplug, switch and fault its "
        "peripherals while it runs, or change them as their own keys would."};
    app.require_subcommand(1);
    app.fallthrough();

    std::string socketPath = qm::bus::defaultSocketPath();
    bool verbose = false;
    app.add_option("--socket", socketPath,
                   "The bus's socket (default $XDG_RUNTIME_DIR/quillmark/virtual-bus)");
    app.add_flag("-v,--verbose", verbose, "Write debug traces to stderr");

    CLI::App* serveCommand =
        app.add_subcommand("serve", "Run the bus in the foreground until SIGINT or SIGTERM");
    std::string plugged;
    int timingUs = 1000;
    serveCommand->add_option("--plugged", plugged,
                             "Peripherals plugged in at start, a comma list of keyboard, "
                             "keyboard-receiver, mouse, mouse-receiver, mousepad, headset "
                             "(default: none)");
    serveCommand->add_option("--timing-us", timingUs,
                             "What one report costs each way, in microseconds (default 1000)");

    std::string name;
    CLI::App* plugCommand = app.add_subcommand("plug", "Plug a peripheral or device in");
    plugCommand->add_option("NAME", name, "keyboard, keyboard-receiver, mouse, ...")->required();
    CLI::App* unplugCommand = app.add_subcommand("unplug", "Pull a peripheral or device out");
    unplugCommand->add_option("NAME", name, "keyboard, keyboard-receiver, mouse, ...")->required();

    CLI::App* powerCommand =
        app.add_subcommand("power", "Switch the peripheral behind a receiver on or off");
    std::string state;
    powerCommand->add_option("STATE", state, "on or off")
        ->required()
        ->check(CLI::IsMember({"on", "off"}));
    powerCommand
        ->add_option("NAME", name, "keyboard-receiver or mouse-receiver (or keyboard, mouse)")
        ->required();

    CLI::App* faultCommand =
        app.add_subcommand("fault", "Make a peripheral fail on its nth next command report");
    std::string kind;
    unsigned nth = 1;
    faultCommand->add_option("NAME", name, "keyboard, keyboard-receiver, mouse, ...")->required();
    faultCommand
        ->add_option("KIND", kind,
                     "no-answer, wrong-echo, status-fe, status-ff, unplug or power-off")
        ->required();
    faultCommand->add_option("N", nth, "Which report: 1 (default) is the next");

    CLI::App* emitCommand = app.add_subcommand("emit", "Send an event code on a peripheral");
    std::string code;
    emitCommand->add_option("NAME", name, "keyboard, mouse, ...")->required();
    emitCommand->add_option("CODE", code, "The event code, decimal or 0x hex")->required();

    CLI::App* profileCommand = app.add_subcommand(
        "profile", "Switch a peripheral's on-board profile slot, as its own keys would");
    std::string slot;
    profileCommand->add_option("NAME", name, "keyboard, mouse, ...")->required();
    profileCommand->add_option("SLOT", slot, "The slot, from 0")->required();

    CLI::App* setCommand = app.add_subcommand(
        "set", "Change one byte of a profile slot's settings block on the peripheral");
    std::string byte;
    std::string value;
    std::string setSlot;
    setCommand->add_option("NAME", name, "keyboard, mouse, ...")->required();
    setCommand->add_option("BYTE", byte, "The byte's offset in the block, decimal or 0x hex")
        ->required();
    setCommand->add_option("VALUE", value, "0 to 255, decimal or 0x hex")->required();
    setCommand->add_option("--slot", setSlot, "The profile slot (default: the active one)");

    CLI::App* resetCommand = app.add_subcommand(
        "reset", "The peripheral's own factory reset: factory memory back, then event 0x402");
    resetCommand->add_option("NAME", name, "keyboard, mouse, ...")->required();

    CLI::App* statusCommand = app.add_subcommand("status", "What is plugged in");

    CLI11_PARSE(app, argc, argv);
    if (verbose)
        qm::setTraceEnabled(true);

    if (*serveCommand)
        return serve(socketPath, plugged, timingUs);

    std::uint32_t eventCode = 0;
    if (*emitCommand && !parseNumber(code, 0xFFFF, eventCode))
        return fail("CODE must be a number from 0 to 0xFFFF, decimal or 0x hex: " + code);
    std::uint32_t slotNumber = 0;
    if (*profileCommand && !parseNumber(slot, 255, slotNumber))
        return fail("SLOT must be a number from 0 to 255: " + slot);
    std::uint32_t byteOffset = 0;
    std::uint32_t byteValue = 0;
    std::optional<std::uint8_t> blockSlot;
    if (*setCommand) {
        if (!parseNumber(byte, 0xFFFF, byteOffset))
            return fail("BYTE must be a number from 0 to 0xFFFF, decimal or 0x hex: " + byte);
        if (!parseNumber(value, 255, byteValue))
            return fail("VALUE must be a number from 0 to 255, decimal or 0x hex: " + value);
        if (!setSlot.empty()) {
            if (!parseNumber(setSlot, 255, slotNumber))
                return fail("--slot must be a number from 0 to 255: " + setSlot);
            blockSlot = static_cast<std::uint8_t>(slotNumber);
        }
    }

    qm::bus::ControlClient control;
    std::string why;
    if (control.connect(socketPath, why) != 0)
        return fail(why);
    bool ok = false;
    if (*plugCommand) {
        ok = control.plug(name, why);
    } else if (*unplugCommand) {
        ok = control.unplug(name, why);
    } else if (*powerCommand) {
        ok = control.power(name, state == "on", why);
    } else if (*faultCommand) {
        ok = control.fault(name, kind, nth, why);
    } else if (*emitCommand) {
        ok = control.emit(name, static_cast<std::uint16_t>(eventCode), why);
    } else if (*profileCommand) {
        ok = control.profile(name, static_cast<std::uint8_t>(slotNumber), why);
    } else if (*setCommand) {
        ok = control.set(name, blockSlot, byteOffset, static_cast<std::uint8_t>(byteValue), why);
    } else if (*resetCommand) {
        ok = control.reset(name, why);
    } else if (*statusCommand) {
        std::vector<qm::bus::BusEntry> entries;
        ok = control.status(entries, why);
        if (ok)
            printStatus(entries);
    }
    return ok ? 0 : fail(why);
}
