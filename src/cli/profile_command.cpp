// quillmark-cli profile DEVICE ACTION [ARG]: the profiles of one peripheral.
#include <cstdio>
#include <map>

#include "cli_context.h"
#include "device/hid/hid_path.h"
#include "device/model/peripheral_devices.h"
#include "device/transport/transport_result.h"
#include "device_session.h"
#include "platform/data_paths.h"
#include "profile/json_file.h"

namespace qm::cli {
namespace {

struct DeviceName {
    const char* cli;
    std::uint16_t kind;
};
constexpr DeviceName kDevices[] = {
    {"keyboard", DEVICE_KEYBOARD},
    {"mouse", DEVICE_MOUSE},
    {"mousepad", DEVICE_MOUSEPAD},
    {"headset", DEVICE_HEADSET},
};

// Opens the peripheral's command interface when it is present, so that a selected profile is
// written to it. True when the device is attached afterwards.
bool attachIfPresent(Context& context, CTessarinUSBDevice& device, const std::string& name) {
    DeviceSlots slots(context.choice.tables->Interfaces);
    std::vector<ScanProblem> problems;
    if (!scanSlots(context, slots, problems))
        return false;
    std::string absent;
    const int index = findCommandSlot(slots, name, absent);
    if (index < 0)
        return false;
    const UsbInterfaceRecord& slot = slots[static_cast<std::size_t>(index)];
    return device.Transport().OpenCommandInterface(
               slot.Path, isReceiverKind(slot.Kind) ? kModeReceiver : kModeCable) == 0;
}

int report(const ProfileOutcome& outcome, const char* doneText) {
    switch (outcome.result) {
        case ProfileResult::Done:
            if (doneText != nullptr)
                std::printf("%s\n", doneText);
            return 0;
        case ProfileResult::Unchanged:
            std::printf("nothing changed%s%s\n", outcome.detail.empty() ? "" : ": ",
                        outcome.detail.c_str());
            return 0;
        case ProfileResult::NameTaken:
            printError("another profile already has that name");
            return 1;
        case ProfileResult::BlankName:
            printError("a profile name cannot be blank");
            return 1;
        case ProfileResult::Refused:
        case ProfileResult::WriteFailed:
            printError(outcome.detail.empty() ? "the profile operation failed" : outcome.detail);
            return 1;
    }
    return 1;
}

int listProfiles(Context& context, const ProfileList& list) {
    if (context.json) {
        Json::Value out;
        out["selected"] = list.GetSelectedIndex();
        Json::Value rows(Json::arrayValue);
        for (int i = 0; i < list.GetProfileCount(); ++i) {
            Json::Value row;
            row["name"] = list.Profiles()[static_cast<std::size_t>(i)].name;
            row["id"] = list.Profiles()[static_cast<std::size_t>(i)].id;
            row["selected"] = i == list.GetSelectedIndex();
            rows.append(row);
        }
        out["profiles"] = rows;
        printJson(out);
        return 0;
    }
    for (int i = 0; i < list.GetProfileCount(); ++i) {
        const ProfileEntry& entry = list.Profiles()[static_cast<std::size_t>(i)];
        std::printf("%s %s\n", i == list.GetSelectedIndex() ? "*" : " ", entry.name.c_str());
    }
    return 0;
}

// The index of the profile named name, or -1.
int findProfile(const ProfileList& list, const std::string& name) {
    for (int i = 0; i < list.GetProfileCount(); ++i)
        if (list.Profiles()[static_cast<std::size_t>(i)].name == name)
            return i;
    return -1;
}

int showProfile(Context& context, const ProfileList& list, int index) {
    const std::string file = list.GetProfileFilePath(index);
    JsonFileState state = JsonFileState::Ok;
    const Json::Value document = LoadJsonDocument(file, &state);
    if (state != JsonFileState::Ok) {
        printError("cannot read " + file);
        return 1;
    }
    if (context.json) {
        printJson(document);
        return 0;
    }
    const ProfileEntry& entry = list.Profiles()[static_cast<std::size_t>(index)];
    std::printf("name:      %s\nid:        %s\nfile:      %s\n", entry.name.c_str(),
                entry.id.c_str(), file.c_str());
    const Json::Value& device =
        document.isObject() && document["Device"].isArray() && document["Device"].size() > 0
            ? document["Device"][0]
            : Json::Value::nullSingleton();
    if (device.isObject()) {
        std::printf("sections: ");
        for (const std::string& key : device.getMemberNames())
            std::printf(" %s", key.c_str());
        std::printf("\n");
    }
    return 0;
}

}  // namespace

int runProfile(Context& context, const std::string& deviceName, const std::string& action,
               const std::vector<std::string>& args) {
    std::uint16_t kind = 0;
    for (const DeviceName& d : kDevices)
        if (deviceName == d.cli)
            kind = d.kind;
    if (kind == 0) {
        printError("unknown device '" + deviceName + "' (keyboard, mouse, mousepad, headset)");
        return 2;
    }
    static const std::map<std::string, std::size_t> kArgs = {
        {"list", 0},   {"show", 1},   {"add", 0},    {"copy", 0},   {"rename", 1},
        {"delete", 0}, {"select", 1}, {"import", 1}, {"export", 1}, {"reset", 0},
    };
    const auto known = kArgs.find(action);
    if (known == kArgs.end()) {
        printError("unknown profile action '" + action +
                   "' (list, show, add, copy, rename, delete, select, import, export, reset)");
        return 2;
    }
    const bool optional = action == "show";
    if (args.size() > known->second || (!optional && args.size() < known->second)) {
        printError("profile " + action +
                   (known->second == 0 ? " takes no argument" : " takes one argument"));
        return 2;
    }

    LoopDispatcher dispatcher;
    DeviceContext deviceContext{*context.choice.backend, dispatcher, systemClock(),
                                defaultDataFolder(), productDataFolder()};
    auto device = makeDevice(*context.choice.tables, kind, deviceContext);
    if (device == nullptr) {
        printError("no device tables for " + deviceName);
        return 1;
    }
    ProfileList& list = device->Profiles();
    if (list.GetSelectedIndex() < 0) {
        printError("cannot read or create the profiles in " + device->UserDataFolder());
        return 1;
    }
    const std::string arg = args.empty() ? std::string() : args[0];

    if (action == "list")
        return listProfiles(context, list);
    if (action == "show") {
        const int index = arg.empty() ? list.GetSelectedIndex() : findProfile(list, arg);
        if (index < 0) {
            printError("no profile named '" + arg + "'");
            return 1;
        }
        return showProfile(context, list, index);
    }
    if (action == "add")
        return report(list.AddProfile(), "added");
    if (action == "copy")
        return report(list.CopyProfile(), "copied");
    if (action == "rename")
        return report(list.RenameProfile(arg), "renamed");
    if (action == "delete")
        return report(list.DeleteProfile(), "deleted");
    if (action == "import")
        return report(list.ImportProfile(arg), "imported");
    if (action == "export")
        return report(list.ExportProfile(arg), "exported");
    if (action == "reset")
        return report(list.ResetProfile(), "reset to factory settings");
    // select
    const int index = findProfile(list, arg);
    if (index < 0) {
        printError("no profile named '" + arg + "'");
        return 1;
    }
    const bool attached = attachIfPresent(context, *device, deviceName);
    const ProfileOutcome selected = list.SelectProfile(index);
    int status = report(selected, nullptr);
    if (status == 0) {
        const int written = device->LastProfileWrite();
        if (attached && written < 0) {
            printError(resultMessage(deviceName, written));
            status = 1;
        } else {
            std::printf("%s\n", attached && written == kResultOk
                                    ? "selected and written to the device"
                                    : "selected");
        }
    }
    device->Detach();
    return status;
}

}  // namespace qm::cli
