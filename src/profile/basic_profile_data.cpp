#include "profile/basic_profile_data.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/atomic_file.h"
#include "platform/trace.h"
#include "profile/json_access.h"
#include "profile/json_file.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

// "Device" holds one entry per device; ours is always 0, so anything large is a caller's error.
constexpr int kMaxDeviceIndex = 255;

const Json::Value& deviceEntry(const Json::Value& document, int index) {
    return json::element(json::member(document, "Device"), static_cast<Json::ArrayIndex>(index));
}

void setDeviceEntry(Json::Value& document, int index, const Json::Value& entry) {
    json::ensureArray(
        json::ensureObject(document)["Device"])[static_cast<Json::ArrayIndex>(index)] = entry;
}

// True when path names something inside folder or one of its subfolders ("." and "..", and
// symbolic links as far as they exist, resolved).
bool insideFolder(const std::string& path, const fs::path& folder) {
    std::error_code error;
    const fs::path file = fs::weakly_canonical(fs::absolute(path, error), error);
    if (error)
        return false;
    const fs::path root = fs::weakly_canonical(fs::absolute(folder, error), error);
    if (error)
        return false;
    return std::mismatch(root.begin(), root.end(), file.begin(), file.end()).first == root.end();
}

// Makes document ready to be written over path. A file that does not parse, or whose top level
// is not an object, is kept aside first. False when path exists but cannot be read or kept
// aside: nothing may replace it then.
bool prepareRewrite(const std::string& path, JsonFileState state, Json::Value& document) {
    std::error_code error;
    // A status error other than "not found" counts as existing: we cannot tell what is there.
    const bool exists = fs::exists(path, error) || error;
    if (exists && state == JsonFileState::Missing) {
        trace("profile: cannot read " + path + "; left as it is");
        return false;
    }
    if (exists && (state == JsonFileState::Unreadable || !document.isObject())) {
        if (keepAside(path).empty())
            return false;
        document = Json::Value(Json::objectValue);
    }
    json::ensureObject(document);
    return true;
}

}  // namespace

void CBasicProfiledata::SetProfilePath(const std::string& path) {
    if (!path.empty())
        m_ProfilePath = path;
}

void CBasicProfiledata::SetDefaultPath(const std::string& path) {
    if (!path.empty())
        m_DefaultPath = path;
}

void CBasicProfiledata::SetDeviceIndex(int n) {
    if (n < 0 || n > kMaxDeviceIndex) {
        tracef("profile: device index %d refused", n);
        return;
    }
    m_DeviceIndex = n;
}

Json::Value CBasicProfiledata::LoadActiveEntry(const std::string& path) {
    m_ActiveEntry = loadEntry(path);
    return m_ActiveEntry;
}

Json::Value CBasicProfiledata::LoadOtherEntry(const std::string& path) {
    m_OtherEntry = loadEntry(path);
    return m_OtherEntry;
}

Json::Value CBasicProfiledata::LoadLightConfig(const std::string& path) {
    m_LightConfig = path.empty() ? Json::Value() : LoadJsonDocument(path);
    return m_LightConfig;
}

Json::Value CBasicProfiledata::loadEntry(const std::string& path) {
    JsonFileState state = JsonFileState::Ok;
    Json::Value document = path.empty() ? Json::Value() : LoadJsonDocument(path, &state);
    if (const Json::Value& entry = deviceEntry(document, m_DeviceIndex); entry.isObject())
        return entry;

    // A new or damaged profile starts from the factory entry.
    const Json::Value factoryDocument =
        m_DefaultPath.empty() ? Json::Value() : LoadJsonDocument(m_DefaultPath);
    const Json::Value factory = deviceEntry(factoryDocument, m_DeviceIndex);
    if (!factory.isObject()) {
        trace("profile: no factory entry in '" + m_DefaultPath + "'; " + path + " left as it is");
        return Json::Value();
    }
    if (writeAllowed(path) && prepareRewrite(path, state, document)) {
        setDeviceEntry(document, m_DeviceIndex, factory);
        if (WriteWholeFile(document, path))
            trace("profile: " + path + " set up from the factory profile");
    }
    return factory;
}

bool CBasicProfiledata::writeAllowed(const std::string& path) const {
    if (path.empty()) {
        trace("profile: no file to save to");
        return false;
    }
    if (!m_DefaultPath.empty() && insideFolder(path, fs::path(m_DefaultPath).parent_path())) {
        trace("profile: refusing to write " + path + " inside the default data folder");
        return false;
    }
    return true;
}

bool CBasicProfiledata::SaveActiveEntry() {
    return SaveDeviceEntry(m_ActiveEntry, m_ProfilePath);
}

bool CBasicProfiledata::SaveOtherEntry(const std::string& path) {
    return SaveDeviceEntry(m_OtherEntry, path);
}

bool CBasicProfiledata::SaveDeviceEntry(const Json::Value& entry, const std::string& path) {
    // A null entry means nothing was loaded; writing it would wipe the file's settings.
    if (!entry.isObject()) {
        trace("profile: no device entry to save to " + path);
        return false;
    }
    if (!writeAllowed(path))
        return false;
    JsonFileState state = JsonFileState::Ok;
    Json::Value document = LoadJsonDocument(path, &state);
    if (!prepareRewrite(path, state, document))
        return false;
    setDeviceEntry(document, m_DeviceIndex, entry);
    return WriteWholeFile(document, path);
}

bool CBasicProfiledata::WriteWholeFile(const Json::Value& document, const std::string& path) {
    if (!writeAllowed(path))
        return false;
    if (SaveJsonDocument(path, document) != 0) {
        trace("profile: saving " + path + " failed");
        return false;
    }
    return true;
}

}  // namespace qm
