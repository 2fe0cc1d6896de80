// The in-memory model of a peripheral's active profile: the device entry ("Device"[0]) of its
// profile file, read and written one section at a time, saved when the device object asks.
// The mousepad uses this class as it is; the keyboard, mouse and headset add their sections.
#pragma once

#include <json/json.h>

#include <string>
#include <vector>

#include "profile/profile_records.h"

namespace qm {

class CBasicProfiledata {
public:
    CBasicProfiledata() = default;
    virtual ~CBasicProfiledata() = default;

    // Paths are UTF-8. SetProfilePath and SetDefaultPath ignore an empty path.
    void SetProfilePath(const std::string& path);
    void SetDefaultPath(const std::string& path);
    const std::string& GetProfilePath() const { return m_ProfilePath; }
    const std::string& GetDefaultPath() const { return m_DefaultPath; }
    void SetLightConfigPath(const std::string& path) { m_LightConfigPath = path; }
    const std::string& GetLightConfigPath() const { return m_LightConfigPath; }
    // The device entry's index in "Device"; device objects pass 0. Negative or absurd indexes
    // are refused.
    void SetDeviceIndex(int n);

    // Loads "Device"[index] of the file at path as the active (other) entry and returns a copy.
    // A missing, unparsable or damaged entry is repaired from the factory profile: the file is
    // rewritten with the factory entry in place of "Device"[index], its other keys kept (a file
    // that does not parse is first kept aside as "<path>.bad"). Nothing is written when the file
    // exists but cannot be read, when there is no factory entry, or when path lies in the default
    // data folder; the entry is then the factory entry (or null) in memory only.
    Json::Value LoadActiveEntry(const std::string& path);
    Json::Value LoadOtherEntry(const std::string& path);
    // Loads the whole lighting configuration file (null when missing) and keeps it.
    Json::Value LoadLightConfig(const std::string& path);

    // Saving: true when the file was written. False (and traced) when the write failed, when
    // path is empty or lies in the default data folder, when the entry is not an object, or when
    // the file exists but cannot be read (it is left alone rather than replaced).
    virtual bool SaveActiveEntry();
    // Reads the file at path, puts entry at "Device"[index] and writes the whole document back,
    // so keys outside "Device" survive.
    virtual bool SaveDeviceEntry(const Json::Value& entry, const std::string& path);
    virtual bool SaveOtherEntry(const std::string& path);
    // Writes document as the complete content of path, atomically.
    virtual bool WriteWholeFile(const Json::Value& document, const std::string& path);

    // Sections. Reads decode the held entry (a missing section, a null or a value of the wrong
    // type gives the zero or empty result), keep the result and return it; writes update both.
    LightInfo ReadLightInfo();
    void WriteLightInfo(const LightInfo& info);
    AudioLightInfo ReadAudioLightInfo();
    void WriteAudioLightInfo(const AudioLightInfo& info);
    std::vector<LedEffectRecord> ReadLightList();
    // The steps of the custom effect the current LightInfo selects in the lighting
    // configuration ("LightInfo"[index][SelectItem]["Guid"] + ".light", looked up beside the
    // configuration file, then in the working folder). Empty when there is none.
    std::vector<CustomEffectStep> ReadCustomEffect();
    std::vector<KeyAssignmentRecord> ReadKeyList();
    void WriteKeyList(const std::vector<KeyAssignmentRecord>& list);
    std::vector<KeyAssignmentRecord> ReadOtherKeyList();
    void WriteOtherKeyList(const std::vector<KeyAssignmentRecord>& list);

protected:
    Json::Value& activeEntry() { return m_ActiveEntry; }
    const Json::Value& activeEntry() const { return m_ActiveEntry; }

private:
    Json::Value loadEntry(const std::string& path);
    // False (traced) for an empty path or one inside the default data folder.
    bool writeAllowed(const std::string& path) const;

    std::string m_ProfilePath;
    std::string m_DefaultPath;
    LightInfo m_LightInfo;
    LightInfo m_FallbackLightInfo;  // all zero: a profile without "LightInfo"
    AudioLightInfo m_AudioLightInfo;
    std::vector<LedEffectRecord> m_LedList;
    Json::Value m_ActiveEntry;
    Json::Value m_OtherEntry;
    std::string m_LightConfigPath;
    std::vector<CustomEffectStep> m_CustomEffect;
    Json::Value m_LightConfig;
    std::vector<KeyAssignmentRecord> m_KeyList;
    std::vector<KeyAssignmentRecord> m_OtherKeyList;
    int m_DeviceIndex = 0;
};

}  // namespace qm
