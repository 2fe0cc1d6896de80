#include "device/model/tessarin_usb_device.h"

#include <algorithm>
#include <condition_variable>

#include "device/hid/hid_device.h"
#include "platform/paths.h"
#include "platform/trace.h"

namespace qm {
namespace {

// Waits until stop is requested or the time has passed; true when stopped.
bool waitForStop(const std::stop_token& stop, std::chrono::milliseconds time) {
    std::mutex lock;
    std::condition_variable_any wake;
    std::unique_lock guard(lock);
    return wake.wait_for(guard, stop, time, [] { return false; }) || stop.stop_requested();
}

}  // namespace

const char* changeName(DeviceChange change) {
    switch (change) {
        case DeviceChange::Attached:
            return "attached";
        case DeviceChange::Detached:
            return "detached";
        case DeviceChange::ConnectionChanged:
            return "connection";
        case DeviceChange::Online:
            return "online";
        case DeviceChange::Offline:
            return "offline";
        case DeviceChange::PowerStatus:
            return "power";
        case DeviceChange::ProfileLoaded:
            return "profile";
        case DeviceChange::PageRefresh:
            return "refresh";
        case DeviceChange::LayoutRead:
            return "layout";
        case DeviceChange::SettingsRead:
            return "settings";
        case DeviceChange::SlotChanged:
            return "slot";
        case DeviceChange::KeyAssignments:
            return "keys";
    }
    return "unknown";
}

CTessarinUSBDevice::CTessarinUSBDevice(DeviceContext& context,
                                       std::unique_ptr<CBasicProfiledata> profileData)
    : m_Context(context),
      m_ProfileData(profileData ? std::move(profileData) : std::make_unique<CBasicProfiledata>()),
      m_ProfileList(*this),
      m_Transport(context.backend, context.clock),
      m_EventTransport(context.backend, context.clock) {}

CTessarinUSBDevice::~CTessarinUSBDevice() {
    *m_Alive = false;
    StopLightThread();
    CloseEventInterface(false);
    CloseEventInterface(true);
}

void CTessarinUSBDevice::SetKeyCount(int count) {
    m_KeyCount = std::max(count, 0);
}

void CTessarinUSBDevice::SetLedCount(int count) {
    std::lock_guard lock(m_LedLock);
    m_LedColours.assign(static_cast<std::size_t>(std::max(count, 0)), 0);
}

void CTessarinUSBDevice::BindSlot(const UsbInterfaceRecord& record) {
    m_Slot = record;
    m_Kind = record.Kind;
    m_Role = record.Role;
}

void CTessarinUSBDevice::InitPage() {
    // Without a page layout the device has no keys and no LEDs.
    if (m_PageLayout.empty()) {
        m_KeyCount = 0;
        SetLedCount(0);
    }
    m_ProfileData->SetDefaultPath(DefaultSettingsFile());
    const ProfileOutcome loaded = m_ProfileList.LoadProfileList();
    if (!loaded.ok())
        tracef("%s: profile list: %s", m_DeviceName.c_str(), loaded.detail.c_str());
}

void CTessarinUSBDevice::ProfilePath(const std::string& profileFile) {
    m_ProfileData->SetProfilePath(profileFile);
    m_ProfileData->SetLightConfigPath(UserDataFolder() + m_LightConfigName + ".config");
}

int CTessarinUSBDevice::LoadProfile() {
    m_ProfileData->LoadActiveEntry(m_ProfileData->GetProfilePath());
    notify(DeviceChange::ProfileLoaded);
    return 1;
}

std::string CTessarinUSBDevice::GetProfileName() const {
    const int selected = m_ProfileList.GetSelectedIndex();
    if (selected < 0 || selected >= m_ProfileList.GetProfileCount())
        return {};
    return m_ProfileList.Profiles()[static_cast<std::size_t>(selected)].name;
}

void CTessarinUSBDevice::ActiveProfileChanged(const std::string& profileId,
                                              const std::string& profileFile,
                                              ProfileChange change) {
    tracef("%s: active profile %s", m_DeviceName.c_str(), profileId.c_str());
    ProfilePath(profileFile);
    LoadProfile();
    m_ProfileWriteResult = 0;
    if (change != ProfileChange::Loaded && !m_QuietProfileChange && m_Transport.IsOpen()) {
        m_ProfileWriteResult = WriteWholeProfile();
        if (m_ProfileWriteResult != kResultOk)
            tracef("%s: writing the profile failed (%d)", m_DeviceName.c_str(),
                   m_ProfileWriteResult);
    }
}

int CTessarinUSBDevice::WriteWholeProfile() {
    ApplyProfile();
    return WriteParameters();
}

std::string CTessarinUSBDevice::UserDataFolder() const {
    const std::string folder = m_Context.productDataFolder + m_DeviceName + "/";
    if (!makeDirs(folder))
        trace("device: cannot create " + folder);
    return folder;
}

void CTessarinUSBDevice::PausePowerReads(bool pause) {
    if (m_BatteryDisplay)
        m_PowerReadsPaused = pause;
}

void CTessarinUSBDevice::SetHostLightControl(bool hostControls) {
    m_HostLightControl = hostControls;
    if (hostControls && m_Kind == DEVICE_KEYBOARD) {
        const int result = m_Transport.StartHostLighting();
        if (result != kResultOk)
            tracef("%s: start of host lighting failed (%d)", m_DeviceName.c_str(), result);
    }
}

void CTessarinUSBDevice::SetLedColour(int index, std::uint32_t colour) {
    std::lock_guard lock(m_LedLock);
    if (index >= 0 && static_cast<std::size_t>(index) < m_LedColours.size())
        m_LedColours[static_cast<std::size_t>(index)] = colour;
}

std::uint32_t CTessarinUSBDevice::GetLedColour(int index) const {
    std::lock_guard lock(m_LedLock);
    if (index < 0 || static_cast<std::size_t>(index) >= m_LedColours.size())
        return 0;
    return m_LedColours[static_cast<std::size_t>(index)];
}

void CTessarinUSBDevice::OnAttached() {
    if (m_Transport.IsOpen()) {
        int result = m_Transport.BeginConfig();
        if (result == kResultOk)
            result = m_Transport.ReadDeviceInfo(m_DeviceInfo);
        const int end = m_Transport.EndConfig();
        if (result == kResultOk)
            result = end;
        if (result != kResultOk)
            tracef("%s: reading the information block failed (%d)", m_DeviceName.c_str(), result);
    }
    LoadProfile();
    ApplyToPage();
    StartLightThread();
    notify(DeviceChange::Attached);
}

void CTessarinUSBDevice::ApplyToPage() {
    notify(DeviceChange::PageRefresh);
}

void CTessarinUSBDevice::OnEventCode(std::uint16_t code) {
    tracef("%s: event code 0x%04x", m_DeviceName.c_str(), code);
    const bool cabled = m_Kind == DEVICE_MOUSEPAD || m_Kind == DEVICE_HEADSET;
    if (code == 0x0401) {
        // A setting changed on the device: read it back shortly.
        scheduleReadBack(std::chrono::milliseconds(cabled ? 500 : 50));
        return;
    }
    if (!cabled)
        OnDeviceNotification(code);
}

void CTessarinUSBDevice::scheduleReadBack(std::chrono::milliseconds delay) {
    m_Context.dispatcher.cancel(m_ReadBackTimer);
    std::weak_ptr<bool> alive = m_Alive;
    m_ReadBackTimer = m_Context.dispatcher.postAfter(delay, [this, alive] {
        if (auto a = alive.lock(); !a || !*a)
            return;
        m_ReadBackTimer = 0;
        DeferredOperation1();
    });
}

int CTessarinUSBDevice::readStatusBlock() {
    std::array<std::uint8_t, PowerStatus::kSize> raw{};
    const int result = m_Transport.ReadStatus(0, raw);
    if (result != kResultOk)
        return result;
    raw[PowerStatus::kReceiver] = m_Transport.IsReceiverMode() ? 1 : 0;
    {
        std::lock_guard lock(m_StatusLock);
        m_PowerStatus = PowerStatus{raw};
    }
    notify(DeviceChange::PowerStatus);
    return result;
}

std::optional<PowerStatus> CTessarinUSBDevice::LastPowerStatus() const {
    std::lock_guard lock(m_StatusLock);
    return m_PowerStatus;
}

bool CTessarinUSBDevice::OpenEventInterface(const std::string& path, bool receiver) {
    // One event interface at a time: the other connection's goes first.
    CloseEventInterface(!receiver);
    CloseEventInterface(receiver);
    CHidDevice& hid =
        receiver ? m_EventTransport.ReceiverInterface() : m_EventTransport.CableInterface();
    {
        std::lock_guard lock(receiver ? m_EventTransport.SecondLock() : m_EventTransport.IoLock());
        if (!hid.Open(path, true, true, true, false)) {
            tracef("%s: cannot open the event interface %s", m_DeviceName.c_str(), path.c_str());
            return false;
        }
    }
    m_EventReaders[receiver ? 1 : 0] =
        std::jthread([this, receiver](std::stop_token stop) { eventReaderLoop(stop, receiver); });
    return true;
}

void CTessarinUSBDevice::CloseEventInterface(bool receiver) {
    std::jthread& reader = m_EventReaders[receiver ? 1 : 0];
    CHidDevice& hid =
        receiver ? m_EventTransport.ReceiverInterface() : m_EventTransport.CableInterface();
    // Wake the reader and let it leave before anything it uses is released: stop, cancel its
    // read, join, and only then close.
    reader.request_stop();
    hid.CancelIo();
    if (reader.joinable())
        reader.join();
    std::lock_guard lock(receiver ? m_EventTransport.SecondLock() : m_EventTransport.IoLock());
    hid.Close();
}

bool CTessarinUSBDevice::IsEventInterfaceOpen(bool receiver) {
    return receiver ? m_EventTransport.ReceiverInterface().IsOpen()
                    : m_EventTransport.CableInterface().IsOpen();
}

void CTessarinUSBDevice::eventReaderLoop(std::stop_token stop, bool receiver) {
    CHidDevice& hid =
        receiver ? m_EventTransport.ReceiverInterface() : m_EventTransport.CableInterface();
    std::vector<std::uint8_t> buffer(
        std::max<std::size_t>(64, hid.GetCaps().InputReportByteLength));
    while (!stop.stop_requested()) {
        std::size_t got = 0;
        if (!hid.ReadReport(buffer.data(), buffer.size(), &got, INFINITE)) {
            // A failed read loops on a short stop check, as a closed interface ends the reader.
            if (waitForStop(stop, std::chrono::milliseconds(1)))
                break;
            continue;
        }
        std::span<HidReportItem> items = hid.GetInputItems();
        if (items.empty() ||
            !CHidDevice::UnpackInputReport(buffer.data(), got, items, hid.GetPreparsedData()) ||
            !items[0].IsDataSet)
            continue;
        const HidReportItem& first = items[0];
        // A report without a usage (a key-up, or an empty array) carries no event.
        const std::uint16_t code = first.IsButtonData ? (first.Usages.empty() ? 0 : first.Usages[0])
                                                      : static_cast<std::uint16_t>(first.Value);
        if (code == 0)
            continue;
        std::weak_ptr<bool> alive = m_Alive;
        m_Context.dispatcher.post([this, alive, code] {
            if (auto a = alive.lock(); a && *a)
                OnEventCode(code);
        });
    }
    tracef("%s: event reader stopped", m_DeviceName.c_str());
}

void CTessarinUSBDevice::StartLightThread() {
    StopLightThread();
    m_LightThread = std::jthread([this](std::stop_token stop) { lightThreadLoop(stop); });
}

void CTessarinUSBDevice::StopLightThread() {
    if (!m_LightThread.joinable())
        return;
    m_LightThread.request_stop();
    m_LightThread.join();
    m_LightThread = std::jthread();
}

void CTessarinUSBDevice::lightThreadLoop(std::stop_token stop) {
    while (!stop.stop_requested()) {
        if (!HasLightWork()) {
            waitForStop(stop, std::chrono::hours(24));
            continue;
        }
        if (!m_Transport.IsOpen()) {
            waitForStop(stop, std::chrono::milliseconds(100));
            continue;
        }
        // A member of synchronised lighting is driven by the common thread.
        if (!m_Transport.IsSyncMember())
            LightStep();
        waitForStop(stop, std::chrono::milliseconds(1));
    }
}

void CTessarinUSBDevice::Detach() {
    StopLightThread();
    CloseEventInterface(false);
    CloseEventInterface(true);
    {
        std::lock_guard lock(m_Transport.IoLock());
        m_Transport.SetOpen(false);
        m_Transport.CableInterface().Close();
        m_Transport.ReceiverInterface().Close();
    }
    notify(DeviceChange::Detached);
}

void CTessarinUSBDevice::AddObserver(DeviceObserver* observer) {
    if (std::find(m_Observers.begin(), m_Observers.end(), observer) == m_Observers.end())
        m_Observers.push_back(observer);
}

void CTessarinUSBDevice::RemoveObserver(DeviceObserver* observer) {
    m_Observers.erase(std::remove(m_Observers.begin(), m_Observers.end(), observer),
                      m_Observers.end());
}

void CTessarinUSBDevice::notify(DeviceChange change) {
    std::weak_ptr<bool> alive = m_Alive;
    m_Context.dispatcher.post([this, alive, change] {
        if (auto a = alive.lock(); !a || !*a)
            return;
        const std::vector<DeviceObserver*> observers = m_Observers;
        for (DeviceObserver* observer : observers)
            observer->OnDeviceChange(*this, change);
    });
}

}  // namespace qm
