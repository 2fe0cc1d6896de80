// How a device object tells the rest of the program what changed. Every notification arrives on
// the UI thread (through the dispatcher), never on a reader or lighting thread.
#pragma once

#include <cstdint>

namespace qm {

class CTessarinUSBDevice;

enum class DeviceChange {
    Attached,           // opened and read back (OnAttached ran)
    Detached,           // the peripheral left; the transport is closed
    ConnectionChanged,  // switched between cable and receiver in place
    Online,             // the peripheral behind the receiver answers again
    Offline,            // the peripheral behind the receiver stopped answering
    PowerStatus,        // a new status block was read
    ProfileLoaded,      // the active profile was (re)loaded
    PageRefresh,        // settings changed on the device; the page should show them again
    LayoutRead,         // the key code and LED index tables were read; the position maps changed
    SettingsRead,       // the settings block was read back into the device and its profile
    SlotChanged,        // the device reported another active on-board slot
    KeyAssignments,     // the key assignment list changed (captions to refresh)
};

const char* changeName(DeviceChange change);

class DeviceObserver {
public:
    virtual ~DeviceObserver() = default;
    virtual void OnDeviceChange(CTessarinUSBDevice& device, DeviceChange change) = 0;
};

}  // namespace qm
