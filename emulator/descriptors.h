// The raw HID report descriptors of the virtual peripherals' interfaces, written out item by item
// as the firmware of a real peripheral carries them.
#pragma once

#include <cstdint>
#include <span>

namespace qm::emu {

// Report ids of the interface that carries the vendor commands.
inline constexpr std::uint8_t kKeyboardReportId = 1;
inline constexpr std::uint8_t kSystemControlReportId = 2;
inline constexpr std::uint8_t kEventReportId = 3;    // consumer control: the event codes
inline constexpr std::uint8_t kCommandReportId = 4;  // vendor page: the 64-byte command reports
// The headset's lighting output report: id 0xFF and 16 data bytes.
inline constexpr std::uint8_t kHeadsetLightingReportId = 0xFF;
inline constexpr std::size_t kHeadsetLightingReportSize = 17;

// Interface 0 of the keyboards and receivers: a boot keyboard, one collection, no report ids.
std::span<const std::uint8_t> bootKeyboardDescriptor();
// Interface 0 of the mouse: a boot mouse, one collection, no report ids.
std::span<const std::uint8_t> bootMouseDescriptor();
// Interface 1 of every 0x320F peripheral, four top-level collections in this order: keyboard
// (id 1), system control (id 2), consumer control (id 3, the event collection) and the vendor
// collection 0xFF1C/0x92 (id 4, 63-byte input and output: the command collection).
std::span<const std::uint8_t> commandInterfaceDescriptor();
// Interface 3 of the headset: one consumer-control collection holding the command reports (id 4)
// and the lighting output report (id 0xFF).
std::span<const std::uint8_t> headsetDescriptor();

}  // namespace qm::emu
