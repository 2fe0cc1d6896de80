// The keyboard: its layout tables and position maps, its settings block mirror, its key
// assignments and their key table write, and its device notifications. Everything here runs on
// the UI thread; the event readers only post codes to it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "device/model/key_position_table.h"
#include "device/model/keyboard_settings_block.h"
#include "device/model/light_mode_lists.h"
#include "device/model/linked_device.h"
#include "profile/keyboard_profile_data.h"

namespace qm {

// The device took the change but the profile file could not be written.
inline constexpr int kResultProfileNotSaved = -2;

// What the key page's "write to the keyboard" did.
struct KeyTableSave {
    int macroResult = 0;     // WriteMacroBlock: 0, -1, or events to remove (key table not sent)
    int keyTableResult = 0;  // WriteKeyTable: 1, a transport result, or 0 when not sent
    bool profileSaved = false;
};

class CTessarinKeyboardDevice final : public CTessarinLinkedDevice {
public:
    explicit CTessarinKeyboardDevice(DeviceContext& context);

    // ---- base operations ----
    void InitPage() override;
    // Copies the profile's lighting into the device.
    int ApplyProfile() override;
    // Only with the transport open: the layout tables, the profile, the settings block, the page,
    // the light thread.
    void OnAttached() override;
    // The read-back after a device notification: first the profile reset the device asked for
    // (0x402), then the settings block and the page.
    void DeferredOperation1() override;
    // Loads the active profile, its key assignments and system settings, then ApplyProfile.
    int LoadProfile() override;
    // Reloads the mode lists and the macro names and tells the page to show the device again.
    void ApplyToPage() override;
    // Replaces the active profile's content by the factory profile and saves it.
    void ReloadProfile() override;
    // Keys on macros that "macro.config" no longer lists get their default back; saved when any
    // changed.
    void CheckMacroReferences() override;
    std::vector<int> UsedMacroList() override;
    // Only with the layout read whole: refreshes the information block, renumbers the macro
    // references to the order of UsedMacroList and writes the key table between begin and end.
    // Returns 1, the first failing result (end still follows a begin that went out), or 0 when
    // nothing was sent (not attached, layout not read).
    int WriteKeyTableFor(int slot, const std::vector<KeyAssignmentRecord>& assignments) override;
    int WriteKeyTable(int slot) override;
    int WriteParameters() override { return WriteParameters(0, 0); }
    // The settings block from the device's copy of the profile, written to slot between begin and
    // end. Returns 1, the first failing result, 0 when not attached, -201 for a slot outside 0-255.
    int WriteParameters(int slot, std::uint8_t firstByte);
    void LoadMacroAndLightNames() override;
    // 0x402: a profile reset and read-back; 0x10xx / 0x11xx: the active slot (and for 0x11xx
    // the second value) changed. Others are ignored.
    void OnDeviceNotification(std::uint16_t code) override;

    // ---- settings block ----
    // Reads the active slot and its block back into the mirror, the device's copy and the
    // profile, and saves the profile. A failed read changes nothing. Returns 1, the transport
    // result, 0 when not attached, or kResultProfileNotSaved.
    int ReadSettingsBlock();
    const KeyboardSettingsBlock& SettingsMirror() const { return m_Settings; }
    const KeyboardSettingsBlock& PreviousSettingsMirror() const { return m_PreviousSettings; }
    int ActiveSlot() const { return m_Settings[KeyboardBlock::kFirstByte]; }
    int SecondValue() const { return m_Settings[KeyboardBlock::kSecondValue]; }

    // ---- settings, one at a time (the page and the command line) ----
    const LightInfo& GetLightInfo() const { return m_LightInfo; }
    const KeyboardSystemStages& GetSystemStages() const { return m_Stages; }
    int GetSetting(KeyboardSetting setting) const;
    // Checks the range (-201 outside it), stores the value in the device and the profile, saves
    // the profile, then writes the settings block unless only the profile keeps the value
    // (Repeat, RepeatDelay). Returns 1, the write's result (0 when not attached), or
    // kResultProfileNotSaved.
    int SetSetting(KeyboardSetting setting, int value);
    // Stores a whole LightInfo as SetSetting does one field (no range checks: the page's).
    int SetLightInfo(const LightInfo& info);
    // "reset_repeat_btn": Repeat and RepeatDelay back to the factory profile's values, saved.
    // Returns 1, 0 when the factory profile has none, or kResultProfileNotSaved.
    int ResetRepeatSettings();
    // "default_btn": ReloadProfile, then the key table and the settings block. Returns 1, the
    // first failing result, or 0 when not attached.
    int RestoreFactorySettings();

    // ---- key assignments ----
    const std::vector<KeyAssignmentRecord>& KeyAssignments() const { return m_KeyList; }
    // Stores the current code of a position in the device and the profile (not yet saved).
    // -201 for a position the profile's key list does not hold.
    int SetKeyAssignment(int position, PositionKeyCode code);
    int ResetKeyAssignment(int position);
    int ResetAllKeyAssignments();
    // "key_butt_prosave": the used macros, the macro block, the key table (not after a macro
    // block that does not fit), then the profile file.
    KeyTableSave SaveKeyAssignments();

    // ---- layout ----
    // True when the information block, the table length, the key code table and the LED index
    // table were all read on the last attach.
    bool LayoutValid() const { return m_LayoutValid; }
    int DeviceKeyCount() const { return m_DeviceKeyCount; }
    const PositionMap& KeyPositionMap() const { return m_Maps.key; }
    const PositionMap& LedPositionMap() const { return m_Maps.led; }

    // ---- lists ----
    const LightModeLists& ModeLists() const { return m_ModeLists; }
    const std::vector<std::string>& MacroNames() const { return m_MacroNames; }
    // What the last whole-profile write's macro block gave.
    int LastMacroWrite() const { return m_MacroWriteResult; }

protected:
    int WriteWholeProfile() override;

private:
    // Begin, body, end: end follows every begin that went out; the first failing result wins.
    template <typename Body>
    int configSequence(Body body);
    void readLayout();
    std::string macroConfigFile() const;
    // Stores the device's copy in the profile and saves it.
    bool commitSettings();

    CKeyboardProfiledata& m_Profile;
    std::array<std::uint8_t, kMaxTableLength> m_KeyCodeTable{};
    std::array<std::uint8_t, kMaxTableLength> m_LedIndexTable{};
    int m_DeviceKeyCount = 0;
    bool m_LayoutValid = false;
    PositionMaps m_Maps;

    KeyboardSettingsBlock m_Settings{};
    KeyboardSettingsBlock m_PreviousSettings{};
    LightInfo m_LightInfo;
    KeyboardSystemStages m_Stages;
    std::vector<KeyAssignmentRecord> m_KeyList;

    LightModeLists m_ModeLists;
    std::vector<std::string> m_MacroNames;
    // Set by notification 0x402 until the read-back it asks for has reset the profile.
    bool m_ResetPending = false;
    int m_MacroWriteResult = 0;
};

}  // namespace qm
