// Keyboard and mouse: reached through their receiver as well as on their cable.
#pragma once

#include "device/model/tessarin_usb_device.h"

namespace qm {

// Keyboard and mouse reach their receiver's link state with command 0xAA.
class CTessarinLinkedDevice : public CTessarinUSBDevice {
public:
    using CTessarinUSBDevice::CTessarinUSBDevice;
    // Through the receiver, with the transport open and the peripheral linked.
    bool IsDeviceOnline() override;
    // Battery and charging state, when the peripheral answers (through the receiver or on cable).
    void ReadPowerStatus() override;
    // Reads the settings back after a change made on the device.
    void DeferredOperation1() override;
};

}  // namespace qm
