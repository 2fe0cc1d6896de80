#include "device_page.h"

#include "device/hid/usb_interface_record.h"
#include "device/model/keyboard_device.h"
#include "keyboard_page.h"

namespace qm::ui {

std::unique_ptr<DevicePage> createDevicePage(QWidget* page, CTessarinUSBDevice& device,
                                             const PageServices& services) {
    const int kind = device.Kind();
    if (kind == DEVICE_KEYBOARD || kind == DEVICE_KEYBOARD_24G) {
        if (auto* keyboard = dynamic_cast<CTessarinKeyboardDevice*>(&device))
            return std::make_unique<KeyboardPage>(page, *keyboard, services);
    }
    return nullptr;
}

}  // namespace qm::ui
