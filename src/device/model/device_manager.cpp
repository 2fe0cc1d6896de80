#include "device/model/device_manager.h"

#include <algorithm>

#include "device/hid/hid_device.h"
#include "device/model/peripheral_devices.h"
#include "platform/trace.h"

namespace qm {
namespace {

const char* lossTrace(int kind) {
    switch (kindGroup(kind)) {
        case KindGroup::Keyboard:
            return "键盘设备丢失";
        case KindGroup::Mouse:
            return "鼠标设备丢失";
        case KindGroup::MousePad:
            return "mousepad device lost";
        case KindGroup::Headset:
            return "headset device lost";
        case KindGroup::None:
            break;
    }
    return "unknown device lost";
}

}  // namespace

KindGroup kindGroup(int kind) {
    switch (kind) {
        case DEVICE_KEYBOARD:
        case DEVICE_KEYBOARD_24G:
            return KindGroup::Keyboard;
        case DEVICE_MOUSE:
        case DEVICE_MOUSE_24G:
            return KindGroup::Mouse;
        case DEVICE_MOUSEPAD:
            return KindGroup::MousePad;
        case DEVICE_HEADSET:
            return KindGroup::Headset;
        default:
            return KindGroup::None;
    }
}

const char* managerEventName(ManagerEvent event) {
    switch (event) {
        case ManagerEvent::FirstPassComplete:
            return "ready";
        case ManagerEvent::RaiseWindow:
            return "raise";
        case ManagerEvent::ScanFailed:
            return "scan-failed";
        case ManagerEvent::EntryShown:
            return "shown";
        case ManagerEvent::EntryHidden:
            return "hidden";
        case ManagerEvent::EntrySelected:
            return "selected";
        case ManagerEvent::EntryClosing:
            return "closing";
        case ManagerEvent::Arrived:
            return "arrived";
        case ManagerEvent::OpenFailed:
            return "open-failed";
        case ManagerEvent::Attached:
            return "attached";
        case ManagerEvent::Departed:
            return "departed";
        case ManagerEvent::Switched:
            return "switched";
        case ManagerEvent::Online:
            return "online";
        case ManagerEvent::Offline:
            return "offline";
        case ManagerEvent::PowerStatus:
            return "power";
    }
    return "unknown";
}

DeviceManager::DeviceManager(DeviceContext& context, const DeviceTables& tables)
    : m_Context(context), m_Tables(tables), m_Slots(tables.Interfaces) {
    // The mouse and keyboard objects exist from the start; their entries stay hidden until the
    // hardware arrives.
    for (std::size_t row = 0; row < 2 && row < m_Tables.Options.size(); ++row) {
        const DeviceOptionRow& option = m_Tables.Options[row];
        const int slot = m_Slots.FindSupportedRow(option.VendorId, option.ProductId, option.Kind,
                                                  option.Variant);
        if (slot < 0 || !CreateDevicePage(slot, option.Variant))
            tracef("devices: cannot create the %s up front", option.DeviceName);
    }
}

DeviceManager::~DeviceManager() {
    for (int entry = 0; entry < EntryCount(); ++entry) {
        killTimers(entry);
        device(entry).RemoveObserver(this);
    }
    // The device objects go with their entries: their threads are stopped and joined.
    m_Entries.clear();
}

// ---- the scan's messages ----

void DeviceManager::OnSlotClaimed(int slot) {
    if (m_Suspended) {
        tracef("devices: slot %d claimed while suspended; ignored", slot);
        return;
    }
    if (!validSlot(slot))
        return;
    const UsbInterfaceRecord& claimed = m_Slots[slot];
    std::vector<UsbInterfaceRecord> records;
    for (const auto& state : m_Entries)
        records.push_back(state->entry.record);
    if (!m_Slots.HasDeviceObject(slot, records)) {
        const int commandRow = m_Slots.FindSupportedRow(claimed.VendorId, claimed.ProductId,
                                                        claimed.Kind, ROLE_COMMAND);
        if (commandRow < 0 || !CreateDevicePage(commandRow, 0))
            tracef("devices: no device page for the %s of slot %d", kindName(claimed.Kind), slot);
    }
    AttachDevice(slot);
    tracef("devices: %s added (slot %d)", kindName(claimed.Kind), slot);
    for (KindGroup group : {KindGroup::Mouse, KindGroup::Keyboard})
        for (CTessarinUSBDevice* each : Devices(group))
            each->PausePowerReads(false);
    notify(ManagerEvent::RaiseWindow);
}

void DeviceManager::OnSlotReleased(int slot) {
    if (m_Suspended) {
        tracef("devices: slot %d released while suspended; ignored", slot);
        return;
    }
    if (validSlot(slot))
        DetachDevice(slot);
}

void DeviceManager::OnFirstPassComplete() {
    m_FirstPassDone = true;
    notify(ManagerEvent::FirstPassComplete);
    notify(ManagerEvent::RaiseWindow);
}

void DeviceManager::OnScanFailed() {
    trace("devices: the device scan has ended; peripherals are no longer added or removed");
    notify(ManagerEvent::ScanFailed);
}

// ---- device objects ----

bool DeviceManager::CreateDevicePage(int slot, int variant) {
    const int objectSlot = m_Slots.ResolveObjectSlot(slot);
    if (objectSlot < 0)
        return false;
    const UsbInterfaceRecord& record = m_Slots[objectSlot];
    // A receiver slot without a cable partner stands for itself; its page is its peripheral's.
    int kind = record.Kind;
    if (kind == DEVICE_MOUSE_24G)
        kind = DEVICE_MOUSE;
    else if (kind == DEVICE_KEYBOARD_24G)
        kind = DEVICE_KEYBOARD;
    const int row = FindDeviceOptionRow(m_Tables, record.VendorId, record.ProductId, kind, variant);
    if (row < 0 || static_cast<std::size_t>(row) >= m_Tables.Pages.size())
        return false;
    std::unique_ptr<CTessarinUSBDevice> created =
        createDevice(static_cast<std::uint16_t>(kind), m_Context);
    if (!created)
        return false;
    const DeviceOptionRow& option = m_Tables.Options[row];
    const DevicePageRow& page = m_Tables.Pages[row];

    m_PowerDisplays.push_back({kind, variant});
    created->SetPageLayout(page.PageLayout);
    created->SetKeyCount(page.KeyCount);
    created->SetLedCount(page.LedCount);
    created->SetEntryIndex(row);
    created->SetBatteryDisplay(page.BatteryDisplay != 0);
    created->SetReserved(page.Reserved);
    created->SetDeviceName(option.DeviceName);
    created->BindSlot(record);
    created->SetDeviceTypeIndex(option.DeviceTypeIndex);
    created->SetLightConfigName(page.LightingName);
    created->InitPage();
    created->AddObserver(this);

    auto state = std::make_unique<EntryState>();
    state->entry.device = std::move(created);
    state->entry.optionRow = row;
    state->entry.kind = kind;
    state->entry.variant = variant;
    state->entry.visible = false;
    state->entry.powerDisplayIndex = static_cast<int>(m_PowerDisplays.size()) - 1;
    state->entry.record = record;
    m_Entries.push_back(std::move(state));
    tracef("devices: %s created for slot %d", option.DeviceName, objectSlot);
    return true;
}

int DeviceManager::entryForSlot(int slot) const {
    const int objectSlot = m_Slots.ResolveObjectSlot(slot);
    if (objectSlot < 0)
        return -1;
    for (std::size_t i = 0; i < m_Entries.size(); ++i)
        if (m_Entries[i]->entry.record == m_Slots[objectSlot])
            return static_cast<int>(i);
    return -1;
}

int DeviceManager::EntryOf(const CTessarinUSBDevice& device) const {
    for (std::size_t i = 0; i < m_Entries.size(); ++i)
        if (m_Entries[i]->entry.device.get() == &device)
            return static_cast<int>(i);
    return -1;
}

CTessarinUSBDevice* DeviceManager::CurrentDevice() const {
    if (m_Selected < 0 || !m_Entries[m_Selected]->entry.visible)
        return nullptr;
    return m_Entries[m_Selected]->entry.device.get();
}

std::vector<CTessarinUSBDevice*> DeviceManager::Devices(KindGroup group) const {
    std::vector<CTessarinUSBDevice*> devices;
    for (const auto& state : m_Entries)
        if (kindGroup(state->entry.kind) == group)
            devices.push_back(state->entry.device.get());
    return devices;
}

void DeviceManager::AttachDevice(int slot) {
    if (!validSlot(slot))
        return;
    const UsbInterfaceRecord& arriving = m_Slots[slot];
    if (arriving.Role == ROLE_EVENT) {
        AttachEventInterface(slot);
        return;
    }
    const int entry = entryForSlot(slot);
    if (entry < 0) {
        tracef("devices: no device object for slot %d", slot);
        return;
    }
    CTessarinUSBDevice& dev = device(entry);
    CUsbTransport& transport = dev.Transport();
    const bool receiver = isReceiverKind(arriving.Kind);
    if (IsPartnerConnected(slot) && transport.IsOpen()) {
        // The cable takes over from the receiver; a receiver arriving beside the cable changes
        // nothing.
        if (!receiver && transport.IsReceiverMode())
            SwitchConnection(slot);
        return;
    }

    if (!transport.IsOpen()) {
        const int error =
            transport.OpenCommandInterface(arriving.Path, receiver ? kModeReceiver : kModeCable);
        const bool opened = error == 0;
        if (opened)
            dev.BindSlot(m_Slots[m_Slots.ResolveObjectSlot(slot)]);
        if (!opened) {
            // Shown as usable it would not work: the entry stays hidden and nothing is read.
            tracef(
                "devices: cannot open the command interface %s of the %s (errno %d); it stays "
                "closed until it is plugged in again",
                arriving.Path.c_str(), dev.DeviceName().c_str(), error);
            notify(ManagerEvent::OpenFailed, entry, slot);
            return;
        }
        m_Entries[entry]->online.reset();
        notify(ManagerEvent::Arrived, entry, slot);
    }

    if (!receiver)
        ShowEntry(entry, true, VisibleCount() == 0);
    startTimer(entry, kTimerAttach, kAttachDelay);
}

void DeviceManager::DetachDevice(int slot) {
    if (!validSlot(slot))
        return;
    const UsbInterfaceRecord& leaving = m_Slots[slot];
    if (leaving.Role == ROLE_EVENT) {
        DetachEventInterface(slot);
        return;
    }
    trace(lossTrace(leaving.Kind));
    const int entry = entryForSlot(slot);
    if (entry < 0)
        return;
    CUsbTransport& transport = device(entry).Transport();
    const bool receiver = isReceiverKind(leaving.Kind);
    if (IsPartnerConnected(slot)) {
        // The other connection is still there: fall back to it when this one was in use.
        if (transport.IsOpen() && transport.IsReceiverMode() == receiver)
            SwitchConnection(slot);
        return;
    }
    closeDevice(entry, slot);
}

void DeviceManager::closeDevice(int entry, int slot) {
    CTessarinUSBDevice& dev = device(entry);
    const bool wasOpen = dev.Transport().IsOpen();
    killTimers(entry);
    m_Entries[entry]->online.reset();
    // Unlike a bare close, Detach also stops and joins the lighting thread and the event readers,
    // so that a later attach never finds a second lighting thread running.
    dev.Detach();
    HideEntry(entry);
    if (wasOpen)
        notify(ManagerEvent::Departed, entry, slot);
}

void DeviceManager::SwitchConnection(int slot) {
    const int cableSlot = m_Slots.ResolveObjectSlot(slot);
    if (cableSlot < 0 || !m_Slots[cableSlot].HasPartner ||
        m_Slots[cableSlot].PartnerIndex >= m_Slots.size())
        return;
    const int receiverSlot = m_Slots[cableSlot].PartnerIndex;
    const int entry = entryForSlot(cableSlot);
    if (entry < 0)
        return;
    CTessarinUSBDevice& dev = device(entry);
    CUsbTransport& transport = dev.Transport();
    const bool toReceiver = !transport.IsReceiverMode();
    const int targetSlot = toReceiver ? receiverSlot : cableSlot;
    const std::string target = m_Slots[targetSlot].Path;

    bool opened = false;
    bool stayed = false;
    {
        std::lock_guard lock(transport.IoLock());
        transport.SetOpen(false);
        CHidDevice& to = toReceiver ? transport.ReceiverInterface() : transport.CableInterface();
        CHidDevice& from = toReceiver ? transport.CableInterface() : transport.ReceiverInterface();
        to.Close();
        opened = !target.empty() && to.Open(target, true, true, true, false);
        if (opened) {
            // The interface left behind is gone, or unused now that the cable took over.
            from.Close();
            transport.SetConnectionMode(toReceiver ? kModeReceiver : kModeCable);
            transport.SetOpen(true);
        } else if (from.IsOpen() && m_Context.backend.exists(from.GetDevicePath())) {
            // The connection in use is still there: keep it.
            transport.SetOpen(true);
            stayed = true;
        }
    }
    if (!opened) {
        tracef("devices: cannot switch the %s to its %s at %s", dev.DeviceName().c_str(),
               toReceiver ? "receiver" : "cable", target.c_str());
        if (!stayed)
            closeDevice(entry, slot);
        return;
    }

    m_Entries[entry]->online.reset();
    notify(ManagerEvent::Switched, entry, targetSlot);
    if (toReceiver) {
        if (dev.BatteryDisplay()) {
            m_Entries[entry]->linkProbesLeft = kLinkProbes;
            probeLink(entry);
        }
        startTimer(entry, kTimerPresence, kFirstPresenceCheck);
    } else {
        killTimer(entry, kTimerLinkProbe);
        startTimer(entry, kTimerAttach, kAttachDelay);
        OnEntryVisibility(entry, true);
        if (dev.BatteryDisplay())
            dev.ReadPowerStatus();
    }
}

void DeviceManager::AttachEventInterface(int slot) {
    const int entry = entryForSlot(slot);
    if (!validSlot(slot) || entry < 0)
        return;
    CTessarinUSBDevice& dev = device(entry);
    const UsbInterfaceRecord& arriving = m_Slots[slot];
    const bool receiver = isReceiverKind(arriving.Kind);
    // As with the command interface, the cable's event interface wins over the receiver's.
    if (receiver && IsPartnerConnected(slot) && dev.IsEventInterfaceOpen(false))
        return;
    dev.OpenEventInterface(arriving.Path, receiver);
}

void DeviceManager::DetachEventInterface(int slot) {
    const int entry = entryForSlot(slot);
    if (!validSlot(slot) || entry < 0)
        return;
    CTessarinUSBDevice& dev = device(entry);
    const bool receiver = isReceiverKind(m_Slots[slot].Kind);
    dev.CloseEventInterface(receiver);
    // Events keep coming through the other connection when it is still there.
    if (IsPartnerConnected(slot) && !dev.IsEventInterfaceOpen(!receiver))
        dev.OpenEventInterface(m_Slots[m_Slots[slot].PartnerIndex].Path, !receiver);
}

// ---- observers ----

void DeviceManager::OnDeviceChange(CTessarinUSBDevice& changed, DeviceChange change) {
    const int entry = EntryOf(changed);
    if (entry < 0)
        return;
    if (change == DeviceChange::Attached)
        notify(ManagerEvent::Attached, entry);
    else if (change == DeviceChange::PowerStatus)
        notify(ManagerEvent::PowerStatus, entry);
}

void DeviceManager::AddObserver(DeviceManagerObserver* observer) {
    if (std::find(m_Observers.begin(), m_Observers.end(), observer) == m_Observers.end())
        m_Observers.push_back(observer);
}

void DeviceManager::RemoveObserver(DeviceManagerObserver* observer) {
    m_Observers.erase(std::remove(m_Observers.begin(), m_Observers.end(), observer),
                      m_Observers.end());
}

void DeviceManager::notify(ManagerEvent event, int entry, int slot) {
    ManagerChange change;
    change.event = event;
    change.entry = entry;
    change.slot = slot;
    if (entry >= 0) {
        CTessarinUSBDevice& dev = device(entry);
        change.device = &dev;
        change.receiver =
            validSlot(slot) ? isReceiverKind(m_Slots[slot].Kind) : dev.Transport().IsReceiverMode();
        if (event == ManagerEvent::PowerStatus)
            change.power = dev.LastPowerStatus().value_or(PowerStatus{});
    }
    const std::vector<DeviceManagerObserver*> observers = m_Observers;
    for (DeviceManagerObserver* observer : observers)
        observer->OnManagerChange(change);
}

}  // namespace qm
