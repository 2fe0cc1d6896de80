// A device that a program outside the bus process announced on the virtual bus: its ids, its
// interfaces (number and report descriptor) and the paths the bus lists for them.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qm::emu {

struct ExternalInterface {
    int number = 0;
    std::vector<std::uint8_t> descriptor;
    int collectionCount = 1;  // top-level collections of the descriptor
};

struct ExternalDevice {
    std::string name;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t versionNumber = 0;
    std::vector<ExternalInterface> interfaces;
    bool plugged = true;

    // One path per top-level collection, in announcement order
    // ("virtual:<name>#vid_XXXX&pid_XXXX&mi_NN&colNN").
    std::vector<std::string> paths() const;
    // The interface (index into interfaces) and collection (0 when it has only one) that a path
    // names; false when it names none of them. Case is ignored, as everywhere in paths.
    bool resolve(std::string_view path, std::size_t& interfaceIndex, int& collection) const;
    // The index of the interface with this number; false when there is none.
    bool indexOf(int number, std::size_t& interfaceIndex) const;
};

// Reads an announce request into device. False, with why, for a name that is not 1 to 32 of
// a-z, 0-9 and '-' or that a built-in peripheral has, ids beyond 16 bits, no interfaces or more
// than kMaxInterfaces, a repeated interface number or one beyond 255, or a descriptor that is
// empty, longer than kMaxDescriptor or does not parse into at least one top-level collection,
// and for more than kMaxDevicePaths top-level collections in all.
bool parseAnnouncement(const Json::Value& request, ExternalDevice& device, std::string& why);

}  // namespace qm::emu
