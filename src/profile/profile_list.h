// The profile list of one peripheral: "ProfileList.ini" (a JSON file) in the device's user data
// folder, naming each profile and its file (id + ".Json"), and the operations on it: add, copy,
// import, export, rename, delete, reset and select. The model shows nothing; each operation
// returns what happened and which message, if any, the page or the command line should show.
//
// One profile is selected, and it is always the profile the device object uses: the saved
// "profileselect" never points anywhere else. Not thread-safe; call it from one thread.
#pragma once

#include <json/json.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qm {

// Language keys of the messages the profile operations call for.
inline constexpr const char* kMessageNameTaken = "message_text_5";
inline constexpr const char* kMessageNameBlank = "message_text_25";
// The question to ask, and have confirmed, before ResetProfile.
inline constexpr const char* kMessageResetQuestion = "message_text_22";

// AddProfile adds nothing once the list holds this many profiles (copy and import still do).
inline constexpr std::size_t kMaxAddedProfiles = 50;
// Import files larger than this are refused.
inline constexpr std::uintmax_t kMaxImportFileSize = 1024 * 1024;

// Why the device object is told that the active profile changed.
enum class ProfileChange {
    Loaded,    // the list was loaded; its selected profile is the active one
    Selected,  // another profile was selected
    Deleted,   // the active profile was deleted; its neighbour is now active
    Reset,     // the active profile's file was replaced by the factory profile
};

// The device object's side of the list.
class ProfileListOwner {
public:
    virtual ~ProfileListOwner() = default;
    // The peripheral's kind code (DEVICE_KEYBOARD, ...); the headset keeps its own equaliser
    // curves when a profile is reset.
    virtual int DeviceKind() const = 0;
    // The folder holding "ProfileList.ini" and the profile files.
    virtual std::string UserDataFolder() const = 0;
    // The peripheral's factory profile file, the starting content of every new profile.
    virtual std::string DefaultProfileFile() const = 0;
    // The active profile is now profileFile: load it at once and, when attached, write it to the
    // peripheral. Called after the list and the files are written, so the owner may query the
    // list from here.
    virtual void ActiveProfileChanged(const std::string& profileId, const std::string& profileFile,
                                      ProfileChange change) = 0;
};

enum class ProfileResult {
    Done,         // the operation took place
    Unchanged,    // nothing to do: no selection, the last profile, the add limit, an empty name
    NameTaken,    // rename: another profile has that name
    BlankName,    // rename: the name is only white space
    Refused,      // the input or the source file is not acceptable
    WriteFailed,  // a file could not be written
};

// What an operation did. Anything but Done leaves the list and the files as they were (except
// that a load whose repair cannot be saved still holds the repaired list; see LoadProfileList).
struct ProfileOutcome {
    ProfileResult result = ProfileResult::Done;
    // Language key of the message to show, empty when none applies.
    std::string messageKey;
    // What went wrong, in plain words, for traces and the command line; empty on success.
    std::string detail;
    // The profile made or acted on, -1 when none.
    int index = -1;

    bool ok() const { return result == ProfileResult::Done; }
};

struct ProfileEntry {
    std::string name;  // "profilename": shown to the user, unique ignoring case
    std::string id;    // "profileUUID": the profile file is id + ".Json"
};

class ProfileList {
public:
    using WallClock = std::function<std::chrono::system_clock::time_point()>;

    // owner must outlive the list. clock gives the creation time that names new profiles.
    explicit ProfileList(ProfileListOwner& owner, WallClock clock = {});

    // Reads "ProfileList.ini". A list that is missing, empty, unparsable or of the wrong shape is
    // rebuilt from the profile files in the folder (a bad one is kept aside as ".bad" first); a
    // folder without profiles starts with "profile1" made from the factory profile. A
    // "profileselect" outside the list is clamped to it. Tells the owner the active profile.
    // WriteFailed when a repair could not be saved: the repaired list is still held when its
    // profile files exist, else the list stays empty.
    ProfileOutcome LoadProfileList();

    // Selects profile index, saves it as "profileselect" and tells the owner. Refused for an index
    // outside the list; on a failed write the selection stays as it was.
    ProfileOutcome SelectProfile(int index);

    // A new profile "profileN" from the factory profile; Unchanged once kMaxAddedProfiles exist.
    ProfileOutcome AddProfile();
    // A copy of the selected profile named "<name> copy".
    ProfileOutcome CopyProfile();
    // A new profile from the file at path, named after the file. The file must be a JSON object of
    // at most kMaxImportFileSize bytes with a "Device" array, a "profilename" and a "profileUUID";
    // its id is replaced by a new one.
    ProfileOutcome ImportProfile(const std::string& path);
    // Writes the selected profile's file to path. Refused when that file cannot be read.
    ProfileOutcome ExportProfile(const std::string& path);
    // Renames the selected profile: NameTaken (kMessageNameTaken) when another profile has the
    // name, BlankName (kMessageNameBlank) for white space only, Unchanged for the empty name.
    ProfileOutcome RenameProfile(const std::string& name);
    // Deletes the selected profile and its file and makes its neighbour (the one before it, or
    // the new first) the active profile. Unchanged for the last profile.
    ProfileOutcome DeleteProfile();
    // Replaces the selected profile's file by the factory profile (keeping its name and id, and
    // for the headset its own equaliser curves) and has the owner reload it. Ask
    // kMessageResetQuestion first. Refused when the factory profile cannot be read.
    ProfileOutcome ResetProfile();

    const std::vector<ProfileEntry>& Profiles() const { return m_Profiles; }
    int GetProfileCount() const { return static_cast<int>(m_Profiles.size()); }
    // The profile file of profile i; empty for an index outside the list.
    std::string GetProfileFilePath(int i) const;
    // -1 when nothing is selected (before a load, or after a load that found nothing).
    int GetSelectedIndex() const { return m_Selected; }
    std::string GetSelectedProfileId() const;
    std::string ListFilePath() const;

private:
    std::string profileFile(const std::string& id) const;
    std::vector<std::string> names() const;
    // A new time-stamp id that neither profiles nor any file in the folder uses.
    std::string newProfileId(const std::vector<ProfileEntry>& profiles) const;
    bool saveList(const std::vector<ProfileEntry>& profiles, int selected) const;
    std::vector<ProfileEntry> profilesFromFiles() const;
    // Writes document as the new profile's file, then the list with the profile appended; the
    // file is removed again when the list cannot be written.
    ProfileOutcome appendProfile(const std::string& name, const std::string& id,
                                 Json::Value document);
    void tellOwner(ProfileChange change);

    ProfileListOwner& m_Owner;
    WallClock m_Clock;
    std::vector<ProfileEntry> m_Profiles;
    int m_Selected = -1;
};

}  // namespace qm
