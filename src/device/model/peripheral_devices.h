// The four peripheral classes. What they share with the base is here; their own settings blocks,
// key tables and lighting come with their features. The keyboard has its own header.
#pragma once

#include <memory>

#include "device/model/keyboard_device.h"
#include "device/model/linked_device.h"
#include "device/model/tessarin_usb_device.h"
#include "profile/hs6533_profile_data.h"
#include "profile/mouse_profile_data.h"

namespace qm {

class CTessarinMouseDevice final : public CTessarinLinkedDevice {
public:
    explicit CTessarinMouseDevice(DeviceContext& context)
        : CTessarinLinkedDevice(context, std::make_unique<CMouseProfiledata>()) {}
};

// Mousepad and headset: on their cable only; the status block is read without a link query.
class CTessarinCabledDevice : public CTessarinUSBDevice {
public:
    using CTessarinUSBDevice::CTessarinUSBDevice;
    void ReadPowerStatus() override;
    void DeferredOperation1() override;
};

class CTessarinMousePadDevice final : public CTessarinCabledDevice {
public:
    explicit CTessarinMousePadDevice(DeviceContext& context)
        : CTessarinCabledDevice(context, std::make_unique<CBasicProfiledata>()) {}
};

class CTessarinHS6533Device final : public CTessarinCabledDevice {
public:
    explicit CTessarinHS6533Device(DeviceContext& context)
        : CTessarinCabledDevice(context, std::make_unique<CHs6533Profiledata>()) {}
};

// The device class for a kind (1 and 9 keyboard, 2 and 6 mouse, 3 mousepad, 7 headset); null
// for any other kind.
std::unique_ptr<CTessarinUSBDevice> createDevice(std::uint16_t kind, DeviceContext& context);

}  // namespace qm
