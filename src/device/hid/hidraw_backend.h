// The Linux backend: HID interfaces through the kernel's hidraw nodes. One path per top-level
// collection of each node, so that an interface with several collections shows as several
// interfaces, as the supported-interface table expects.
#pragma once

#include <memory>
#include <string>

#include "device/hid/hid_backend.h"

namespace qm::hid {

// sysfsRoot and devRoot are parameters so that tests run against a fake tree.
std::unique_ptr<HidBackend> makeHidrawBackend(std::string sysfsRoot = "/sys",
                                              std::string devRoot = "/dev");

}  // namespace qm::hid
