#include "emulator/virtual_bus.h"

#include <strings.h>
#include <cerrno>
#include <map>

#include "device/hid/hid_path.h"
#include "emulator/bus_core.h"
#include "emulator/firmware_state.h"
#include "emulator/virtual_connection.h"
#include "platform/paths.h"
#include "platform/trace.h"

namespace qm::emu {
namespace {

constexpr std::string_view kNodePrefix = "virtual:";

std::string nodeOf(const Identity& identity) {
    return std::string(kNodePrefix) + identity.name;
}

// The path of one collection of an interface: numbered 1..n, no number when there is only one.
std::string pathOf(const Identity& identity, const InterfaceLayout& layout, int collection) {
    return makeInterfacePath(nodeOf(identity), identity.vendorId, identity.productId, layout.number,
                             layout.collectionCount > 1 ? collection : 0);
}

// What a path names on the bus: the plug, the interface and the collection.
struct Target {
    std::shared_ptr<Plug> plug;
    std::size_t interfaceIndex = 0;
    int collection = 0;
};

bool resolve(BusCore& core, const std::string& path, Target& target) {
    const std::string_view node = pathNode(path);
    if (!node.starts_with(kNodePrefix))
        return false;
    target.plug = core.plugOf(node.substr(kNodePrefix.size()));
    if (!target.plug || !core.present(*target.plug))
        return false;
    const Identity& identity = target.plug->identity;
    for (std::size_t i = 0; i < identity.interfaces.size(); ++i) {
        const InterfaceLayout& layout = identity.interfaces[i];
        for (int c = 1; c <= layout.collectionCount; ++c) {
            if (strcasecmp(pathOf(identity, layout, c).c_str(), path.c_str()) != 0)
                continue;
            target.interfaceIndex = i;
            target.collection = layout.collectionCount > 1 ? c : 0;
            return true;
        }
    }
    return false;
}

}  // namespace

struct VirtualBus::State {
    Options options;
    std::shared_ptr<BusCore> core;
    // What each firmware's state file holds, as far as this bus knows.
    std::map<std::string, FirmwareMemory, std::less<>> persisted;

    // Writes the files of every firmware, or only of those whose memory changed.
    bool save(bool onlyChanged) {
        if (options.stateDir.empty())
            return true;
        bool ok = true;
        for (Peripheral* peripheral : core->firmwares()) {
            FirmwareMemory memory = peripheral->memory();
            auto known = persisted.find(peripheral->name());
            if (onlyChanged && known != persisted.end() && known->second == memory)
                continue;
            if (saveFirmwareState(options.stateDir, *peripheral)) {
                persisted[peripheral->name()] = std::move(memory);
            } else {
                ok = false;
            }
        }
        return ok;
    }
};

VirtualBus::VirtualBus(Options options) : m_State(std::make_unique<State>()) {
    Clock& clock = options.clock != nullptr ? *options.clock : systemClock();
    m_State->core = std::make_shared<BusCore>(clock, options.timing);
    m_State->options = std::move(options);
    if (m_State->options.stateDir.empty())
        return;
    // A missing or kept-aside file stands for factory memory, which is what the peripheral holds.
    for (Peripheral* peripheral : m_State->core->firmwares()) {
        loadFirmwareState(m_State->options.stateDir, *peripheral);
        m_State->persisted[peripheral->name()] = peripheral->memory();
    }
}

VirtualBus::~VirtualBus() {
    // Only what changed: a run that touched nothing leaves the files as they were.
    m_State->save(true);
    m_State->core->unplugAll();
}

std::string VirtualBus::defaultStateDir() {
    const std::string home = stateHome();
    return home.empty() ? std::string() : home + "/Quillmark/virtual";
}

std::string VirtualBus::commandPath(std::string_view name) {
    const Identity* identity = findIdentity(name);
    if (identity == nullptr)
        return {};
    for (const InterfaceLayout& layout : identity->interfaces)
        if (layout.commandCollection != 0)
            return pathOf(*identity, layout, layout.commandCollection);
    return {};
}

std::string VirtualBus::eventPath(std::string_view name) {
    const Identity* identity = findIdentity(name);
    if (identity == nullptr)
        return {};
    for (const InterfaceLayout& layout : identity->interfaces)
        if (layout.eventCollection != 0)
            return pathOf(*identity, layout, layout.eventCollection);
    return {};
}

bool VirtualBus::plug(std::string_view name) {
    return m_State->core->plug(name);
}
bool VirtualBus::unplug(std::string_view name) {
    return m_State->core->unplug(name);
}

bool VirtualBus::isPlugged(std::string_view name) const {
    return m_State->core->plugOf(name) != nullptr;
}

bool VirtualBus::setPower(std::string_view name, bool on) {
    return m_State->core->setPower(name, on);
}

bool VirtualBus::isPowered(std::string_view name) const {
    return m_State->core->peripheralOn(name);
}

bool VirtualBus::injectFault(std::string_view name, FaultKind kind, int nth) {
    return m_State->core->arm(name, kind, nth);
}

bool VirtualBus::emitEvent(std::string_view name, std::uint16_t code) {
    return m_State->core->emitEvent(name, code);
}

Peripheral* VirtualBus::firmware(std::string_view name) {
    const Identity* identity = findIdentity(name);
    return identity == nullptr ? nullptr : m_State->core->firmware(identity->firmware);
}

bool VirtualBus::save() {
    const std::string& dir = m_State->options.stateDir;
    if (dir.empty())
        return true;
    bool ok = true;
    for (Peripheral* peripheral : m_State->core->firmwares())
        ok = saveFirmwareState(dir, *peripheral) && ok;
    return ok;
}

bool VirtualBus::resetState() {
    const std::string& dir = m_State->options.stateDir;
    bool ok = true;
    for (Peripheral* peripheral : m_State->core->firmwares()) {
        peripheral->restoreFactory();
        if (!dir.empty())
            ok = removeFirmwareState(dir, peripheral->name()) && ok;
    }
    return ok;
}

bool VirtualBus::enumerate(std::vector<std::string>& paths) {
    paths.clear();
    for (const std::shared_ptr<Plug>& plug : m_State->core->plugged())
        for (const InterfaceLayout& layout : plug->identity.interfaces)
            for (int c = 1; c <= layout.collectionCount; ++c)
                paths.push_back(pathOf(plug->identity, layout, c));
    return true;
}

int VirtualBus::open(const std::string& path, bool forRead, bool forWrite,
                     std::unique_ptr<hid::HidConnection>& connection, hid::InterfaceInfo& info) {
    connection.reset();
    BusCore& core = *m_State->core;
    Target target;
    if (!resolve(core, path, target))
        return ENOENT;
    auto queue = std::make_shared<ReportQueue>(core.clock());
    if (forRead && !core.addReader(*target.plug, target.interfaceIndex, queue))
        return ENOENT;

    const Identity& identity = target.plug->identity;
    const InterfaceLayout& layout = identity.interfaces[target.interfaceIndex];
    info.vendorId = identity.vendorId;
    info.productId = identity.productId;
    info.versionNumber = identity.versionNumber;
    info.reportDescriptor.assign(layout.descriptor.begin(), layout.descriptor.end());
    info.collection = target.collection;
    connection = std::make_unique<VirtualConnection>(
        m_State->core, target.plug, target.interfaceIndex, std::move(queue), forRead, forWrite);
    return 0;
}

bool VirtualBus::exists(const std::string& path) {
    Target target;
    return resolve(*m_State->core, path, target);
}

void VirtualBus::setChangeListener(std::function<void()> listener) {
    m_State->core->setChangeListener(std::move(listener));
}

}  // namespace qm::emu
