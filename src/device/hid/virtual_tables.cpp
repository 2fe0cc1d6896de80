// The tables for the virtual peripherals: the hardware tables with one distinct product id each
// for the mouse, the mouse receiver, the mousepad and the headset, so that every kind and both
// mouse connections can be present at once.
#include <array>
#include <vector>

#include "device/hid/supported_interfaces.h"

namespace qm {
namespace {

std::uint16_t virtualPid(std::uint16_t vendorId, std::uint16_t productId, std::uint16_t kind) {
    if (productId != 0)
        return productId;
    switch (kind) {
        case DEVICE_MOUSE:
            return kVirtualMousePid;
        case DEVICE_MOUSE_24G:
            return kVirtualMouseReceiverPid;
        case DEVICE_MOUSEPAD:
            return kVirtualMousePadPid;
        case DEVICE_HEADSET:
            return vendorId == 0x0C76 ? kVirtualHeadsetPid : productId;
        default:
            return productId;
    }
}

struct VirtualTables {
    std::array<UsbInterfaceRecord, 11> interfaces;
    std::array<DeviceOptionRow, 4> options;
    DeviceTables tables;

    VirtualTables() {
        for (std::size_t i = 0; i < interfaces.size(); ++i) {
            interfaces[i] = g_SupportedInterfaces[i];
            interfaces[i].ProductId =
                virtualPid(interfaces[i].VendorId, interfaces[i].ProductId, interfaces[i].Kind);
        }
        for (std::size_t i = 0; i < options.size(); ++i) {
            options[i] = DeviceOptionInfo[i];
            options[i].ProductId = virtualPid(static_cast<std::uint16_t>(options[i].VendorId),
                                              static_cast<std::uint16_t>(options[i].ProductId),
                                              static_cast<std::uint16_t>(options[i].Kind));
        }
        tables = DeviceTables{interfaces, options, DevicePageInfo};
    }
};

}  // namespace

const DeviceTables& virtualTables() {
    static const VirtualTables instance;
    return instance.tables;
}

}  // namespace qm
