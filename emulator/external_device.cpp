#include "emulator/external_device.h"

#include <strings.h>

#include <algorithm>

#include "device/hid/bus_protocol.h"
#include "device/hid/hid_path.h"
#include "device/hid/report_descriptor.h"
#include "emulator/virtual_bus.h"

namespace qm::emu {
namespace {

// Names become part of paths, so they keep to characters that no path token uses.
bool validName(std::string_view name) {
    return !name.empty() && name.size() <= bus::kMaxName &&
           std::all_of(name.begin(), name.end(), [](char c) {
               return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
           });
}

std::string pathOf(const ExternalDevice& device, const ExternalInterface& interface,
                   int collection) {
    return makeInterfacePath(std::string(bus::kNodePrefix) + device.name, device.vendorId,
                             device.productId, interface.number,
                             interface.collectionCount > 1 ? collection : 0);
}

}  // namespace

std::vector<std::string> ExternalDevice::paths() const {
    std::vector<std::string> all;
    for (const ExternalInterface& interface : interfaces)
        for (int c = 1; c <= interface.collectionCount; ++c)
            all.push_back(pathOf(*this, interface, c));
    return all;
}

bool ExternalDevice::resolve(std::string_view path, std::size_t& interfaceIndex,
                             int& collection) const {
    const std::string wanted(path);
    for (std::size_t i = 0; i < interfaces.size(); ++i) {
        const ExternalInterface& interface = interfaces[i];
        for (int c = 1; c <= interface.collectionCount; ++c) {
            if (strcasecmp(pathOf(*this, interface, c).c_str(), wanted.c_str()) != 0)
                continue;
            interfaceIndex = i;
            collection = interface.collectionCount > 1 ? c : 0;
            return true;
        }
    }
    return false;
}

bool ExternalDevice::indexOf(int number, std::size_t& interfaceIndex) const {
    for (std::size_t i = 0; i < interfaces.size(); ++i) {
        if (interfaces[i].number == number) {
            interfaceIndex = i;
            return true;
        }
    }
    return false;
}

bool parseAnnouncement(const Json::Value& request, ExternalDevice& device, std::string& why) {
    device = {};
    bus::Fields fields(request);
    device.name = fields.text("name", bus::kMaxName);
    device.vendorId = static_cast<std::uint16_t>(fields.number("vendorId", 0xFFFF));
    device.productId = static_cast<std::uint16_t>(fields.number("productId", 0xFFFF));
    device.versionNumber = static_cast<std::uint16_t>(fields.number("versionNumber", 0xFFFF, 0));
    const Json::Value& interfaces = fields.array("interfaces", 1, bus::kMaxInterfaces);
    if (!fields.ok()) {
        why = fields.error();
        return false;
    }
    if (!validName(device.name) || isPeripheralName(device.name)) {
        why = "\"name\" must be 1 to 32 of a-z, 0-9 and '-', and not a built-in peripheral's";
        return false;
    }
    for (const Json::Value& entry : interfaces) {
        if (!entry.isObject()) {
            why = "each interface must be an object";
            return false;
        }
        bus::Fields item(entry);
        ExternalInterface interface;
        interface.number = static_cast<int>(item.number("number", 255));
        interface.descriptor = item.bytes("descriptor", 1, bus::kMaxDescriptor);
        if (!item.ok()) {
            why = "interface: " + item.error();
            return false;
        }
        std::size_t known;
        if (device.indexOf(interface.number, known)) {
            why = "interface " + std::to_string(interface.number) + " is announced twice";
            return false;
        }
        std::vector<hid::Collection> collections;
        if (!hid::parseReportDescriptor(interface.descriptor, collections) || collections.empty()) {
            why = "the report descriptor of interface " + std::to_string(interface.number) +
                  " does not parse into a top-level collection";
            return false;
        }
        interface.collectionCount = static_cast<int>(collections.size());
        device.interfaces.push_back(std::move(interface));
    }
    if (device.paths().size() > bus::kMaxDevicePaths) {
        why = "a device has at most " + std::to_string(bus::kMaxDevicePaths) +
              " top-level collections";
        return false;
    }
    return true;
}

}  // namespace qm::emu
