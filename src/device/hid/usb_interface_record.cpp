#include "device/hid/usb_interface_record.h"

namespace qm {

bool operator==(const UsbInterfaceRecord& a, const UsbInterfaceRecord& b) {
    return a.VendorId == b.VendorId && a.ProductId == b.ProductId &&
           a.InterfaceNumber == b.InterfaceNumber && a.CollectionNumber == b.CollectionNumber &&
           a.Kind == b.Kind && a.Role == b.Role && a.UsagePage == b.UsagePage && a.Usage == b.Usage;
}

const char* kindName(std::uint16_t kind) {
    switch (kind) {
        case DEVICE_KEYBOARD:
            return "keyboard";
        case DEVICE_MOUSE:
            return "mouse";
        case DEVICE_MOUSEPAD:
            return "mousepad";
        case DEVICE_MOUSE_24G:
            return "mouse-receiver";
        case DEVICE_HEADSET:
            return "headset";
        case DEVICE_KEYBOARD_24G:
            return "keyboard-receiver";
        default:
            return "unknown";
    }
}

}  // namespace qm
