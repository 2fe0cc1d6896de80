// The interface languages: the list in "Language.config", the language files (one JSON object of
// language key -> text per language), the chosen language ("Language_ID" in the user's
// settings.json) and the first choice from the system locale.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace qm::app {

// One element of "Language.config"'s "Language" array.
struct LanguageEntry {
    std::string name;  // "Language_name": the locale name, e.g. "zh_CN", "en_US"
    std::string file;  // "Language_file": a file name in the language folder
    int id = 0;        // "Language_ID": what settings.json stores
};

// The languages of a "Language.config" file, in its order (a language is its index). Empty when
// the file is missing or unreadable; elements without a string name, a plain file name (no
// folder, not hidden) or an integer id are left out.
std::vector<LanguageEntry> LoadLanguageList(const std::string& path);

// The texts of a language file: the string members of its top-level object. Empty when the file
// is missing or unreadable.
std::map<std::string, std::string, std::less<>> LoadLanguageTexts(const std::string& path);

// The locale that names the messages' language: the first non-empty of LC_ALL, LC_MESSAGES and
// LANG (as POSIX orders them).
std::string_view PickMessagesLocale(std::string_view lcAll, std::string_view lcMessages,
                                    std::string_view lang);
std::string SystemMessagesLocale();

// The index of the language for a locale such as "zh_CN.UTF-8": the entry with the same language
// and territory, else the first with the same language; -1 when none (and for "C", "POSIX").
int LanguageForLocale(const std::vector<LanguageEntry>& languages, std::string_view locale);

// Replaces the first "%d" of a translated text by n. Texts come from files, so they never go
// through printf.
std::string FormatCount(std::string_view text, long long n);

// The languages of the program and the current one. Not thread-safe: UI thread only.
class Languages {
public:
    // configFile: "Language.config"; languageFolder: where the language files are (ending with
    // '/'); settingsFile: the user's settings.json.
    Languages(std::string configFile, std::string languageFolder, std::string settingsFile);
    // The shipped files and $XDG_CONFIG_HOME/Quillmark/settings.json.
    static Languages Installed();

    const std::vector<LanguageEntry>& list() const { return m_Languages; }
    // The current index; -1 until SetLanguage first succeeds.
    int current() const { return m_Current; }

    // The index whose "Language_ID" settings.json stores; without a usable stored id, the language
    // of the locale; else 0. An unparsable settings file is kept aside as "settings.json.bad".
    int ReadLanguageIndex(std::string_view locale) const;
    // Switches to the language at index: loads its texts over those of index 0 (so a key missing
    // from a language shows the first language's text) and stores its id. Returns true when the
    // language changed; false for the current index, an index out of range or an unreadable file
    // (the current texts then stay).
    bool SetLanguage(int index);
    // Stores id as "Language_ID" in settings.json, keeping its other members. 0 on success, -1
    // when the file could not be written.
    int WriteLanguageId(int id) const;

    // The text of a language key; the key itself when no loaded language has it.
    std::string TranslateKey(std::string_view key) const;

private:
    std::string m_ConfigFile;
    std::string m_LanguageFolder;
    std::string m_SettingsFile;
    std::vector<LanguageEntry> m_Languages;
    int m_Current = -1;
    std::map<std::string, std::string, std::less<>> m_Texts;
};

}  // namespace qm::app
