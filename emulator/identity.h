// What each connection on the virtual bus presents: ids from the virtual supported-interface
// table, its HID interfaces with their report descriptors, and the firmware behind it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm::emu {

struct OutputReport {
    std::uint8_t id = 0;   // 0 on an interface without report ids
    std::size_t size = 0;  // with the id byte
};

struct InterfaceLayout {
    int number = 0;
    std::span<const std::uint8_t> descriptor;
    int collectionCount = 1;
    // Collections (1-based, 0 for none) of the command reports (id 4) and the event reports (id 3).
    int commandCollection = 0;
    int eventCollection = 0;
    std::vector<OutputReport> outputs;

    // The output report with this id, or nullptr.
    const OutputReport* output(std::uint8_t id) const;
};

struct Identity {
    std::string name;      // "keyboard", "keyboard-receiver", ...
    std::string firmware;  // "keyboard" for both of those
    bool receiver = false;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t versionNumber = 0;
    std::vector<InterfaceLayout> interfaces;
};

// nullptr for a name that is not one of kPeripheralNames.
const Identity* findIdentity(std::string_view name);

}  // namespace qm::emu
