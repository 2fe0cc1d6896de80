// The requests of the virtual bus protocol, one handler each; every line gets one answer.
#include <array>
#include <cerrno>

#include "device/hid/bus_protocol.h"
#include "emulator/bus_server_state.h"
#include "emulator/identity.h"
#include "emulator/peripheral.h"
#include "platform/trace.h"

namespace qm::emu {
namespace {

using Handler = Json::Value (BusServerState::*)(BusConnection&, const Json::Value&);

struct Request {
    const char* op;
    BusRole role;
    Handler handler;
};

// clang-format off
const std::array<Request, 18> kRequests = {{
    {bus::op::kEnumerate, BusRole::Host,    &BusServerState::enumerate},
    {bus::op::kExists,    BusRole::Host,    &BusServerState::exists},
    {bus::op::kOpen,      BusRole::Host,    &BusServerState::open},
    {bus::op::kWrite,     BusRole::Host,    &BusServerState::write},
    {bus::op::kClose,     BusRole::Host,    &BusServerState::close},
    {bus::op::kWatch,     BusRole::Host,    &BusServerState::watch},
    {bus::op::kAnnounce,  BusRole::Device,  &BusServerState::announce},
    {bus::op::kInput,     BusRole::Device,  &BusServerState::input},
    {bus::op::kPlug,      BusRole::Control, &BusServerState::plug},
    {bus::op::kUnplug,    BusRole::Control, &BusServerState::unplug},
    {bus::op::kPower,     BusRole::Control, &BusServerState::power},
    {bus::op::kFault,     BusRole::Control, &BusServerState::fault},
    {bus::op::kEmit,      BusRole::Control, &BusServerState::emit},
    {bus::op::kStatus,    BusRole::Control, &BusServerState::status},
    {bus::op::kProfile,   BusRole::Control, &BusServerState::switchProfile},
    {bus::op::kSet,       BusRole::Control, &BusServerState::setByte},
    {bus::op::kReset,     BusRole::Control, &BusServerState::factoryReset},
    {bus::op::kHello,     BusRole::None,    &BusServerState::hello},
}};
// clang-format on

const char* roleName(BusRole role) {
    switch (role) {
        case BusRole::Host:
            return "host";
        case BusRole::Device:
            return "device";
        case BusRole::Control:
            return "control";
        case BusRole::None:
            break;
    }
    return "none";
}

Json::Value malformed(const Json::Value& request, const bus::Fields& fields) {
    return bus::errorAnswer(request, bus::error::kMalformed, fields.error());
}

// The receiver link that power switches: a receiver by name, or the peripheral behind it.
std::string receiverOf(const std::string& name) {
    if (name == "keyboard" || name == "mouse")
        return name + "-receiver";
    return name;
}

// The firmware of a built-in peripheral that can be changed on the device now: one of its
// connections (cable or receiver) is plugged in and switched on. Null, with the refusal in
// refusal, otherwise.
Peripheral* changeableFirmware(VirtualBus& bus, const Json::Value& request, const std::string& name,
                               Json::Value& refusal) {
    const Identity* identity = isPeripheralName(name) ? findIdentity(name) : nullptr;
    Peripheral* firmware = identity != nullptr ? bus.firmware(name) : nullptr;
    if (firmware == nullptr) {
        refusal = bus::errorAnswer(request, bus::error::kNotFound, "no peripheral named " + name);
        return nullptr;
    }
    for (const char* each : kPeripheralNames) {
        const Identity* other = findIdentity(each);
        if (other != nullptr && other->firmware == identity->firmware && bus.isPlugged(each) &&
            bus.isPowered(each))
            return firmware;
    }
    refusal = bus::errorAnswer(request, bus::error::kNotPlugged,
                               name + " is not plugged in or switched off");
    return nullptr;
}

// "slots 0 to 3" for a firmware's profile slots.
std::string slotRange(const Peripheral& firmware) {
    const std::size_t slots = firmware.profileCount();
    return slots == 0 ? std::string("no profile slots")
                      : "profile slots 0 to " + std::to_string(slots - 1);
}

// Forwards the input reports of a built-in interface to the loop until it ends.
void forwardInput(hid::HidConnection& connection, BusInbox& inbox, std::uint64_t owner,
                  std::uint32_t handle) {
    std::vector<std::uint8_t> buffer(bus::kMaxReport);
    for (;;) {
        std::size_t got = 0;
        const hid::IoStatus status = connection.read(buffer, -1, got);
        if (status == hid::IoStatus::Ok) {
            if (got > 0)
                inbox.push({owner, handle, {buffer.begin(), buffer.begin() + got}, false});
            continue;
        }
        // Aborted: the host closed the handle, nobody waits for news of it.
        if (status == hid::IoStatus::Failed)
            inbox.push({owner, handle, {}, true});
        return;
    }
}

}  // namespace

void BusServerState::handleLine(BusConnection& connection, const net::Line& line) {
    const Json::Value none;
    if (line.tooLong) {
        answer(connection,
               bus::errorAnswer(none, bus::error::kTooLong,
                                "a line is at most " + std::to_string(bus::kMaxLine) + " bytes"));
        return;
    }
    Json::Value request;
    std::string why;
    if (!bus::parseLine(line.text, request, why)) {
        answer(connection, bus::errorAnswer(none, bus::error::kMalformed, why));
        return;
    }
    if (request.isMember("id") && !request["id"].isUInt()) {
        answer(connection, bus::errorAnswer(none, bus::error::kMalformed,
                                            "\"id\" must be a whole number from 0 to 4294967295"));
        return;
    }
    const Json::Value& op = request["op"];
    if (!op.isString()) {
        answer(connection,
               bus::errorAnswer(request, bus::error::kMalformed, "\"op\" must be a string"));
        return;
    }
    const std::string name = op.asString();
    const Request* found = nullptr;
    for (const Request& each : kRequests)
        if (name == each.op)
            found = &each;
    if (found == nullptr) {
        answer(connection,
               bus::errorAnswer(request, bus::error::kUnknownOp, "no request \"" + name + "\""));
        return;
    }
    if (found->role != BusRole::None && connection.role == BusRole::None) {
        answer(connection, bus::errorAnswer(request, bus::error::kHelloFirst,
                                            "say hello before \"" + name + "\""));
        return;
    }
    if (found->role != BusRole::None && found->role != connection.role) {
        answer(connection, bus::errorAnswer(request, bus::error::kNotAllowed,
                                            "\"" + name + "\" is a request of the " +
                                                roleName(found->role) + " role"));
        return;
    }
    answer(connection, (this->*found->handler)(connection, request));
}

Json::Value BusServerState::hello(BusConnection& connection, const Json::Value& request) {
    bus::Fields fields(request);
    const std::uint32_t version = fields.number("version", UINT32_MAX);
    const std::string role = fields.text("role", 16);
    if (!fields.ok())
        return malformed(request, fields);
    if (connection.role != BusRole::None)
        return bus::errorAnswer(request, bus::error::kAlready, "hello was said already");
    if (version != bus::kVersion) {
        Json::Value answer =
            bus::errorAnswer(request, bus::error::kVersion,
                             "this bus speaks version " + std::to_string(bus::kVersion));
        answer["versions"].append(bus::kVersion);
        return answer;
    }
    if (role == bus::kRoleHost) {
        connection.role = BusRole::Host;
    } else if (role == bus::kRoleDevice) {
        connection.role = BusRole::Device;
    } else if (role == bus::kRoleControl) {
        connection.role = BusRole::Control;
    } else {
        return bus::errorAnswer(request, bus::error::kMalformed,
                                "\"role\" must be host, device or control");
    }
    Json::Value answer = bus::okAnswer(request);
    answer["version"] = bus::kVersion;
    answer["server"] = "quillmark-virtual";
    return answer;
}

// --- Hosts -----------------------------------------------------------------------------------

Json::Value BusServerState::enumerate(BusConnection&, const Json::Value& request) {
    std::vector<std::string> paths;
    bus.enumerate(paths);
    for (auto& [id, connection] : connections)
        if (connection->device && connection->device->plugged)
            for (std::string& path : connection->device->paths())
                paths.push_back(std::move(path));
    Json::Value answer = bus::okAnswer(request);
    answer["paths"] = Json::Value(Json::arrayValue);
    for (const std::string& path : paths)
        answer["paths"].append(path);
    return answer;
}

Json::Value BusServerState::exists(BusConnection&, const Json::Value& request) {
    bus::Fields fields(request);
    const std::string path = fields.text("path", bus::kMaxPath);
    if (!fields.ok())
        return malformed(request, fields);
    bool present = bus.exists(path);
    for (auto& [id, connection] : connections) {
        std::size_t index;
        int collection;
        if (connection->device && connection->device->plugged &&
            connection->device->resolve(path, index, collection))
            present = true;
    }
    Json::Value answer = bus::okAnswer(request);
    answer["exists"] = present;
    return answer;
}

Json::Value BusServerState::open(BusConnection& connection, const Json::Value& request) {
    bus::Fields fields(request);
    const std::string path = fields.text("path", bus::kMaxPath);
    const bool forRead = fields.flag("read", true);
    const bool forWrite = fields.flag("write", true);
    if (!fields.ok())
        return malformed(request, fields);
    if (connection.handles.size() >= bus::kMaxHandles)
        return bus::errorAnswer(
            request, bus::error::kTooMany,
            "at most " + std::to_string(bus::kMaxHandles) + " handles are open per connection");

    auto handle = std::make_unique<BusHandle>();
    handle->path = path;
    handle->canRead = forRead;
    handle->canWrite = forWrite;
    hid::InterfaceInfo info;
    // Always read, even for a host that only writes: the end of the reads is how the bus learns
    // that the peripheral left, so that every handle on it is closed alike.
    if (bus.open(path, true, forWrite, handle->builtin, info) != 0) {
        BusConnection* owner = nullptr;
        for (auto& [id, each] : connections) {
            int collection = 0;
            if (each->device && each->device->plugged &&
                each->device->resolve(path, handle->interfaceIndex, collection)) {
                owner = each.get();
                info.collection = collection;
            }
        }
        if (owner == nullptr)
            return bus::errorAnswer(request, bus::error::kNotFound, "no interface " + path);
        const ExternalDevice& device = *owner->device;
        handle->device = owner->id;
        info.vendorId = device.vendorId;
        info.productId = device.productId;
        info.versionNumber = device.versionNumber;
        info.reportDescriptor = device.interfaces[handle->interfaceIndex].descriptor;
    }
    handle->id = nextHandle++;
    if (nextHandle == 0)
        nextHandle = 1;
    if (handle->builtin) {
        handle->reader = std::thread(forwardInput, std::ref(*handle->builtin), std::ref(inbox),
                                     connection.id, handle->id);
    }

    Json::Value answer = bus::okAnswer(request);
    answer["handle"] = handle->id;
    answer["vendorId"] = info.vendorId;
    answer["productId"] = info.productId;
    answer["versionNumber"] = info.versionNumber;
    answer["descriptor"] = bus::toHex(info.reportDescriptor);
    answer["collection"] = info.collection;
    tracef("bus: connection %llu opened %s as handle %u",
           static_cast<unsigned long long>(connection.id), path.c_str(), handle->id);
    connection.handles.emplace(handle->id, std::move(handle));
    return answer;
}

Json::Value BusServerState::write(BusConnection& connection, const Json::Value& request) {
    bus::Fields fields(request);
    const std::uint32_t id = fields.number("handle", UINT32_MAX);
    const std::vector<std::uint8_t> report = fields.bytes("data", 1, bus::kMaxReport);
    if (!fields.ok())
        return malformed(request, fields);
    auto found = connection.handles.find(id);
    if (found == connection.handles.end())
        return bus::errorAnswer(request, bus::error::kNoHandle, "no handle " + std::to_string(id));
    BusHandle& handle = *found->second;
    if (!handle.canWrite)
        return bus::errorAnswer(request, bus::error::kRefused,
                                "handle " + std::to_string(id) + " is not open for writing");

    if (handle.builtin) {
        std::size_t written = 0;
        switch (handle.builtin->write(report, 1000, written)) {
            case hid::IoStatus::Ok: {
                Json::Value answer = bus::okAnswer(request);
                answer["written"] = static_cast<Json::UInt>(written);
                return answer;
            }
            case hid::IoStatus::Timeout:
                return bus::errorAnswer(request, bus::error::kBusy, "the device is busy");
            default:
                if (!bus.exists(handle.path))
                    return bus::errorAnswer(request, bus::error::kGone, "the device left the bus");
                return bus::errorAnswer(request, bus::error::kRefused,
                                        "the interface takes no such output report");
        }
    }

    auto device = connections.find(handle.device);
    if (device == connections.end() || !device->second->device || !device->second->device->plugged)
        return bus::errorAnswer(request, bus::error::kGone, "the device left the bus");
    BusConnection& program = *device->second;
    Json::Value output = bus::event(bus::ev::kOutput);
    output["interface"] = program.device->interfaces[handle.interfaceIndex].number;
    output["data"] = bus::toHex(report);
    if (!notify(program, output))
        return bus::errorAnswer(request, bus::error::kBusy, "the device does not keep up");
    Json::Value answer = bus::okAnswer(request);
    answer["written"] = static_cast<Json::UInt>(report.size());
    return answer;
}

Json::Value BusServerState::close(BusConnection& connection, const Json::Value& request) {
    bus::Fields fields(request);
    const std::uint32_t id = fields.number("handle", UINT32_MAX);
    if (!fields.ok())
        return malformed(request, fields);
    if (connection.handles.erase(id) == 0)
        return bus::errorAnswer(request, bus::error::kNoHandle, "no handle " + std::to_string(id));
    return bus::okAnswer(request);
}

Json::Value BusServerState::watch(BusConnection& connection, const Json::Value& request) {
    connection.watching = true;
    return bus::okAnswer(request);
}

// --- Device programs -------------------------------------------------------------------------

Json::Value BusServerState::announce(BusConnection& connection, const Json::Value& request) {
    if (connection.device)
        return bus::errorAnswer(request, bus::error::kAlready,
                                "this connection announced " + connection.device->name);
    auto device = std::make_unique<ExternalDevice>();
    std::string why;
    if (!parseAnnouncement(request, *device, why))
        return bus::errorAnswer(request, bus::error::kMalformed, why);
    if (deviceNamed(device->name) != nullptr)
        return bus::errorAnswer(request, bus::error::kNameTaken,
                                "a device named " + device->name + " is on the bus");
    Json::Value answer = bus::okAnswer(request);
    answer["paths"] = Json::Value(Json::arrayValue);
    for (const std::string& path : device->paths())
        answer["paths"].append(path);
    tracef("bus: %s announced with %zu interfaces", device->name.c_str(),
           device->interfaces.size());
    connection.device = std::move(device);
    broadcastChanged();
    return answer;
}

Json::Value BusServerState::input(BusConnection& connection, const Json::Value& request) {
    bus::Fields fields(request);
    const int number = static_cast<int>(fields.number("interface", 255));
    const std::vector<std::uint8_t> report = fields.bytes("data", 1, bus::kMaxReport);
    if (!fields.ok())
        return malformed(request, fields);
    std::size_t index = 0;
    if (!connection.device)
        return bus::errorAnswer(request, bus::error::kNotPlugged, "announce the device first");
    if (!connection.device->indexOf(number, index))
        return bus::errorAnswer(request, bus::error::kNotFound,
                                "no interface " + std::to_string(number));
    if (!connection.device->plugged)
        return bus::errorAnswer(request, bus::error::kNotPlugged, "the device is pulled out");
    // Every host that opened the interface for reading gets its own copy, as with hidraw.
    const std::string data = bus::toHex(report);
    for (auto& [id, host] : connections) {
        for (auto& [handleId, handle] : host->handles) {
            if (handle->device != connection.id || handle->interfaceIndex != index ||
                !handle->canRead)
                continue;
            Json::Value event = bus::event(bus::ev::kInput);
            event["handle"] = handleId;
            event["data"] = data;
            notify(*host, event);
        }
    }
    return bus::okAnswer(request);
}

// --- Control tools ---------------------------------------------------------------------------

Json::Value BusServerState::plug(BusConnection&, const Json::Value& request) {
    bus::Fields fields(request);
    const std::string name = fields.text("name", bus::kMaxName);
    if (!fields.ok())
        return malformed(request, fields);
    if (isPeripheralName(name)) {
        if (!bus.plug(name))
            return bus::errorAnswer(request, bus::error::kAlready, name + " is plugged in already");
        return bus::okAnswer(request);
    }
    BusConnection* program = deviceNamed(name);
    if (program == nullptr)
        return bus::errorAnswer(request, bus::error::kNotFound, "no device named " + name);
    if (program->device->plugged)
        return bus::errorAnswer(request, bus::error::kAlready, name + " is plugged in already");
    program->device->plugged = true;
    notify(*program, bus::event(bus::ev::kPlugged));
    broadcastChanged();
    return bus::okAnswer(request);
}

Json::Value BusServerState::unplug(BusConnection&, const Json::Value& request) {
    bus::Fields fields(request);
    const std::string name = fields.text("name", bus::kMaxName);
    if (!fields.ok())
        return malformed(request, fields);
    if (isPeripheralName(name)) {
        if (!bus.unplug(name))
            return bus::errorAnswer(request, bus::error::kNotPlugged, name + " is not plugged in");
        return bus::okAnswer(request);
    }
    BusConnection* program = deviceNamed(name);
    if (program == nullptr)
        return bus::errorAnswer(request, bus::error::kNotFound, "no device named " + name);
    if (!program->device->plugged)
        return bus::errorAnswer(request, bus::error::kNotPlugged, name + " is not plugged in");
    program->device->plugged = false;
    closeHandlesOn(program->id);
    notify(*program, bus::event(bus::ev::kUnplugged));
    broadcastChanged();
    return bus::okAnswer(request);
}

Json::Value BusServerState::power(BusConnection&, const Json::Value& request) {
    bus::Fields fields(request);
    const std::string name = fields.text("name", bus::kMaxName);
    const bool on = fields.flag("on");
    if (!fields.ok())
        return malformed(request, fields);
    const std::string receiver = receiverOf(name);
    if (!isPeripheralName(receiver))
        return bus::errorAnswer(request, bus::error::kNotFound, "no peripheral named " + name);
    if (!bus.setPower(receiver, on))
        return bus::errorAnswer(request, bus::error::kRefused,
                                name +
                                    " is not behind a receiver (power takes keyboard, mouse, "
                                    "keyboard-receiver or mouse-receiver)");
    return bus::okAnswer(request);
}

Json::Value BusServerState::fault(BusConnection&, const Json::Value& request) {
    bus::Fields fields(request);
    const std::string name = fields.text("name", bus::kMaxName);
    const std::string kindName = fields.text("kind", 32);
    const std::uint32_t nth = fields.number("nth", bus::kMaxNth, 1);
    if (!fields.ok())
        return malformed(request, fields);
    FaultKind kind;
    if (!parseFaultKind(kindName, kind) || nth < 1)
        return bus::errorAnswer(request, bus::error::kMalformed,
                                "\"kind\" must be no-answer, wrong-echo, status-fe, status-ff, "
                                "unplug or power-off, and \"nth\" at least 1");
    if (!isPeripheralName(name))
        return bus::errorAnswer(request, bus::error::kNotFound, "no peripheral named " + name);
    if (!bus.injectFault(name, kind, static_cast<int>(nth)))
        return bus::errorAnswer(request, bus::error::kRefused,
                                "power-off needs a receiver (keyboard-receiver, mouse-receiver)");
    return bus::okAnswer(request);
}

Json::Value BusServerState::emit(BusConnection&, const Json::Value& request) {
    bus::Fields fields(request);
    const std::string name = fields.text("name", bus::kMaxName);
    const std::uint32_t code = fields.number("code", 0xFFFF);
    if (!fields.ok())
        return malformed(request, fields);
    if (!isPeripheralName(name))
        return bus::errorAnswer(request, bus::error::kNotFound, "no peripheral named " + name);
    if (!bus.emitEvent(name, static_cast<std::uint16_t>(code)))
        return bus::errorAnswer(
            request, bus::error::kRefused,
            name + " is not plugged in, switched off or has no event interface");
    return bus::okAnswer(request);
}

Json::Value BusServerState::status(BusConnection&, const Json::Value& request) {
    Json::Value answer = bus::okAnswer(request);
    Json::Value& devices = answer["devices"] = Json::Value(Json::arrayValue);
    for (const char* name : kPeripheralNames) {
        const Identity& identity = *findIdentity(name);
        Json::Value entry(Json::objectValue);
        entry["name"] = name;
        entry["plugged"] = bus.isPlugged(name);
        entry["receiver"] = identity.receiver;
        entry["powered"] = bus.isPowered(name);
        entry["vendorId"] = identity.vendorId;
        entry["productId"] = identity.productId;
        devices.append(entry);
    }
    for (auto& [id, connection] : connections) {
        if (!connection->device)
            continue;
        const ExternalDevice& device = *connection->device;
        Json::Value entry(Json::objectValue);
        entry["name"] = device.name;
        entry["plugged"] = device.plugged;
        entry["external"] = true;
        entry["vendorId"] = device.vendorId;
        entry["productId"] = device.productId;
        devices.append(entry);
    }
    return answer;
}

// --- Changes made on a built-in peripheral ---------------------------------------------------

Json::Value BusServerState::switchProfile(BusConnection&, const Json::Value& request) {
    bus::Fields fields(request);
    const std::string name = fields.text("name", bus::kMaxName);
    const std::uint32_t slot = fields.number("slot", 255);
    if (!fields.ok())
        return malformed(request, fields);
    Json::Value refusal;
    Peripheral* firmware = changeableFirmware(bus, request, name, refusal);
    if (firmware == nullptr)
        return refusal;
    if (slot >= firmware->profileCount() ||
        !firmware->setActiveProfile(static_cast<std::uint8_t>(slot)))
        return bus::errorAnswer(request, bus::error::kRefused,
                                name + " has " + slotRange(*firmware));
    tracef("bus: %s switched to profile slot %u on the device", name.c_str(), slot);
    return bus::okAnswer(request);
}

Json::Value BusServerState::setByte(BusConnection&, const Json::Value& request) {
    // Absent: the active slot, known only once the firmware is found.
    constexpr std::uint32_t kActiveSlot = UINT32_MAX;
    bus::Fields fields(request);
    const std::string name = fields.text("name", bus::kMaxName);
    std::uint32_t slot = fields.number("slot", 255, kActiveSlot);
    const std::uint32_t byte = fields.number("byte", 0xFFFF);
    const std::uint32_t value = fields.number("value", 255);
    if (!fields.ok())
        return malformed(request, fields);
    Json::Value refusal;
    Peripheral* firmware = changeableFirmware(bus, request, name, refusal);
    if (firmware == nullptr)
        return refusal;
    if (slot == kActiveSlot)
        slot = firmware->activeProfile();
    const std::size_t stride = firmware->profileStride();
    if (slot >= firmware->profileCount() || byte >= stride)
        return bus::errorAnswer(
            request, bus::error::kRefused,
            name + " has " + slotRange(*firmware) + " of bytes 0 to " + std::to_string(stride - 1));
    // That byte is the active slot's number: a value beyond the slots would leave the device
    // pointing at no settings at all.
    if (slot == 0 && byte == 0)
        return bus::errorAnswer(request, bus::error::kRefused,
                                "byte 0 of slot 0 holds the active slot; switch it with profile");
    if (!firmware->setSetting(slot, byte, static_cast<std::uint8_t>(value)))
        return bus::errorAnswer(request, bus::error::kRefused,
                                name + " has no settings byte " + std::to_string(byte));
    tracef("bus: %s slot %u byte %u set to %u on the device", name.c_str(), slot, byte, value);
    return bus::okAnswer(request);
}

Json::Value BusServerState::factoryReset(BusConnection&, const Json::Value& request) {
    bus::Fields fields(request);
    const std::string name = fields.text("name", bus::kMaxName);
    if (!fields.ok())
        return malformed(request, fields);
    Json::Value refusal;
    Peripheral* firmware = changeableFirmware(bus, request, name, refusal);
    if (firmware == nullptr)
        return refusal;
    firmware->factoryReset();
    tracef("bus: %s reset to its factory memory on the device", name.c_str());
    return bus::okAnswer(request);
}

}  // namespace qm::emu
