// Which HID backend a program talks to: the hidraw nodes of this machine, or the virtual
// peripherals (--virtual[=LIST] or QUILLMARK_VIRTUAL=LIST).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "device/hid/hid_backend.h"
#include "device/hid/supported_interfaces.h"
#include "emulator/virtual_bus.h"

namespace qm::cli {

struct BackendChoice {
    std::unique_ptr<emu::VirtualBus> bus;  // set when the virtual peripherals are in use
    hid::HidBackend* backend = nullptr;
    const DeviceTables* tables = nullptr;
};

// virtualList: the value of --virtual when given ("" for the default set). Falls back to
// QUILLMARK_VIRTUAL. False with a message for an unknown peripheral name.
bool chooseBackend(const std::optional<std::string>& virtualList, BackendChoice& choice,
                   std::string& error);

}  // namespace qm::cli
