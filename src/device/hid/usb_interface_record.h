// One supported interface, and one device slot: the same record.
#pragma once

#include <cstdint>
#include <string>

namespace qm {

// Peripheral kinds.
inline constexpr std::uint16_t DEVICE_KEYBOARD = 1;
inline constexpr std::uint16_t DEVICE_MOUSE = 2;
inline constexpr std::uint16_t DEVICE_MOUSEPAD = 3;
inline constexpr std::uint16_t DEVICE_MOUSE_24G = 6;
inline constexpr std::uint16_t DEVICE_HEADSET = 7;
inline constexpr std::uint16_t DEVICE_KEYBOARD_24G = 9;

// Interface roles.
inline constexpr std::uint16_t ROLE_COMMAND = 0;
inline constexpr std::uint16_t ROLE_EVENT = 255;

struct UsbInterfaceRecord {
    std::uint16_t VendorId = 0;
    std::uint16_t ProductId = 0;
    std::uint16_t InterfaceNumber = 0;
    std::uint16_t CollectionNumber = 0;
    std::uint16_t Kind = 0;
    std::uint16_t Role = 0;
    std::uint16_t Connected = 0;
    std::uint16_t UsagePage = 0;
    std::uint16_t Usage = 0;
    std::uint16_t HasPartner = 0;
    std::uint16_t PartnerIndex = 0;
    std::string Path;
};

// Equal on ids, interface, collection, kind, role, usage page and usage; the connected flag, the
// partner fields and the path take no part.
bool operator==(const UsbInterfaceRecord& a, const UsbInterfaceRecord& b);

// True for the kinds reached through a 2.4 GHz receiver.
inline bool isReceiverKind(std::uint16_t kind) {
    return kind == DEVICE_MOUSE_24G || kind == DEVICE_KEYBOARD_24G;
}

const char* kindName(std::uint16_t kind);

}  // namespace qm
