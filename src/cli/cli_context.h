// What every command of quillmark-cli shares: the backend, the output form, and finding the
// peripherals present.
#pragma once

#include <json/json.h>

#include <optional>
#include <string>
#include <vector>

#include "backend_choice.h"
#include "device/hid/device_slots.h"
#include "device/hid/scan_pass.h"

namespace qm::cli {

struct Context {
    BackendChoice choice;
    bool json = false;
    std::string controlPath;  // the running app's control socket; empty: the default
};

// Runs one scan pass over the interfaces present into slots. Prints a line on stderr for every
// interface that could not be opened (naming the udev rule when permission is missing). False
// when the listing failed.
bool scanSlots(Context& context, DeviceSlots& slots, std::vector<ScanProblem>& problems);

// The connected command slot that DEVICE names: a peripheral name (its cable slot first, then
// its receiver) or a slot number. -1 with a message in error when there is none.
int findCommandSlot(const DeviceSlots& slots, const std::string& device, std::string& error);

// "keyboard", "mouse", "mousepad" or "headset" for a slot's kind.
const char* peripheralName(std::uint16_t kind);
const char* connectionName(std::uint16_t kind);

// Prints a JSON value on stdout in styled form.
void printJson(const Json::Value& value);
// Prints "quillmark-cli: message" on stderr.
void printError(const std::string& message);

int runList(Context& context);
int runInfo(Context& context, const std::string& device);
// profile DEVICE ACTION [ARG]: list, show [NAME], add, copy, rename NEW, delete, select NAME,
// import FILE, export FILE, reset — on the selected profile.
int runProfile(Context& context, const std::string& device, const std::string& action,
               const std::vector<std::string>& args);
// keys keyboard show | set POSITION CODE | reset POSITION|all: the keyboard's key assignments.
int runKeys(Context& context, const std::string& device, const std::string& action,
            const std::vector<std::string>& args);
// settings keyboard show | set NAME VALUE: the keyboard's system settings.
int runSettings(Context& context, const std::string& device, const std::string& action,
                const std::vector<std::string>& args);
// Runs until seconds have passed (for ever when negative) or requestWatchStop; 1 when the scan
// failed.
int runWatch(Context& context, double seconds);
// Thread-safe: ends the watch in progress, or the next one at its start.
void requestWatchStop();

// The running app, through its control socket: 1 when no app runs or it refused.
int runHostLighting(Context& context, const std::string& state);
int runGameEvent(Context& context, const std::string& which, std::uint32_t wparam,
                 std::uint32_t mode);
int runDevices(Context& context);
// language [NAME|INDEX]: the running app's interface languages, or switches them; with no app
// running, the installed languages and the choice stored for its next start.
int runLanguage(Context& context, const std::optional<std::string>& choice);

}  // namespace qm::cli
