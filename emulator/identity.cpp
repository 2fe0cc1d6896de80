#include "emulator/identity.h"

#include <array>

#include "device/hid/supported_interfaces.h"
#include "device/transport/command_report.h"
#include "emulator/descriptors.h"
#include "emulator/virtual_bus.h"

namespace qm::emu {
namespace {

struct Connection {
    const char* firmware;
    std::uint16_t kind;
    std::uint16_t versionNumber;
};

// One row per entry of kPeripheralNames, in the same order.
// clang-format off
constexpr std::array<Connection, 6> kConnections = {{
    {"keyboard", DEVICE_KEYBOARD,     0x0107},
    {"keyboard", DEVICE_KEYBOARD_24G, 0x0101},
    {"mouse",    DEVICE_MOUSE,        0x0203},
    {"mouse",    DEVICE_MOUSE_24G,    0x0101},
    {"mousepad", DEVICE_MOUSEPAD,     0x0102},
    {"headset",  DEVICE_HEADSET,      0x0100},
}};
// clang-format on

InterfaceLayout bootInterface(std::uint16_t kind) {
    InterfaceLayout layout;
    layout.number = 0;
    if (kind == DEVICE_MOUSE) {
        layout.descriptor = bootMouseDescriptor();
    } else {
        layout.descriptor = bootKeyboardDescriptor();
        layout.outputs = {{0, 2}};  // the LED byte
    }
    return layout;
}

InterfaceLayout commandInterface(int number) {
    InterfaceLayout layout;
    layout.number = number;
    layout.descriptor = commandInterfaceDescriptor();
    layout.collectionCount = 4;
    layout.eventCollection = 3;    // consumer control
    layout.commandCollection = 4;  // vendor 0xFF1C
    layout.outputs = {{kKeyboardReportId, 2}, {kCommandReportId, report::kSize}};
    return layout;
}

InterfaceLayout headsetInterface(int number) {
    InterfaceLayout layout;
    layout.number = number;
    layout.descriptor = headsetDescriptor();
    layout.commandCollection = 1;
    layout.outputs = {{kCommandReportId, report::kSize},
                      {kHeadsetLightingReportId, kHeadsetLightingReportSize}};
    return layout;
}

Identity makeIdentity(const char* name, const Connection& connection) {
    Identity identity;
    identity.name = name;
    identity.firmware = connection.firmware;
    identity.receiver = isReceiverKind(connection.kind);
    identity.versionNumber = connection.versionNumber;
    int commandInterfaceNumber = 1;
    for (const UsbInterfaceRecord& row : virtualTables().Interfaces) {
        if (row.Kind != connection.kind || row.Role != ROLE_COMMAND)
            continue;
        identity.vendorId = row.VendorId;
        identity.productId = row.ProductId;
        commandInterfaceNumber = row.InterfaceNumber;
        break;
    }
    if (connection.kind == DEVICE_HEADSET) {
        identity.interfaces.push_back(headsetInterface(commandInterfaceNumber));
    } else {
        // The mousepad has no keys and presents only its command interface.
        if (connection.kind != DEVICE_MOUSEPAD)
            identity.interfaces.push_back(bootInterface(connection.kind));
        identity.interfaces.push_back(commandInterface(commandInterfaceNumber));
    }
    return identity;
}

}  // namespace

const char* const kPeripheralNames[6] = {
    "keyboard", "keyboard-receiver", "mouse", "mouse-receiver", "mousepad", "headset",
};

const OutputReport* InterfaceLayout::output(std::uint8_t id) const {
    for (const OutputReport& report : outputs)
        if (report.id == id)
            return &report;
    return nullptr;
}

const Identity* findIdentity(std::string_view name) {
    static const std::vector<Identity> identities = [] {
        std::vector<Identity> all;
        for (std::size_t i = 0; i < kConnections.size(); ++i)
            all.push_back(makeIdentity(kPeripheralNames[i], kConnections[i]));
        return all;
    }();
    for (const Identity& identity : identities)
        if (identity.name == name)
            return &identity;
    return nullptr;
}

}  // namespace qm::emu
