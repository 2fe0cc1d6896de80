// Which HID backend a program talks to: the hidraw nodes of this machine, the virtual peripherals
// in this process (--virtual[=LIST] or QUILLMARK_VIRTUAL=LIST), or a virtual bus that another
// process serves (--virtual=socket:PATH or QUILLMARK_VIRTUAL=socket:PATH; quillmark-virtual).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "device/hid/hid_backend.h"
#include "device/hid/supported_interfaces.h"
#include "emulator/virtual_bus.h"

namespace qm::cli {

// The prefix of a --virtual value that names a bus socket; "socket:" alone means the default
// socket, $XDG_RUNTIME_DIR/quillmark/virtual-bus.
inline constexpr std::string_view kSocketPrefix = "socket:";

struct BackendChoice {
    std::unique_ptr<emu::VirtualBus> bus;     // set when the in-process peripherals are in use
    std::unique_ptr<hid::HidBackend> remote;  // set when a bus in another process is in use
    hid::HidBackend* backend = nullptr;
    const DeviceTables* tables = nullptr;
};

// virtualList: the value of --virtual when given ("" for the default set). Falls back to
// QUILLMARK_VIRTUAL. False with a message for an unknown peripheral name, and for a socket at
// which no bus answers (the message names the socket and how to start a bus there).
bool chooseBackend(const std::optional<std::string>& virtualList, BackendChoice& choice,
                   std::string& error);

}  // namespace qm::cli
