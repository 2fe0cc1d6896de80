// The peripheral kinds as the device selector shows them, and their device pages (parallel rows).
#include "device/hid/supported_interfaces.h"

namespace qm {

// clang-format off
const DeviceOptionRow DeviceOptionInfo[4] = {
    // selector layout                          tab control          power container        name        type VID     PID     kind variant
    {"XML\\CustomControlXML\\DeviceOption.xml", "tab_header_device", "device_power_switch", "mouse",    1,   0x320F, 0,      2,   0},
    {"XML\\CustomControlXML\\DeviceOption.xml", "tab_header_device", "device_power_switch", "keyboard", 0,   0x320F, 0x5055, 1,   0},
    {"XML\\CustomControlXML\\DeviceOption.xml", "tab_header_device", "device_power_switch", "MousePad", 2,   0x320F, 0,      3,   0},
    {"XML\\CustomControlXML\\DeviceOption.xml", "tab_header_device", "device_power_switch", "HD",       3,   0x0C76, 0,      7,   0},
};

const DevicePageRow DevicePageInfo[4] = {
    // LEDs keys battery reserved page layout                               lighting
    {15,  11,  1, -1, "XML\\DeviceXml\\mousedevice.xml",    "velto_light"},
    {170, 170, 0, -1, "XML\\DeviceXml\\keyboarddevice.xml", "velto_light"},
    {15,  0,   0, -1, "XML\\DeviceXml\\mousepaddevice.xml", "velto_light"},
    {13,  0,   0, -1, "XML\\DeviceXml\\hs6533device.xml",   "velto_light"},
};
// clang-format on

const DeviceTables& hardwareTables() {
    static const DeviceTables tables{g_SupportedInterfaces, DeviceOptionInfo, DevicePageInfo};
    return tables;
}

int FindDeviceOptionRow(const DeviceTables& tables, int vendorId, int productId, int kind,
                        int variant) {
    for (std::size_t i = 0; i < tables.Options.size(); ++i) {
        const DeviceOptionRow& row = tables.Options[i];
        if (row.VendorId == vendorId && row.ProductId == productId && row.Kind == kind &&
            row.Variant == variant)
            return static_cast<int>(i);
    }
    return -1;
}

}  // namespace qm
