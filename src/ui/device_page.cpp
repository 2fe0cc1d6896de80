#include "device_page.h"

#include "device/model/tessarin_usb_device.h"

namespace qm::ui {

std::unique_ptr<DevicePage> createDevicePage(QWidget* /*page*/, CTessarinUSBDevice& /*device*/,
                                             const PageServices& /*services*/) {
    return nullptr;
}

}  // namespace qm::ui
