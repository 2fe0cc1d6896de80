#include "device_session.h"

#include "device/transport/transport_result.h"

namespace qm::cli {

std::unique_ptr<CTessarinUSBDevice> makeDevice(const DeviceTables& tables, std::uint16_t kind,
                                               DeviceContext& context) {
    for (std::size_t row = 0; row < tables.Options.size(); ++row) {
        const DeviceOptionRow& option = tables.Options[row];
        if (option.Kind != kind)
            continue;
        const DeviceSlots slots(tables.Interfaces);
        const int slot =
            slots.FindSupportedRow(option.VendorId, option.ProductId, kind, ROLE_COMMAND);
        if (slot < 0)
            return nullptr;
        const DevicePageRow& page = tables.Pages[row];
        auto device = createDevice(kind, context);
        device->SetPageLayout(page.PageLayout);
        device->SetKeyCount(page.KeyCount);
        device->SetLedCount(page.LedCount);
        device->SetEntryIndex(static_cast<int>(row));
        device->SetBatteryDisplay(page.BatteryDisplay != 0);
        device->SetReserved(page.Reserved);
        device->SetDeviceName(option.DeviceName);
        device->BindSlot(slots[static_cast<std::size_t>(slot)]);
        device->SetDeviceTypeIndex(option.DeviceTypeIndex);
        device->SetLightConfigName(page.LightingName);
        device->InitPage();
        return device;
    }
    return nullptr;
}

KeyboardSession::KeyboardSession(Context& context)
    : m_Context(context),
      m_DeviceContext{*context.choice.backend, m_Dispatcher, systemClock(), defaultDataFolder(),
                      productDataFolder()} {}

KeyboardSession::~KeyboardSession() {
    if (m_Device)
        m_Device->Detach();
}

bool KeyboardSession::attach() {
    DeviceSlots slots(m_Context.choice.tables->Interfaces);
    std::vector<ScanProblem> problems;
    if (!scanSlots(m_Context, slots, problems))
        return false;
    std::string error;
    const int index = findCommandSlot(slots, "keyboard", error);
    if (index < 0) {
        printError(error);
        return false;
    }
    const UsbInterfaceRecord& slot = slots[static_cast<std::size_t>(index)];
    const bool receiver = isReceiverKind(slot.Kind);

    // One keyboard object serves both connections, as in the device manager.
    m_Device = makeDevice(*m_Context.choice.tables, DEVICE_KEYBOARD, m_DeviceContext);
    m_Keyboard = dynamic_cast<CTessarinKeyboardDevice*>(m_Device.get());
    if (m_Keyboard == nullptr) {
        printError("no device tables for the keyboard");
        return false;
    }
    CUsbTransport& transport = m_Keyboard->Transport();
    if (const int failed =
            transport.OpenCommandInterface(slot.Path, receiver ? kModeReceiver : kModeCable);
        failed != 0) {
        printError("cannot open " + slot.Path + " (errno " + std::to_string(failed) + ")");
        return false;
    }
    if (receiver && !m_Keyboard->IsDeviceOnline()) {
        printError("the keyboard behind its receiver is switched off or out of reach");
        return false;
    }
    // The read-back on attach reports no result of its own: ask once here, so that a keyboard
    // that does not answer is named with the reason, not shown from a stale profile.
    std::array<std::uint8_t, report::kDeviceInfoSize> info{};
    int result = transport.BeginConfig();
    if (result == kResultOk) {
        result = transport.ReadDeviceInfo(info);
        const int end = transport.EndConfig();
        if (result == kResultOk)
            result = end;
    }
    if (result != kResultOk) {
        printError(resultMessage("keyboard", result));
        return false;
    }
    m_Keyboard->OnAttached();
    return true;
}

}  // namespace qm::cli
