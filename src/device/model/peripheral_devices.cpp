#include "device/model/peripheral_devices.h"

#include "platform/trace.h"

namespace qm {

bool CTessarinLinkedDevice::IsDeviceOnline() {
    return m_Transport.IsOpen() && m_Transport.IsReceiverMode() && m_Transport.IsPeripheralOnline();
}

void CTessarinLinkedDevice::ReadPowerStatus() {
    if (m_PowerReadsPaused || !m_Transport.IsOpen())
        return;
    // On the cable the link query answers yes without an exchange.
    if (!m_Transport.IsPeripheralOnline())
        return;
    const int result = readStatusBlock();
    if (result != kResultOk)
        tracef("%s: status read failed (%d)", m_DeviceName.c_str(), result);
}

void CTessarinLinkedDevice::DeferredOperation1() {
    LoadProfile();
    ApplyToPage();
}

void CTessarinCabledDevice::ReadPowerStatus() {
    if (m_PowerReadsPaused || !m_Transport.IsOpen())
        return;
    const int result = readStatusBlock();
    if (result != kResultOk)
        tracef("%s: status read failed (%d)", m_DeviceName.c_str(), result);
}

void CTessarinCabledDevice::DeferredOperation1() {
    ApplyToPage();
}

std::unique_ptr<CTessarinUSBDevice> createDevice(std::uint16_t kind, DeviceContext& context) {
    switch (kind) {
        case DEVICE_KEYBOARD:
        case DEVICE_KEYBOARD_24G:
            return std::make_unique<CTessarinKeyboardDevice>(context);
        case DEVICE_MOUSE:
        case DEVICE_MOUSE_24G:
            return std::make_unique<CTessarinMouseDevice>(context);
        case DEVICE_MOUSEPAD:
            return std::make_unique<CTessarinMousePadDevice>(context);
        case DEVICE_HEADSET:
            return std::make_unique<CTessarinHS6533Device>(context);
        default:
            return nullptr;
    }
}

}  // namespace qm
