// The selector entries of the device manager: their visibility and selection, and the timers
// that attach a device, watch its presence through the receiver and read its power status.
#include <algorithm>

#include "device/model/device_manager.h"
#include "platform/trace.h"

namespace qm {

int DeviceManager::VisibleCount() const {
    return static_cast<int>(std::count_if(m_Entries.begin(), m_Entries.end(),
                                          [](const auto& state) { return state->entry.visible; }));
}

void DeviceManager::OnEntryVisibility(int entry, bool show) {
    if (m_Suspended || entry < 0 || entry >= EntryCount())
        return;
    if (!show)
        HideEntry(entry);
    else if (!m_Entries[entry]->entry.visible)
        ShowEntry(entry, true, VisibleCount() == 0);
}

void DeviceManager::ShowEntry(int entry, bool visible, bool select) {
    if (entry < 0 || entry >= EntryCount())
        return;
    SelectorEntry& shown = m_Entries[entry]->entry;
    const bool changed = shown.visible != visible;
    shown.visible = visible;
    if (changed)
        notify(visible ? ManagerEvent::EntryShown : ManagerEvent::EntryHidden, entry);
    if (select)
        selectEntry(entry);
    afterVisibilityChange();
}

void DeviceManager::HideEntry(int entry) {
    if (entry < 0 || entry >= EntryCount())
        return;
    SelectorEntry& hidden = m_Entries[entry]->entry;
    const bool wasVisible = hidden.visible;
    if (wasVisible && m_Selected == entry)
        notify(ManagerEvent::EntryClosing, entry);
    hidden.visible = false;
    if (wasVisible)
        notify(ManagerEvent::EntryHidden, entry);
    // Another entry is selected only when the selection went with this one; hiding an entry the
    // user is not looking at leaves the page in view alone.
    if (m_Selected == entry || m_Selected < 0) {
        m_Selected = -1;
        for (int i = 0; i < EntryCount(); ++i) {
            if (m_Entries[i]->entry.visible) {
                ShowEntry(i, true, true);
                return;
            }
        }
    }
    afterVisibilityChange();
}

void DeviceManager::selectEntry(int entry) {
    const int display = m_Entries[entry]->entry.powerDisplayIndex;
    m_PowerContainerVisible = display >= 0;
    if (display >= 0)
        m_SelectedPowerDisplay = display;
    if (m_Selected == entry)
        return;
    m_Selected = entry;
    notify(ManagerEvent::EntrySelected, entry);
}

void DeviceManager::afterVisibilityChange() {
    if (VisibleCount() == 0) {
        // "No device": the first page and the first power display are selected behind it.
        m_Selected = -1;
        m_SelectedPowerDisplay = 0;
    }
    int checked = 0;
    for (const auto& state : m_Entries)
        checked += state->entry.visible && state->entry.syncChecked ? 1 : 0;
    if (checked < 2)
        for (auto& state : m_Entries)
            state->entry.syncChecked = false;
}

void DeviceManager::SetSyncChecked(int entry, bool checked) {
    if (entry < 0 || entry >= EntryCount())
        return;
    m_Entries[entry]->entry.syncChecked = checked;
}

void DeviceManager::setOnline(int entry, bool online) {
    std::optional<bool>& known = m_Entries[entry]->online;
    if (known == online)
        return;
    known = online;
    notify(online ? ManagerEvent::Online : ManagerEvent::Offline, entry);
}

// ---- entry timers ----

void DeviceManager::startTimer(int entry, int id, std::chrono::milliseconds delay) {
    killTimer(entry, id);
    m_Entries[entry]->timers[id] = m_Context.dispatcher.postAfter(delay, [this, entry, id] {
        m_Entries[entry]->timers.erase(id);
        onTimer(entry, id);
    });
}

void DeviceManager::killTimer(int entry, int id) {
    auto& timers = m_Entries[entry]->timers;
    if (auto it = timers.find(id); it != timers.end()) {
        m_Context.dispatcher.cancel(it->second);
        timers.erase(it);
    }
}

void DeviceManager::killTimers(int entry) {
    for (const auto& [id, timer] : m_Entries[entry]->timers)
        m_Context.dispatcher.cancel(timer);
    m_Entries[entry]->timers.clear();
}

void DeviceManager::onTimer(int entry, int id) {
    CTessarinUSBDevice& dev = device(entry);
    CUsbTransport& transport = dev.Transport();
    switch (id) {
        case kTimerLighting:
            // Re-armed only while the device has frames to send; none until host lighting comes.
            if (transport.IsOpen() && dev.SendFrame() > 0)
                startTimer(entry, id, transport.IsReceiverMode() ? kReceiverFrame : kCableFrame);
            break;
        case kTimerAttach:
            onAttachTimer(entry);
            break;
        case kTimerPowerStatus:
            if (!dev.BatteryDisplay())
                break;
            dev.ReadPowerStatus();
            if (transport.IsOpen())
                startTimer(entry, id, kPowerReadPeriod);
            break;
        case kTimerPresence:
            onPresenceTimer(entry);
            break;
        case kTimerLinkProbe:
            probeLink(entry);
            break;
        default:
            break;
    }
}

void DeviceManager::onAttachTimer(int entry) {
    CTessarinUSBDevice& dev = device(entry);
    CUsbTransport& transport = dev.Transport();
    // A closed transport has nothing to read back; attaching it would report a failure as a
    // working device.
    if (!transport.IsOpen())
        return;
    const bool receiver = transport.IsReceiverMode();
    if (receiver) {
        const bool online = dev.IsDeviceOnline();
        setOnline(entry, online);
        if (!online) {
            if (m_Entries[entry]->entry.visible)
                OnEntryVisibility(entry, false);
            startTimer(entry, kTimerAttach, kAttachRetry);
            return;
        }
        OnEntryVisibility(entry, true);
    }
    dev.OnAttached();
    startTimer(entry, kTimerLighting, kFirstFrame);
    if (dev.BatteryDisplay() && transport.IsOpen())
        startTimer(entry, kTimerPowerStatus, kFirstPowerRead);
    if (receiver)
        startTimer(entry, kTimerPresence, kFirstPresenceCheck);
}

void DeviceManager::onPresenceTimer(int entry) {
    CTessarinUSBDevice& dev = device(entry);
    if (!dev.Transport().IsOpen() || !dev.Transport().IsReceiverMode())
        return;
    const bool online = dev.IsDeviceOnline();
    setOnline(entry, online);
    const bool visible = m_Entries[entry]->entry.visible;
    if (online && !visible) {
        OnEntryVisibility(entry, true);
        dev.ReadPowerStatus();
    } else if (!online && visible) {
        OnEntryVisibility(entry, false);
    }
    startTimer(entry, kTimerPresence, kPresencePeriod);
}

void DeviceManager::probeLink(int entry) {
    CTessarinUSBDevice& dev = device(entry);
    if (!dev.Transport().IsOpen() || !dev.Transport().IsReceiverMode())
        return;
    // Asked up to 26 times 50 ms apart, on timers rather than sleeping on the UI thread.
    const bool online = dev.IsDeviceOnline();
    if (!online) {
        trace("获取2.4G模式失败");
        if (--m_Entries[entry]->linkProbesLeft > 0) {
            startTimer(entry, kTimerLinkProbe, kLinkProbeGap);
            return;
        }
    }
    setOnline(entry, online);
    trace("获取2");
    dev.ReadPowerStatus();
}

}  // namespace qm
