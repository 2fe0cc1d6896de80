#include "cli_context.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

namespace qm::cli {

bool scanSlots(Context& context, DeviceSlots& slots, std::vector<ScanProblem>& problems) {
    CHidDevice probe(*context.choice.backend);
    if (!claimPresentInterfaces(probe, slots, {}, &problems)) {
        printError("cannot list the HID interfaces of this machine");
        return false;
    }
    for (const ScanProblem& problem : problems) {
        if (problem.error == EACCES || problem.error == EPERM) {
            printError("cannot open " + problem.path +
                       ": permission denied; install the udev rule data/udev/70-quillmark.rules "
                       "into /etc/udev/rules.d/ and plug the peripheral in again");
        } else {
            printError("cannot open " + problem.path + ": " + std::strerror(problem.error));
        }
    }
    return true;
}

const char* peripheralName(std::uint16_t kind) {
    switch (kind) {
        case DEVICE_KEYBOARD:
        case DEVICE_KEYBOARD_24G:
            return "keyboard";
        case DEVICE_MOUSE:
        case DEVICE_MOUSE_24G:
            return "mouse";
        case DEVICE_MOUSEPAD:
            return "mousepad";
        case DEVICE_HEADSET:
            return "headset";
        default:
            return "unknown";
    }
}

const char* connectionName(std::uint16_t kind) {
    return isReceiverKind(kind) ? "receiver" : "cable";
}

void printJson(const Json::Value& value) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "  ";
    std::cout << Json::writeString(builder, value) << '\n';
}

void printError(const std::string& message) {
    std::fprintf(stderr, "quillmark-cli: %s\n", message.c_str());
}

}  // namespace qm::cli
