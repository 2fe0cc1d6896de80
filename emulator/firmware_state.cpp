#include "emulator/firmware_state.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "device/hid/bus_protocol.h"
#include "emulator/peripheral.h"
#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "platform/trace.h"
#include "profile/json_file.h"

namespace qm::emu {
namespace {

// Memory areas are stored as hex text, the same form the bus uses for reports.
constexpr std::size_t kMaxAreaBytes = 1 << 20;

std::string toHex(const std::vector<std::uint8_t>& bytes) {
    return bus::toHex(bytes);
}

bool fromHex(const std::string& text, std::vector<std::uint8_t>& bytes) {
    return bus::fromHex(text, kMaxAreaBytes, bytes);
}

bool fromArray(const Json::Value& array, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    for (const Json::Value& value : array) {
        if (!value.isInt() || value.asInt() < 0 || value.asInt() > 0xFF)
            return false;
        bytes.push_back(static_cast<std::uint8_t>(value.asInt()));
    }
    return true;
}

bool parseJson(const std::string& text, Json::Value& root) {
    return parseJsonText(text, root);
}

// A file of another firmware is not this one's state; a file without the name is accepted.
bool namesFirmware(const Json::Value& root, const std::string& name) {
    const Json::Value& firmware = root["firmware"];
    return firmware.isNull() || (firmware.isString() && firmware.asString() == name);
}

}  // namespace

std::string firmwareStatePath(const std::string& dir, std::string_view name) {
    return dir + "/" + std::string(name) + ".json";
}

Json::Value encodeFirmwareState(std::string_view name, const FirmwareMemory& memory) {
    Json::Value root(Json::objectValue);
    root["firmware"] = std::string(name);
    for (Area area : kAreas) {
        if (memory[area].empty())
            continue;
        root[std::string(areaName(area))] = toHex(memory[area]);
    }
    return root;
}

bool decodeFirmwareState(const Json::Value& root, const FirmwareMemory& factory,
                         FirmwareMemory& memory) {
    memory = factory;
    if (!root.isObject())
        return false;
    for (Area area : kAreas) {
        const Json::Value& value = root[std::string(areaName(area))];
        if (value.isNull())
            continue;
        std::vector<std::uint8_t> bytes;
        const bool ok = value.isString()  ? fromHex(value.asString(), bytes)
                        : value.isArray() ? fromArray(value, bytes)
                                          : false;
        if (!ok || bytes.size() != factory[area].size())
            return false;
        memory[area] = std::move(bytes);
    }
    return true;
}

StateLoad loadFirmwareState(const std::string& dir, Peripheral& peripheral) {
    const std::string path = firmwareStatePath(dir, peripheral.name());
    std::error_code error;
    if (!std::filesystem::exists(path, error) && !error)
        return StateLoad::Absent;
    std::string text;
    if (!readFile(path, text)) {
        tracef("%s: cannot read %s; factory memory", peripheral.name().c_str(), path.c_str());
    } else {
        Json::Value root;
        FirmwareMemory memory;
        if (parseJson(text, root) && root.isObject() && namesFirmware(root, peripheral.name()) &&
            decodeFirmwareState(root, peripheral.factoryMemory(), memory) &&
            peripheral.restoreMemory(memory))
            return StateLoad::Loaded;
        tracef("%s: %s is not a valid state file; factory memory", peripheral.name().c_str(),
               path.c_str());
    }
    const std::string aside = keepAside(path);
    if (!aside.empty())
        tracef("%s: kept the bad state file as %s", peripheral.name().c_str(), aside.c_str());
    peripheral.restoreFactory();
    return StateLoad::KeptAside;
}

bool saveFirmwareState(const std::string& dir, const Peripheral& peripheral) {
    if (!makeDirs(dir)) {
        tracef("%s: cannot create the state folder %s", peripheral.name().c_str(), dir.c_str());
        return false;
    }
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "    ";
    const std::string text =
        Json::writeString(builder, encodeFirmwareState(peripheral.name(), peripheral.memory())) +
        "\n";
    return writeFileAtomic(firmwareStatePath(dir, peripheral.name()), text);
}

bool removeFirmwareState(const std::string& dir, std::string_view name) {
    const std::string path = firmwareStatePath(dir, name);
    if (std::remove(path.c_str()) == 0 || errno == ENOENT)
        return true;
    tracef("%s: cannot remove %s", std::string(name).c_str(), path.c_str());
    return false;
}

}  // namespace qm::emu
