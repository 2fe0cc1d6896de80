// quillmark-cli settings keyboard show | set NAME VALUE: the keyboard's system settings, changed
// as the page changes them (the device's copy, the profile, its file, then the settings block).
#include <charconv>
#include <cstdio>
#include <optional>

#include "cli_context.h"
#include "device/transport/transport_result.h"
#include "device_session.h"

namespace qm::cli {
namespace {

constexpr KeyboardSetting kSystemSettings[] = {
    KeyboardSetting::WinFlag,     KeyboardSetting::WFlag,  KeyboardSetting::Key6Flag,
    KeyboardSetting::PollingRate, KeyboardSetting::Repeat, KeyboardSetting::RepeatDelay,
};
constexpr const char* kSettingNames = "WinFlag, WFlag, Key6Flag, PollingRate, Repeat, RepeatDelay";
// RepeatDelay index d is (d + 1) x 250 ms.
constexpr int kRepeatDelayStepMs = 250;

Json::Value settingJson(const CTessarinKeyboardDevice& keyboard, KeyboardSetting setting) {
    const KeyboardSettingInfo& info = keyboardSettingInfo(setting);
    Json::Value row;
    row["name"] = info.name;
    row["value"] = keyboard.GetSetting(setting);
    row["min"] = info.min;
    row["max"] = info.max;
    // false: kept in the profile only, no device command carries it.
    row["sentToDevice"] = info.sentToDevice;
    return row;
}

void printSetting(const CTessarinKeyboardDevice& keyboard, KeyboardSetting setting) {
    const KeyboardSettingInfo& info = keyboardSettingInfo(setting);
    const int value = keyboard.GetSetting(setting);
    std::string note = std::to_string(info.min) + "-" + std::to_string(info.max);
    if (setting == KeyboardSetting::RepeatDelay)
        note += ", " + std::to_string((value + 1) * kRepeatDelayStepMs) + " ms";
    if (!info.sentToDevice)
        note += ", kept in the profile only";
    std::printf("%-12s %3d  (%s)\n", info.name, value, note.c_str());
}

bool isSystemSetting(KeyboardSetting setting) {
    for (KeyboardSetting each : kSystemSettings)
        if (each == setting)
            return true;
    return false;
}

}  // namespace

int runSettings(Context& context, const std::string& device, const std::string& action,
                const std::vector<std::string>& args) {
    if (device != "keyboard") {
        printError("settings takes keyboard, not '" + device + "'");
        return 2;
    }
    const bool show = action == "show";
    if (!show && action != "set") {
        printError("unknown settings action '" + action + "' (show, set)");
        return 2;
    }
    if (args.size() != (show ? 0u : 2u)) {
        printError(show ? "usage: quillmark-cli settings keyboard show"
                        : "usage: quillmark-cli settings keyboard set NAME VALUE");
        return 2;
    }

    std::optional<KeyboardSetting> setting;
    int value = 0;
    if (!show) {
        setting = keyboardSettingByName(args[0]);
        if (!setting || !isSystemSetting(*setting)) {
            printError("unknown setting '" + args[0] + "' (" + kSettingNames + ")");
            return 2;
        }
        const KeyboardSettingInfo& info = keyboardSettingInfo(*setting);
        const std::string& text = args[1];
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
            printError(std::string(info.name) + " takes a whole number from " +
                       std::to_string(info.min) + " to " + std::to_string(info.max) + ", not '" +
                       text + "'");
            return 2;
        }
        if (value < info.min || value > info.max) {
            printError(std::string(info.name) + " takes " + std::to_string(info.min) + " to " +
                       std::to_string(info.max) + "; " + text + " is out of range");
            return 2;
        }
    }

    KeyboardSession session(context);
    if (!session.attach())
        return 1;
    CTessarinKeyboardDevice& keyboard = session.keyboard();

    if (show) {
        if (context.json) {
            Json::Value out(Json::arrayValue);
            for (KeyboardSetting each : kSystemSettings)
                out.append(settingJson(keyboard, each));
            printJson(out);
        } else {
            for (KeyboardSetting each : kSystemSettings)
                printSetting(keyboard, each);
        }
        return 0;
    }

    const KeyboardSettingInfo& info = keyboardSettingInfo(*setting);
    const int result = keyboard.SetSetting(*setting, value);
    if (result == kResultProfileNotSaved) {
        printError(info.sentToDevice ? "the keyboard took " + std::string(info.name) +
                                           ", but the profile file could not be saved"
                                     : std::string(info.name) +
                                           " was not kept: the profile file could not be "
                                           "saved");
        return 1;
    }
    if (result != kResultOk) {
        // The profile took the value first, as on the page, when its file could be saved; the
        // next write carries it along.
        printError(std::string(info.name) + " was not written to the keyboard: " +
                   resultMessage("keyboard", result));
        return 1;
    }
    if (context.json) {
        printJson(settingJson(keyboard, *setting));
    } else {
        printSetting(keyboard, *setting);
    }
    return 0;
}

}  // namespace qm::cli
