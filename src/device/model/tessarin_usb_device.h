// The base of the four peripheral classes: owns everything that talks to one peripheral — its
// command transport, its event interfaces and their readers, its LED colour model, its data
// folders and its lighting thread — and tells observers what changed. The page that shows a
// device lives in the desktop app and calls these operations; nothing here knows about windows.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "device/hid/usb_interface_record.h"
#include "device/model/device_observer.h"
#include "device/model/dispatcher.h"
#include "device/model/power_status.h"
#include "device/transport/usb_transport.h"
#include "platform/clock.h"
#include "profile/basic_profile_data.h"
#include "profile/profile_list.h"

namespace qm {

// What every device object is given by whoever creates it.
struct DeviceContext {
    hid::HidBackend& backend;
    Dispatcher& dispatcher;
    Clock& clock;
    std::string defaultDataFolder;  // the shipped "DefaultData/" folder, ending with '/'
    std::string productDataFolder;  // the user's "Quillmark/" folder, ending with '/'
};

class CTessarinUSBDevice : public ProfileListOwner {
public:
    // profileData is the kind's profile data object (the mousepad's is the basic one).
    CTessarinUSBDevice(DeviceContext& context, std::unique_ptr<CBasicProfiledata> profileData);
    virtual ~CTessarinUSBDevice();
    CTessarinUSBDevice(const CTessarinUSBDevice&) = delete;
    CTessarinUSBDevice& operator=(const CTessarinUSBDevice&) = delete;

    // Creation, in the order the device manager calls them.
    void SetPageLayout(std::string layout) { m_PageLayout = std::move(layout); }
    void SetKeyCount(int count);
    void SetLedCount(int count);
    void SetEntryIndex(int index) { m_EntryIndex = index; }
    void SetBatteryDisplay(bool show) { m_BatteryDisplay = show; }
    void SetReserved(int value) { m_Reserved = value; }
    void SetFilePrefix(std::string prefix) { m_FilePrefix = std::move(prefix); }
    void SetDeviceName(std::string name) { m_DeviceName = std::move(name); }
    void BindSlot(const UsbInterfaceRecord& record);
    virtual void SetDeviceTypeIndex(int index) { m_DeviceTypeIndex = index; }
    void SetLightConfigName(std::string name) { m_LightConfigName = std::move(name); }
    // Called once after the setters: loads the profile list, and with it the active profile.
    virtual void InitPage();

    // Folders and files.
    std::string DefaultDataFolder() const { return m_Context.defaultDataFolder; }
    // The user data folder of this device, created on first use; ends with '/'.
    std::string UserDataFolder() const override;
    std::string DefaultSettingsFile() const { return DefaultDataFolder() + m_DeviceName + ".Json"; }

    // State pushed by the application.
    void PausePowerReads(bool pause);
    void SetHostLightControl(bool hostControls);
    void SetWindowActive(bool active) { m_WindowActive = active; }

    // LED colour model: red, green, blue, alpha in bytes 0..3. Out-of-range indexes are ignored
    // and read as 0.
    void SetLedColour(int index, std::uint32_t colour);
    std::uint32_t GetLedColour(int index) const;

    // Operations the subclasses refine.
    virtual int ApplyProfile() { return 0; }
    virtual int SendFrame() { return 0; }
    // Reads the peripheral's state back, loads the profile, applies it and starts the lighting
    // thread. The base reads the information block.
    virtual void OnAttached();
    virtual void DeferredOperation1() {}
    virtual void DeferredOperation2() {}
    virtual void DeferredOperation3() {}
    virtual void ReadPowerStatus() {}
    virtual bool IsDeviceOnline() { return true; }
    // Loads the active profile file into the profile data object. Returns 1.
    virtual int LoadProfile();
    // Tells observers that the page should show the device's state again.
    virtual void ApplyToPage();
    // Restores the factory settings into the active profile file (keyboard, mouse).
    virtual void ReloadProfile() {}
    // Restores the default assignment of keys whose macro no longer exists (keyboard, mouse).
    virtual void CheckMacroReferences() {}
    // The macros the key assignments use, each once, in order of first use (keyboard, mouse).
    virtual std::vector<int> UsedMacroList() { return {}; }
    // Writes a key assignment list, or the current one, to the device's key table of slot.
    // Returns 1 or the first failing transport result; 0 when nothing was written.
    virtual int WriteKeyTableFor(int slot, const std::vector<KeyAssignmentRecord>& assignments) {
        (void)slot;
        (void)assignments;
        return 0;
    }
    virtual int WriteKeyTable(int slot) {
        (void)slot;
        return 0;
    }
    // Writes the macro block of the given macros: 0 when nothing had to be sent or it was sent,
    // -1 when it could not be, a positive count of events to remove when it does not fit.
    virtual int WriteMacroBlock(const std::vector<int>& macros) {
        (void)macros;
        return 0;
    }
    // Reloads the macro and light effect names the page shows.
    virtual void LoadMacroAndLightNames() {}
    virtual int WriteParameters() { return 0; }
    virtual void SetFunctionPage(int type) { m_FunctionPage = type; }
    int GetFunctionPage() const { return m_FunctionPage; }
    // The active profile's display name.
    virtual std::string GetProfileName() const;
    // Points the profile data at a profile file and its lighting configuration.
    virtual void ProfilePath(const std::string& profileFile);

    // The profiles of this device; the selected one is always the active one.
    ProfileList& Profiles() { return m_ProfileList; }
    CBasicProfiledata& ProfileData() { return *m_ProfileData; }

    // The profile list's side of the device.
    int DeviceKind() const override { return m_Kind; }
    std::string DefaultProfileFile() const override { return DefaultSettingsFile(); }
    // Loads the newly active profile at once and, when attached, writes it to the peripheral.
    void ActiveProfileChanged(const std::string& profileId, const std::string& profileFile,
                              ProfileChange change) override;
    // What writing the last selected profile to the peripheral gave: a transport result, or 0
    // when nothing was written (not attached, or nothing of this kind to write yet).
    int LastProfileWrite() const { return m_ProfileWriteResult; }
    virtual void SetSelectedKey(int index) { m_SelectedKey = index; }
    int GetDeviceTypeIndex() const { return m_DeviceTypeIndex; }

    // An event code arrived on an event interface (on the UI thread). 0x401 asks for a
    // read-back (DeferredOperation1 after 50 ms, 500 ms for the mousepad and headset); keyboard
    // and mouse pass every other code to OnDeviceNotification, mousepad and headset ignore them.
    virtual void OnEventCode(std::uint16_t code);
    // A device notification other than 0x401 (keyboard, mouse).
    virtual void OnDeviceNotification(std::uint16_t code) { (void)code; }

    // Event interfaces: one per connection, each with its reader thread. Opening an interface
    // closes the one of the other connection first. Closing wakes the reader, joins it, then
    // closes the interface.
    bool OpenEventInterface(const std::string& path, bool receiver);
    void CloseEventInterface(bool receiver);
    bool IsEventInterfaceOpen(bool receiver);

    // The lighting thread: at most one; starting it again restarts it. Stopping joins it.
    void StartLightThread();
    void StopLightThread();
    bool IsLightThreadRunning() const { return m_LightThread.joinable(); }

    // Leaves the device detached: lighting and event readers stopped and joined, transport closed.
    void Detach();

    // Observers are told on the UI thread.
    void AddObserver(DeviceObserver* observer);
    void RemoveObserver(DeviceObserver* observer);

    // Accessors.
    CUsbTransport& Transport() { return m_Transport; }
    const std::string& DeviceName() const { return m_DeviceName; }
    const UsbInterfaceRecord& Slot() const { return m_Slot; }
    std::uint16_t Kind() const { return m_Kind; }
    int KeyCount() const { return m_KeyCount; }
    int LedCount() const { return static_cast<int>(m_LedColours.size()); }
    int EntryIndex() const { return m_EntryIndex; }
    bool BatteryDisplay() const { return m_BatteryDisplay; }
    bool HostLightControl() const { return m_HostLightControl; }
    bool WindowActive() const { return m_WindowActive; }
    bool PowerReadsPaused() const { return m_PowerReadsPaused; }
    const std::array<std::uint8_t, report::kDeviceInfoSize>& DeviceInfo() const {
        return m_DeviceInfo;
    }
    std::optional<PowerStatus> LastPowerStatus() const;
    const std::string& PageLayout() const { return m_PageLayout; }

protected:
    // One pass of the lighting thread's work; the base has none, so its thread only waits.
    virtual bool HasLightWork() const { return false; }
    virtual void LightStep() {}
    // Reads the status block (6 bytes at offset 0), marks the connection in byte 3, keeps it and
    // tells observers. Returns the transport result.
    int readStatusBlock();
    // Tells observers, on the UI thread.
    void notify(DeviceChange change);
    // Runs DeferredOperation1 once after delay on the UI thread; a read-back already waiting is
    // replaced, as a window timer is restarted.
    void scheduleReadBack(std::chrono::milliseconds delay);
    // After a profile was selected, deleted or reset while attached: writes the whole profile to
    // the peripheral. The base applies the lighting and writes the settings block.
    virtual int WriteWholeProfile();

    DeviceContext& m_Context;
    std::unique_ptr<CBasicProfiledata> m_ProfileData;
    ProfileList m_ProfileList;
    CUsbTransport m_Transport;
    CUsbTransport m_EventTransport;  // only holds the event interfaces
    std::array<std::uint8_t, report::kDeviceInfoSize> m_DeviceInfo{};

    std::string m_PageLayout;
    std::string m_FilePrefix;
    std::string m_LightConfigName;
    std::string m_DeviceName;
    std::uint16_t m_Kind = 0;
    std::uint16_t m_Role = 0;
    int m_KeyCount = 0;
    int m_EntryIndex = -1;
    int m_SelectedKey = -1;
    int m_FunctionPage = 1;
    int m_Reserved = -1;
    int m_DeviceTypeIndex = 0;
    UsbInterfaceRecord m_Slot;

    mutable std::mutex m_LedLock;  // guards m_LedColours between the UI and lighting threads
    std::vector<std::uint32_t> m_LedColours;

    std::atomic<bool> m_HostLightControl{true};
    std::atomic<bool> m_WindowActive{true};
    bool m_BatteryDisplay = false;
    int m_ProfileWriteResult = 0;
    // Set while the device itself asked for the profile reset: the profile is loaded, not written.
    bool m_QuietProfileChange = false;
    std::atomic<bool> m_PowerReadsPaused{false};

private:
    void eventReaderLoop(std::stop_token stop, bool receiver);
    void lightThreadLoop(std::stop_token stop);

    std::array<std::jthread, 2> m_EventReaders;  // cable, receiver
    std::jthread m_LightThread;
    Dispatcher::TimerId m_ReadBackTimer = 0;
    std::vector<DeviceObserver*> m_Observers;
    mutable std::mutex m_StatusLock;
    std::optional<PowerStatus> m_PowerStatus;
    // Set while the object lives; posted notifications check it so none reaches a dead object.
    std::shared_ptr<bool> m_Alive = std::make_shared<bool>(true);
};

}  // namespace qm
