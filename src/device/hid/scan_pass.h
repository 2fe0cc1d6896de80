// One pass of the device scan: claim a slot for each supported interface present, and release
// slots whose interface has gone. The scan thread repeats these; the CLI runs them once.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "device/hid/device_slots.h"
#include "device/hid/hid_device.h"

namespace qm {

// A supported interface that was present but could not be opened.
struct ScanProblem {
    std::string path;
    int error = 0;  // errno value; EACCES when the user lacks permission
};

// Lists the interfaces with probe, opens each supported free one read-only, reads its ids and
// usages and claims a slot for it; onClaimed(slot) runs after each claim, in listing order.
// Returns false when the listing itself failed (nothing is claimed then).
bool claimPresentInterfaces(CHidDevice& probe, DeviceSlots& slots,
                            const std::function<void(int slot)>& onClaimed,
                            std::vector<ScanProblem>* problems = nullptr);

// Releases every connected slot whose interface is no longer present; onReleased(slot) runs after
// each release.
void releaseMissingInterfaces(hid::HidBackend& backend, DeviceSlots& slots,
                              const std::function<void(int slot)>& onReleased);

}  // namespace qm
