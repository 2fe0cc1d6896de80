// The life of the device objects, as the main window runs it, without the window: the device
// slots, the device objects (created the first time a peripheral kind is needed), the selector
// entries and their timers, and the "no device" state. The scan thread reports claims and
// releases; the manager opens the command interface in cable or receiver mode, switches a
// peripheral between the two in place, hands it its event interfaces and shows or hides its entry.
// Everything here runs on the UI thread (the dispatcher's).
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "device/hid/device_slots.h"
#include "device/hid/scan_thread.h"
#include "device/hid/supported_interfaces.h"
#include "device/model/device_observer.h"
#include "device/model/manager_observer.h"
#include "device/model/selector_entry.h"
#include "device/model/tessarin_usb_device.h"

namespace qm {

// The four device lists of the main window.
enum class KindGroup { MousePad, Mouse, Keyboard, Headset, None };
KindGroup kindGroup(int kind);

class DeviceManager final : public ScanListener, private DeviceObserver {
public:
    // Fills the slots from tables.Interfaces and creates the mouse and keyboard objects up front,
    // their entries hidden. context and tables must outlive the manager; the scan must be
    // stopped before the manager goes.
    DeviceManager(DeviceContext& context, const DeviceTables& tables);
    ~DeviceManager() override;
    DeviceManager(const DeviceManager&) = delete;
    DeviceManager& operator=(const DeviceManager&) = delete;

    // The slots, for the scan thread: only it writes them while it runs, and the manager reads
    // them only while the scan waits for one of the handlers below.
    DeviceSlots& Slots() { return m_Slots; }

    // The scan's messages. Claims and releases are ignored while suspended.
    void OnSlotClaimed(int slot) override;
    void OnSlotReleased(int slot) override;
    void OnFirstPassComplete() override;
    void OnScanFailed() override;

    // Creates the device object and the hidden entry for the peripheral of slot (an event or
    // receiver slot stands for its cable command slot). False when no option row fits.
    bool CreateDevicePage(int slot, int variant);
    void AttachDevice(int slot);
    void DetachDevice(int slot);
    // Moves the peripheral of a cable/receiver pair to its other connection.
    void SwitchConnection(int slot);
    bool IsPartnerConnected(int slot) const { return m_Slots.IsPartnerConnected(slot); }
    void AttachEventInterface(int slot);
    void DetachEventInterface(int slot);

    // Entry visibility. OnEntryVisibility is ignored while suspended.
    void OnEntryVisibility(int entry, bool show);
    void ShowEntry(int entry, bool visible, bool select);
    void HideEntry(int entry);
    void SetSyncChecked(int entry, bool checked);

    // Between the system's suspend and resume notices.
    void SetSuspended(bool suspended) { m_Suspended = suspended; }
    bool IsSuspended() const { return m_Suspended; }

    // State.
    int EntryCount() const { return static_cast<int>(m_Entries.size()); }
    // entry must be below EntryCount().
    const SelectorEntry& Entry(int entry) const { return m_Entries.at(entry)->entry; }
    int EntryOf(const CTessarinUSBDevice& device) const;
    int SelectedEntry() const { return m_Selected; }
    // The device of the visible, selected entry, or null.
    CTessarinUSBDevice* CurrentDevice() const;
    std::vector<CTessarinUSBDevice*> Devices(KindGroup group) const;
    bool NoDevice() const { return VisibleCount() == 0; }
    int VisibleCount() const;
    bool FirstPassDone() const { return m_FirstPassDone; }
    bool SyncControlsVisible() const { return VisibleCount() > 1; }
    bool PowerContainerVisible() const { return m_PowerContainerVisible; }
    int SelectedPowerDisplay() const { return m_SelectedPowerDisplay; }
    const std::vector<PowerDisplay>& PowerDisplays() const { return m_PowerDisplays; }
    // Whether the peripheral of a receiver-connected entry answers; empty when not known.
    std::optional<bool> IsOnline(int entry) const { return m_Entries.at(entry)->online; }

    void AddObserver(DeviceManagerObserver* observer);
    void RemoveObserver(DeviceManagerObserver* observer);

private:
    struct EntryState {
        SelectorEntry entry;
        std::map<int, Dispatcher::TimerId> timers;  // pending, by timer number
        std::optional<bool> online;
        int linkProbesLeft = 0;
    };

    void OnDeviceChange(CTessarinUSBDevice& device, DeviceChange change) override;

    bool validSlot(int slot) const { return slot >= 0 && slot < static_cast<int>(m_Slots.size()); }
    // The entry whose record stands for the peripheral of slot, or -1.
    int entryForSlot(int slot) const;
    CTessarinUSBDevice& device(int entry) { return *m_Entries[entry]->entry.device; }
    // Leaves the device closed, its threads joined and its entry hidden.
    void closeDevice(int entry, int slot);
    void selectEntry(int entry);
    void afterVisibilityChange();
    void setOnline(int entry, bool online);
    void probeLink(int entry);

    void startTimer(int entry, int id, std::chrono::milliseconds delay);
    void killTimer(int entry, int id);
    void killTimers(int entry);
    void onTimer(int entry, int id);
    void onAttachTimer(int entry);
    void onPresenceTimer(int entry);

    void notify(ManagerEvent event, int entry = -1, int slot = -1);

    DeviceContext& m_Context;
    const DeviceTables& m_Tables;
    DeviceSlots m_Slots;
    std::vector<std::unique_ptr<EntryState>> m_Entries;
    std::vector<PowerDisplay> m_PowerDisplays;
    std::vector<DeviceManagerObserver*> m_Observers;
    int m_Selected = -1;
    bool m_PowerContainerVisible = false;
    int m_SelectedPowerDisplay = 0;
    bool m_FirstPassDone = false;
    bool m_Suspended = false;
};

}  // namespace qm
