#include "device/model/keyboard_device.h"

#include <algorithm>

#include "device/model/device_info_block.h"
#include "platform/trace.h"
#include "profile/json_access.h"
#include "profile/json_file.h"

namespace qm {
namespace {

constexpr std::uint16_t kNotificationReset = 0x0402;
constexpr std::uint16_t kFirstCodeNotification = 0x0403;
constexpr std::uint8_t kSlotNotification = 0x10;
constexpr std::uint8_t kSlotAndValueNotification = 0x11;
constexpr auto kReadBackDelay = std::chrono::milliseconds(50);

// The walk shared by the key table write and the used macro list: every mapped position the
// assignment list holds, in position order, with its macro references renumbered to their order
// of first use and references to missing macros replaced by the position's default. Calls
// take(device key, code) for each position.
template <typename Take>
std::vector<int> walkAssignments(const PositionMap& keyMap,
                                 const std::vector<KeyAssignmentRecord>& assignments,
                                 std::size_t macroCount, Take take) {
    std::vector<int> used;
    for (std::size_t p = 0; p < kLayoutPositions && p < assignments.size(); ++p) {
        const std::uint8_t key = keyMap[p];
        if (key == kNoPosition)
            continue;
        const KeyAssignment& current = assignments[p].current;
        PositionKeyCode code{current.type, current.b1, current.b2};
        if (isMacroCode(code.type)) {
            if (code.b1 < macroCount) {
                auto at = std::find(used.begin(), used.end(), code.b1);
                if (at == used.end())
                    at = used.insert(used.end(), code.b1);
                code.b1 = static_cast<std::uint8_t>(at - used.begin());
            } else {
                const KeyAssignment& defaults = assignments[p].defaults;
                code = {defaults.type, defaults.b1, defaults.b2};
            }
        }
        take(key, code);
    }
    return used;
}

}  // namespace

CTessarinKeyboardDevice::CTessarinKeyboardDevice(DeviceContext& context)
    : CTessarinLinkedDevice(context, std::make_unique<CKeyboardProfiledata>()),
      m_Profile(static_cast<CKeyboardProfiledata&>(*m_ProfileData)) {}

template <typename Body>
int CTessarinKeyboardDevice::configSequence(Body body) {
    const int begin = m_Transport.BeginConfig();
    int result = begin == kResultOk ? body() : begin;
    // A begin that never left the host needs no end.
    if (begin != kResultWriteFailed) {
        const int end = m_Transport.EndConfig();
        if (result == kResultOk)
            result = end;
    }
    return result;
}

std::string CTessarinKeyboardDevice::macroConfigFile() const {
    return UserDataFolder() + "macro.config";
}

void CTessarinKeyboardDevice::InitPage() {
    CTessarinLinkedDevice::InitPage();
    LoadMacroAndLightNames();
}

void CTessarinKeyboardDevice::LoadMacroAndLightNames() {
    m_ModeLists =
        loadLightModeLists(DefaultDataFolder() + "default_light.json",
                           UserDataFolder() + m_LightConfigName + ".config", m_DeviceTypeIndex);
    m_MacroNames = loadMacroNames(macroConfigFile());
}

// ---- attach ----

void CTessarinKeyboardDevice::OnAttached() {
    if (!m_Transport.IsOpen())
        return;
    readLayout();
    LoadMacroAndLightNames();
    LoadProfile();
    ReadSettingsBlock();
    ApplyToPage();
    StartLightThread();
    notify(DeviceChange::Attached);
}

void CTessarinKeyboardDevice::readLayout() {
    // Nothing of an earlier attach survives: a keyboard that answers less now maps nothing.
    m_LayoutValid = false;
    m_DeviceKeyCount = 0;
    m_Maps = PositionMaps{};
    m_KeyCodeTable.fill(0);
    m_LedIndexTable.fill(kNoPosition);

    std::size_t keys = 0;
    const int result = configSequence([&] {
        int r = m_Transport.ReadDeviceInfo(m_DeviceInfo);
        if (r != kResultOk)
            return r;
        keys = m_DeviceInfo[DeviceInfoBlock::kKeyCount];
        if (keys * 3 > kMaxTableLength ||
            !m_Transport.SetTableLength(static_cast<std::uint16_t>(keys * 3))) {
            tracef("%s: %zu keys do not fit the key table; no key is mapped", m_DeviceName.c_str(),
                   keys);
            keys = 0;
            return kResultOk;
        }
        r = m_Transport.ReadKeyCodeTable(m_KeyCodeTable);
        if (r == kResultOk)
            r = m_Transport.ReadKeyByteTable(m_LedIndexTable);
        if (r == kResultOk)
            m_LayoutValid = true;
        return r;
    });
    if (result != kResultOk) {
        tracef("%s: reading the key layout failed (%d)", m_DeviceName.c_str(), result);
        m_LayoutValid = false;
    }
    if (!m_LayoutValid)
        return;
    m_DeviceKeyCount = static_cast<int>(std::min(keys, kMaxDeviceKeys));
    m_Maps = buildPositionMaps(m_KeyCodeTable, m_LedIndexTable, keys);
    notify(DeviceChange::LayoutRead);
}

// ---- profile ----

int CTessarinKeyboardDevice::LoadProfile() {
    CTessarinLinkedDevice::LoadProfile();
    m_KeyList = m_Profile.ReadKeyList();
    m_Stages = KeyboardSystemStages::fromWords(m_Profile.ReadKeyboardSystemStages());
    return ApplyProfile();
}

int CTessarinKeyboardDevice::ApplyProfile() {
    m_LightInfo = m_Profile.ReadLightInfo();
    m_Profile.ReadLightList();
    m_Profile.LoadLightConfig(m_Profile.GetLightConfigPath());
    m_Profile.ReadCustomEffect();
    return 1;
}

void CTessarinKeyboardDevice::ApplyToPage() {
    LoadMacroAndLightNames();
    CTessarinLinkedDevice::ApplyToPage();
}

void CTessarinKeyboardDevice::ReloadProfile() {
    m_Profile.LoadActiveEntry(m_Profile.GetDefaultPath());
    m_KeyList = m_Profile.ReadKeyList();
    m_Stages = KeyboardSystemStages::fromWords(m_Profile.ReadKeyboardSystemStages());
    ApplyProfile();
    if (!m_Profile.SaveActiveEntry())
        tracef("%s: the factory settings could not be saved", m_DeviceName.c_str());
    notify(DeviceChange::ProfileLoaded);
}

int CTessarinKeyboardDevice::RestoreFactorySettings() {
    ReloadProfile();
    const int keys = WriteKeyTable(0);
    const int params = WriteParameters(0, 0);
    return keys != kResultOk ? keys : params;
}

int CTessarinKeyboardDevice::WriteWholeProfile() {
    CheckMacroReferences();
    ApplyToPage();
    const int params = WriteParameters(0, 0);
    m_MacroWriteResult = WriteMacroBlock(UsedMacroList());
    // A macro block that does not fit ends here, so no key points at a macro the device lacks.
    if (m_MacroWriteResult > 0)
        return params;
    const int keys = WriteKeyTable(0);
    return params != kResultOk ? params : keys;
}

bool CTessarinKeyboardDevice::commitSettings() {
    m_Profile.WriteLightInfo(m_LightInfo);
    const SystemStageWords words = m_Stages.toWords();
    m_Profile.WriteKeyboardSystemStages(words[0], words[1], words[2]);
    return m_Profile.SaveActiveEntry();
}

// ---- settings block ----

int CTessarinKeyboardDevice::ReadSettingsBlock() {
    if (!m_Transport.IsOpen())
        return kResultNoAnswer;
    std::array<std::uint8_t, 1> slot{};
    int result = m_Transport.ReadParams(0, slot);
    KeyboardSettingsBlock block{};
    if (result == kResultOk)
        result = m_Transport.ReadParams(static_cast<std::uint16_t>(slot[0] * kKeyboardSlotStride),
                                        block);
    if (result != kResultOk) {
        // Neither the mirror nor the profile takes a block that did not arrive whole.
        tracef("%s: reading the settings block failed (%d)", m_DeviceName.c_str(), result);
        return result;
    }
    block[KeyboardBlock::kFirstByte] = slot[0];
    block[KeyboardBlock::kCleared] = 0;
    m_PreviousSettings = m_Settings;
    m_Settings = block;

    const std::vector<int> values = m_ModeLists.values();
    const DecodedKeyboardSettings decoded =
        decodeKeyboardSettings(block, values, m_LightInfo, m_Stages);
    m_LightInfo = decoded.light;
    m_Stages = decoded.stages;
    // Settings read from the hardware end synchronised lighting for this device.
    m_Transport.SetSyncMember(false);
    const bool saved = commitSettings();
    notify(DeviceChange::SettingsRead);
    return saved ? kResultOk : kResultProfileNotSaved;
}

int CTessarinKeyboardDevice::WriteParameters(int slot, std::uint8_t firstByte) {
    if (slot < 0 || slot > 0xFF)
        return kResultInvalidParam;
    if (!m_Transport.IsOpen())
        return kResultNoAnswer;
    const std::vector<int> values = m_ModeLists.values();
    const KeyboardSettingsBlock block =
        encodeKeyboardSettings(m_LightInfo, m_Stages, values, firstByte);
    const int result = configSequence([&] {
        return m_Transport.WriteParams(static_cast<std::uint16_t>(slot * kKeyboardSlotStride),
                                       block);
    });
    if (result != kResultOk)
        tracef("%s: settings block write to slot %d failed (%d)", m_DeviceName.c_str(), slot,
               result);
    return result;
}

void CTessarinKeyboardDevice::DeferredOperation1() {
    if (m_ResetPending) {
        m_ResetPending = false;
        // The device reset itself: so does the profile, without writing it back to the device.
        m_QuietProfileChange = true;
        const ProfileOutcome reset = m_ProfileList.ResetProfile();
        m_QuietProfileChange = false;
        if (!reset.ok())
            tracef("%s: profile reset failed: %s", m_DeviceName.c_str(), reset.detail.c_str());
        LoadProfile();
    }
    ReadSettingsBlock();
    ApplyToPage();
}

void CTessarinKeyboardDevice::OnDeviceNotification(std::uint16_t code) {
    if (code == kNotificationReset) {
        m_ResetPending = true;
        scheduleReadBack(kReadBackDelay);
        return;
    }
    if (code < kFirstCodeNotification || !m_Transport.IsOpen())
        return;
    const std::uint8_t kind = static_cast<std::uint8_t>(code >> 8);
    if (kind != kSlotNotification && kind != kSlotAndValueNotification)
        return;
    m_Settings[KeyboardBlock::kFirstByte] = static_cast<std::uint8_t>(code & 0x0F);
    if (kind == kSlotAndValueNotification)
        m_Settings[KeyboardBlock::kSecondValue] = static_cast<std::uint8_t>((code >> 4) & 0x0F);
    notify(DeviceChange::SlotChanged);
    ApplyToPage();
}

// ---- settings one at a time ----

int CTessarinKeyboardDevice::GetSetting(KeyboardSetting setting) const {
    return keyboardSettingValue(setting, m_LightInfo, m_Stages);
}

int CTessarinKeyboardDevice::SetSetting(KeyboardSetting setting, int value) {
    const KeyboardSettingInfo& info = keyboardSettingInfo(setting);
    if (setting >= KeyboardSetting::Count || value < info.min || value > info.max)
        return kResultInvalidParam;
    setKeyboardSettingValue(setting, value, m_LightInfo, m_Stages);
    const bool saved = commitSettings();
    int result = kResultOk;
    if (info.sentToDevice) {
        if (setting <= KeyboardSetting::LogoledColor) {
            // A lighting change made here ends synchronised lighting for this device.
            if (setting != KeyboardSetting::ZZCCLedMode)
                m_Transport.SetSyncMember(false);
            ApplyProfile();
        }
        result = WriteParameters(0, 0);
    }
    return result == kResultOk && !saved ? kResultProfileNotSaved : result;
}

int CTessarinKeyboardDevice::SetLightInfo(const LightInfo& info) {
    m_LightInfo = info;
    const bool saved = commitSettings();
    ApplyProfile();
    const int result = WriteParameters(0, 0);
    return result == kResultOk && !saved ? kResultProfileNotSaved : result;
}

int CTessarinKeyboardDevice::ResetRepeatSettings() {
    const Json::Value factory = LoadJsonDocument(DefaultSettingsFile());
    const Json::Value& stages =
        json::member(json::element(json::member(factory, "Device"), 0), "SystemStages");
    if (!stages.isObject())
        return kResultNoAnswer;
    const KeyboardSettingInfo& repeat = keyboardSettingInfo(KeyboardSetting::Repeat);
    const KeyboardSettingInfo& delay = keyboardSettingInfo(KeyboardSetting::RepeatDelay);
    m_Stages.Repeat = static_cast<std::uint16_t>(
        std::clamp<std::int64_t>(json::intAt(stages, "Repeat"), repeat.min, repeat.max));
    m_Stages.RepeatDelay = static_cast<std::uint16_t>(
        std::clamp<std::int64_t>(json::intAt(stages, "RepeatDelay"), delay.min, delay.max));
    return commitSettings() ? kResultOk : kResultProfileNotSaved;
}

// ---- key assignments ----

int CTessarinKeyboardDevice::SetKeyAssignment(int position, PositionKeyCode code) {
    if (position < 0 || static_cast<std::size_t>(position) >= m_KeyList.size())
        return kResultInvalidParam;
    KeyAssignment& current = m_KeyList[static_cast<std::size_t>(position)].current;
    current = {static_cast<std::uint16_t>(position), code.type, code.b1, code.b2, 0};
    m_Profile.WriteKeyList(m_KeyList);
    notify(DeviceChange::KeyAssignments);
    return kResultOk;
}

int CTessarinKeyboardDevice::ResetKeyAssignment(int position) {
    if (position < 0 || static_cast<std::size_t>(position) >= m_KeyList.size())
        return kResultInvalidParam;
    const KeyAssignment& defaults = m_KeyList[static_cast<std::size_t>(position)].defaults;
    return SetKeyAssignment(position, {defaults.type, defaults.b1, defaults.b2});
}

int CTessarinKeyboardDevice::ResetAllKeyAssignments() {
    for (std::size_t p = 0; p < m_KeyList.size(); ++p) {
        KeyAssignmentRecord& record = m_KeyList[p];
        record.current = record.defaults;
        record.current.position = static_cast<std::uint16_t>(p);
    }
    m_Profile.WriteKeyList(m_KeyList);
    notify(DeviceChange::KeyAssignments);
    return kResultOk;
}

KeyTableSave CTessarinKeyboardDevice::SaveKeyAssignments() {
    KeyTableSave save;
    save.macroResult = WriteMacroBlock(UsedMacroList());
    if (save.macroResult <= 0)
        save.keyTableResult = WriteKeyTable(0);
    m_Profile.WriteKeyList(m_KeyList);
    save.profileSaved = m_Profile.SaveActiveEntry();
    return save;
}

void CTessarinKeyboardDevice::CheckMacroReferences() {
    m_MacroNames = loadMacroNames(macroConfigFile());
    const std::size_t macros = m_MacroNames.size();
    bool changed = false;
    for (std::size_t p = 0; p < m_KeyList.size(); ++p) {
        KeyAssignmentRecord& record = m_KeyList[p];
        if (!isMacroCode(record.current.type) || record.current.b1 < macros)
            continue;
        record.current = record.defaults;
        record.current.position = static_cast<std::uint16_t>(p);
        changed = true;
    }
    if (!changed)
        return;
    m_Profile.WriteKeyList(m_KeyList);
    if (!m_Profile.SaveActiveEntry())
        tracef("%s: the restored key assignments could not be saved", m_DeviceName.c_str());
    notify(DeviceChange::KeyAssignments);
}

std::vector<int> CTessarinKeyboardDevice::UsedMacroList() {
    const std::size_t macros = loadMacroNames(macroConfigFile()).size();
    return walkAssignments(m_Maps.key, m_KeyList, macros, [](std::uint8_t, PositionKeyCode) {});
}

int CTessarinKeyboardDevice::WriteKeyTable(int slot) {
    return WriteKeyTableFor(slot, m_KeyList);
}

int CTessarinKeyboardDevice::WriteKeyTableFor(int slot,
                                              const std::vector<KeyAssignmentRecord>& assignments) {
    if (!m_Transport.IsOpen())
        return kResultNoAnswer;
    // Only a layout read whole says where each key lives; anything else would overwrite the
    // device's keys with guesses.
    if (!m_LayoutValid) {
        tracef("%s: key table not written: the key layout was not read", m_DeviceName.c_str());
        return kResultNoAnswer;
    }
    int result = m_Transport.ReadDeviceInfo(m_DeviceInfo);
    if (result != kResultOk) {
        tracef("%s: key table not written: information block read failed (%d)",
               m_DeviceName.c_str(), result);
        return result;
    }
    std::array<std::uint8_t, kMaxTableLength> table = m_KeyCodeTable;
    const std::size_t macros = loadMacroNames(macroConfigFile()).size();
    walkAssignments(m_Maps.key, assignments, macros, [&](std::uint8_t key, PositionKeyCode code) {
        const std::size_t at = std::size_t{key} * 3;
        table[at] = code.type;
        table[at + 1] = code.b1;
        table[at + 2] = code.b2;
    });
    result = configSequence([&] { return m_Transport.WriteKeyCodeTable(slot, table); });
    if (result != kResultOk)
        tracef("%s: key table write to slot %d failed (%d)", m_DeviceName.c_str(), slot, result);
    return result;
}

}  // namespace qm
