// The tables that tell which interfaces, peripheral kinds and device pages the system supports.
#pragma once

#include <cstdint>
#include <span>

#include "device/hid/usb_interface_record.h"

namespace qm {

struct DeviceOptionRow {
    const char* SelectorLayout;
    const char* TabControl;
    const char* PowerContainer;
    const char* DeviceName;
    std::int32_t DeviceTypeIndex;
    std::int32_t VendorId;
    std::int32_t ProductId;
    std::int32_t Kind;
    std::int32_t Variant;
};

struct DevicePageRow {
    std::int32_t LedCount;
    std::int32_t KeyCount;
    std::int32_t BatteryDisplay;
    std::int32_t Reserved;
    const char* PageLayout;
    const char* LightingName;
};

// One set of the three tables. The scan takes the set in use as a parameter.
struct DeviceTables {
    std::span<const UsbInterfaceRecord> Interfaces;
    std::span<const DeviceOptionRow> Options;
    std::span<const DevicePageRow> Pages;  // parallel to Options
};

// The tables of the real peripherals, exactly as the hardware presents itself.
extern const UsbInterfaceRecord g_SupportedInterfaces[11];
extern const DeviceOptionRow DeviceOptionInfo[4];
extern const DevicePageRow DevicePageInfo[4];
const DeviceTables& hardwareTables();

// The same tables for the virtual peripherals. They differ only in the product ids of the mouse,
// the mouse receiver, the mousepad and the headset, which the hardware tables leave at 0 so that
// those three 0x320F kinds cannot be told apart.
inline constexpr std::uint16_t kVirtualMousePid = 0x50A1;
inline constexpr std::uint16_t kVirtualMouseReceiverPid = 0x50A2;
inline constexpr std::uint16_t kVirtualMousePadPid = 0x50A3;
inline constexpr std::uint16_t kVirtualHeadsetPid = 0x6533;
const DeviceTables& virtualTables();

// Row of Options whose vendor id, product id, kind and variant match, or -1.
int FindDeviceOptionRow(const DeviceTables& tables, int vendorId, int productId, int kind,
                        int variant);

}  // namespace qm
