#include "profile/profile_list.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <utility>

#include "device/hid/usb_interface_record.h"
#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "platform/trace.h"
#include "profile/json_access.h"
#include "profile/json_file.h"
#include "profile/profile_names.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

constexpr const char* kListFileName = "ProfileList.ini";
constexpr const char* kProfileExtension = ".Json";

std::string inFolder(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

ProfileOutcome outcome(ProfileResult result, std::string detail = {}, std::string messageKey = {}) {
    ProfileOutcome out;
    out.result = result;
    out.detail = std::move(detail);
    out.messageKey = std::move(messageKey);
    return out;
}

ProfileOutcome done(int index) {
    ProfileOutcome out;
    out.index = index;
    return out;
}

// The profiles of a list document; false when its shape is wrong: not an object, no
// "profilelist" array, an element without a text name and a plain id, or an id listed twice
// (deleting one would remove the other's file).
bool readList(const Json::Value& document, std::vector<ProfileEntry>& profiles) {
    const Json::Value& list = json::member(document, "profilelist");
    if (!list.isArray())
        return false;
    std::set<std::string> ids;
    for (Json::ArrayIndex i = 0; i < list.size(); ++i) {
        const Json::Value& name = json::member(list[i], "profilename");
        const Json::Value& id = json::member(list[i], "profileUUID");
        if (!name.isString() || !id.isString() || !IsPlainProfileId(id.asString()) ||
            !ids.insert(id.asString()).second)
            return false;
        profiles.push_back({name.asString(), id.asString()});
    }
    return true;
}

Json::Value listDocument(const std::vector<ProfileEntry>& profiles, int selected) {
    Json::Value list(Json::arrayValue);
    for (const ProfileEntry& profile : profiles) {
        Json::Value element(Json::objectValue);
        element["profilename"] = profile.name;
        element["profileUUID"] = profile.id;
        // Program links are not supported; the keys are kept for the file's layout.
        element["profileislink"] = 0;
        element["profilelinkmame"] = "";
        list.append(element);
    }
    Json::Value document(Json::objectValue);
    document["profilelist"] = list;
    document["profileselect"] = selected;
    return document;
}

// document with the profile's name and id; anything but an object starts over as an empty one.
Json::Value named(Json::Value document, const std::string& name, const std::string& id) {
    if (!document.isObject())
        document = Json::Value(Json::objectValue);
    document["profilename"] = name;
    document["profileUUID"] = id;
    return document;
}

// The user's own equaliser curves of the headset survive a reset.
void keepOwnEqualiser(const Json::Value& current, Json::Value& reset) {
    const Json::Value& from = json::element(json::member(current, "Device"), 0);
    if (!json::element(json::member(reset, "Device"), 0).isObject())
        return;
    Json::Value& to = reset["Device"][Json::ArrayIndex{0}];
    for (const char* key : {"CustomEQNameInfo", "CustomEQHzValueInfo"}) {
        const Json::Value& curves = json::member(from, key);
        if (!curves.isNull())
            to[key] = curves;
    }
}

bool existsOrDangles(const std::string& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

}  // namespace

ProfileList::ProfileList(ProfileListOwner& owner, WallClock clock)
    : m_Owner(owner),
      m_Clock(clock ? std::move(clock) : [] { return std::chrono::system_clock::now(); }) {}

std::string ProfileList::ListFilePath() const {
    return inFolder(m_Owner.UserDataFolder(), kListFileName);
}

std::string ProfileList::profileFile(const std::string& id) const {
    return inFolder(m_Owner.UserDataFolder(), id + kProfileExtension);
}

std::string ProfileList::GetProfileFilePath(int i) const {
    if (i < 0 || i >= GetProfileCount())
        return {};
    return profileFile(m_Profiles[static_cast<std::size_t>(i)].id);
}

std::string ProfileList::GetSelectedProfileId() const {
    return m_Selected < 0 ? std::string() : m_Profiles[static_cast<std::size_t>(m_Selected)].id;
}

std::vector<std::string> ProfileList::names() const {
    std::vector<std::string> result;
    for (const ProfileEntry& profile : m_Profiles)
        result.push_back(profile.name);
    return result;
}

std::string ProfileList::newProfileId(const std::vector<ProfileEntry>& profiles) const {
    // Two profiles made within one millisecond, or a file left by a clock set back, would share
    // an id; the next free millisecond is taken instead.
    for (auto when = m_Clock();; when += std::chrono::milliseconds(1)) {
        std::string id = MakeTimestampName(when);
        const bool listed = std::any_of(profiles.begin(), profiles.end(),
                                        [&](const ProfileEntry& p) { return p.id == id; });
        if (!listed && !existsOrDangles(profileFile(id)))
            return id;
    }
}

bool ProfileList::saveList(const std::vector<ProfileEntry>& profiles, int selected) const {
    return SaveJsonDocument(ListFilePath(), listDocument(profiles, selected)) == 0;
}

std::vector<ProfileEntry> ProfileList::profilesFromFiles() const {
    std::vector<ProfileEntry> profiles;
    std::error_code error;
    for (fs::directory_iterator it(m_Owner.UserDataFolder(), error), end; !error && it != end;
         it.increment(error)) {
        const fs::path& path = it->path();
        const std::string id = path.stem().string();
        std::error_code typeError;
        if (path.extension() != kProfileExtension || !IsPlainProfileId(id) ||
            !it->is_regular_file(typeError))
            continue;
        // Other JSON files share the folder; a profile is an object with a "Device" array.
        const Json::Value document = LoadJsonDocument(path.string());
        if (!json::member(document, "Device").isArray())
            continue;
        profiles.push_back({json::stringAt(document, "profilename", id), id});
    }
    std::sort(profiles.begin(), profiles.end(),
              [](const ProfileEntry& a, const ProfileEntry& b) { return a.id < b.id; });
    return profiles;
}

void ProfileList::tellOwner(ProfileChange change) {
    const std::string id = GetSelectedProfileId();
    m_Owner.ActiveProfileChanged(id, profileFile(id), change);
}

ProfileOutcome ProfileList::LoadProfileList() {
    makeDirs(m_Owner.UserDataFolder());
    const std::string listPath = ListFilePath();
    JsonFileState state = JsonFileState::Missing;
    const Json::Value document = LoadJsonDocumentKeepingBad(listPath, &state);

    // A list that is there but cannot be read (permissions, I/O error) is not ours to replace:
    // rebuild it in memory only.
    std::error_code statError;
    const bool inaccessible = state == JsonFileState::Missing &&
                              (std::filesystem::exists(listPath, statError) || statError);
    if (inaccessible)
        trace("profiles: cannot read " + listPath + "; it is left as it is");

    std::vector<ProfileEntry> profiles;
    bool repaired = false;
    if (state == JsonFileState::Ok && !readList(document, profiles)) {
        profiles.clear();
        keepAside(listPath);
        trace("profiles: " + listPath + " has the wrong shape; rebuilt from the profile files");
    } else if (state == JsonFileState::Unreadable) {
        trace("profiles: " + listPath + " does not parse; rebuilt from the profile files");
    }
    std::int64_t selected = json::intAt(document, "profileselect", 0);
    if (profiles.empty()) {
        // A list lost or damaged must not hide the profiles whose files are still there.
        profiles = profilesFromFiles();
        selected = 0;
        repaired = true;
    }
    if (profiles.empty()) {
        const std::string id = newProfileId(profiles);
        const std::string name = "profile1";
        if (SaveJsonDocument(profileFile(id), named(LoadJsonDocument(m_Owner.DefaultProfileFile()),
                                                    name, id)) != 0) {
            m_Profiles.clear();
            m_Selected = -1;
            return outcome(ProfileResult::WriteFailed, "cannot write " + profileFile(id));
        }
        profiles.push_back({name, id});
    }
    const std::int64_t clamped =
        std::clamp<std::int64_t>(selected, 0, static_cast<std::int64_t>(profiles.size()) - 1);
    if (!json::member(document, "profileselect").isIntegral() || clamped != selected)
        repaired = true;

    m_Profiles = std::move(profiles);
    m_Selected = static_cast<int>(clamped);
    ProfileOutcome out = done(m_Selected);
    if (repaired && !inaccessible && !saveList(m_Profiles, m_Selected)) {
        out = outcome(ProfileResult::WriteFailed, "cannot write " + listPath);
        out.index = m_Selected;
    }
    tellOwner(ProfileChange::Loaded);
    return out;
}

ProfileOutcome ProfileList::SelectProfile(int index) {
    if (index < 0 || index >= GetProfileCount())
        return outcome(ProfileResult::Refused, "no profile number " + std::to_string(index));
    if (!saveList(m_Profiles, index))
        return outcome(ProfileResult::WriteFailed, "cannot write " + ListFilePath());
    m_Selected = index;
    tellOwner(ProfileChange::Selected);
    return done(index);
}

ProfileOutcome ProfileList::appendProfile(const std::string& name, const std::string& id,
                                          Json::Value document) {
    const std::string file = profileFile(id);
    if (SaveJsonDocument(file, named(std::move(document), name, id)) != 0)
        return outcome(ProfileResult::WriteFailed, "cannot write " + file);
    std::vector<ProfileEntry> next = m_Profiles;
    next.push_back({name, id});
    // The selection stays on the active profile.
    if (!saveList(next, m_Selected)) {
        std::error_code error;
        fs::remove(file, error);
        return outcome(ProfileResult::WriteFailed, "cannot write " + ListFilePath());
    }
    m_Profiles = std::move(next);
    return done(GetProfileCount() - 1);
}

ProfileOutcome ProfileList::AddProfile() {
    if (m_Selected < 0)
        return outcome(ProfileResult::Unchanged, "the profile list is not loaded");
    if (m_Profiles.size() >= kMaxAddedProfiles)
        return outcome(ProfileResult::Unchanged,
                       "the list already holds " + std::to_string(kMaxAddedProfiles) + " profiles");
    // A missing factory profile gives an empty profile, which the device fills when it loads it.
    return appendProfile(MakeAddedProfileName(names()), newProfileId(m_Profiles),
                         LoadJsonDocument(m_Owner.DefaultProfileFile()));
}

ProfileOutcome ProfileList::CopyProfile() {
    if (m_Selected < 0)
        return outcome(ProfileResult::Unchanged, "no profile is selected");
    const ProfileEntry& source = m_Profiles[static_cast<std::size_t>(m_Selected)];
    const std::string file = profileFile(source.id);
    JsonFileState state = JsonFileState::Missing;
    Json::Value document = LoadJsonDocument(file, &state);
    // A missing file loads as the factory profile, and so will its copy; a damaged one is not
    // copied.
    if (state == JsonFileState::Unreadable || (state == JsonFileState::Ok && !document.isObject()))
        return outcome(ProfileResult::Refused, "cannot read " + file + "; nothing copied");
    return appendProfile(MakeCopiedProfileName(source.name, names()), newProfileId(m_Profiles),
                         std::move(document));
}

ProfileOutcome ProfileList::ImportProfile(const std::string& path) {
    if (m_Selected < 0)
        return outcome(ProfileResult::Unchanged, "the profile list is not loaded");
    std::error_code error;
    if (!fs::is_regular_file(path, error))
        return outcome(ProfileResult::Refused, "cannot read " + path);
    const std::uintmax_t size = fs::file_size(path, error);
    if (error)
        return outcome(ProfileResult::Refused, "cannot read " + path);
    if (size > kMaxImportFileSize)
        return outcome(ProfileResult::Refused, path + " is larger than 1 MiB; not imported");
    JsonFileState state = JsonFileState::Missing;
    Json::Value document = LoadJsonDocument(path, &state);
    if (state == JsonFileState::Missing)
        return outcome(ProfileResult::Refused, "cannot read " + path);
    if (state == JsonFileState::Unreadable)
        return outcome(ProfileResult::Refused, path + " is not a JSON file; not imported");
    if (!json::member(document, "Device").isArray())
        return outcome(ProfileResult::Refused,
                       path + " is not a profile: it needs a JSON object with a \"Device\" array");
    if (json::member(document, "profilename").isNull() ||
        json::member(document, "profileUUID").isNull())
        return outcome(ProfileResult::Refused,
                       path + " is not a profile: it has no \"profilename\" or \"profileUUID\"");
    // The file's own id is never used: a new one names the new file.
    return appendProfile(MakeImportedProfileName(ImportedFileBaseName(path), names()),
                         newProfileId(m_Profiles), std::move(document));
}

ProfileOutcome ProfileList::ExportProfile(const std::string& path) {
    if (m_Selected < 0)
        return outcome(ProfileResult::Unchanged, "no profile is selected");
    if (path.empty())
        return outcome(ProfileResult::Unchanged, "no file name given");
    const std::string file = GetProfileFilePath(m_Selected);
    JsonFileState state = JsonFileState::Missing;
    const Json::Value document = LoadJsonDocument(file, &state);
    if (state != JsonFileState::Ok || !document.isObject())
        return outcome(ProfileResult::Refused, "cannot read " + file + "; nothing exported");
    if (SaveJsonDocument(path, document) != 0)
        return outcome(ProfileResult::WriteFailed, "cannot write " + path);
    return done(m_Selected);
}

ProfileOutcome ProfileList::RenameProfile(const std::string& name) {
    if (m_Selected < 0 || name.empty())
        return outcome(ProfileResult::Unchanged, "no profile is selected or no name given");
    // The blank test comes first: a blank name is refused as blank even when another profile's
    // name is blank too.
    if (IsBlankProfileName(name))
        return outcome(ProfileResult::BlankName, "the name is blank", kMessageNameBlank);
    if (ProfileNameTaken(names(), name, m_Selected))
        return outcome(ProfileResult::NameTaken, "another profile is named " + name,
                       kMessageNameTaken);

    const std::size_t s = static_cast<std::size_t>(m_Selected);
    const std::string file = profileFile(m_Profiles[s].id);
    JsonFileState state = JsonFileState::Missing;
    const Json::Value before = LoadJsonDocument(file, &state);
    // A missing or damaged file keeps its content; the device repairs it when it loads it.
    const bool renameFile = state == JsonFileState::Ok && before.isObject();
    if (renameFile) {
        Json::Value after = before;
        after["profilename"] = name;
        if (SaveJsonDocument(file, after) != 0)
            return outcome(ProfileResult::WriteFailed, "cannot write " + file);
    }
    std::vector<ProfileEntry> next = m_Profiles;
    next[s].name = name;
    if (!saveList(next, m_Selected)) {
        if (renameFile)
            SaveJsonDocument(file, before);
        return outcome(ProfileResult::WriteFailed, "cannot write " + ListFilePath());
    }
    m_Profiles = std::move(next);
    return done(m_Selected);
}

ProfileOutcome ProfileList::DeleteProfile() {
    if (m_Selected < 0)
        return outcome(ProfileResult::Unchanged, "no profile is selected");
    if (m_Profiles.size() < 2)
        return outcome(ProfileResult::Unchanged, "the last profile cannot be deleted");
    const int removed = m_Selected;
    const std::string file = GetProfileFilePath(removed);
    std::vector<ProfileEntry> next = m_Profiles;
    next.erase(next.begin() + removed);
    const int neighbour = removed == 0 ? 0 : removed - 1;
    // The list goes first: a file left behind by a failed removal is harmless, a list naming a
    // removed file is not.
    if (!saveList(next, neighbour))
        return outcome(ProfileResult::WriteFailed, "cannot write " + ListFilePath());
    std::error_code error;
    if (!fs::remove(file, error) && error)
        trace("profiles: cannot remove " + file + ": " + error.message());
    m_Profiles = std::move(next);
    m_Selected = neighbour;
    // The device leaves the deleted profile at once, so its next save cannot bring the file back.
    tellOwner(ProfileChange::Deleted);
    return done(neighbour);
}

ProfileOutcome ProfileList::ResetProfile() {
    if (m_Selected < 0)
        return outcome(ProfileResult::Unchanged, "no profile is selected");
    const std::string factoryFile = m_Owner.DefaultProfileFile();
    JsonFileState state = JsonFileState::Missing;
    Json::Value factory = LoadJsonDocument(factoryFile, &state);
    // Without a factory profile a reset would only wipe the user's settings.
    if (state != JsonFileState::Ok || !factory.isObject())
        return outcome(ProfileResult::Refused, "cannot read " + factoryFile + "; nothing reset");

    const ProfileEntry& profile = m_Profiles[static_cast<std::size_t>(m_Selected)];
    const std::string file = profileFile(profile.id);
    Json::Value document = named(std::move(factory), profile.name, profile.id);
    if (m_Owner.DeviceKind() == DEVICE_HEADSET)
        keepOwnEqualiser(LoadJsonDocument(file), document);
    if (SaveJsonDocument(file, document) != 0)
        return outcome(ProfileResult::WriteFailed, "cannot write " + file);
    tellOwner(ProfileChange::Reset);
    return done(m_Selected);
}

}  // namespace qm
