#include "app/languages.h"

#include "platform/ascii_text.h"

#include <cstdlib>

#include "platform/data_paths.h"
#include "platform/paths.h"
#include "platform/trace.h"
#include "profile/json_file.h"

namespace qm::app {
namespace {

constexpr const char* kLanguageIdKey = "Language_ID";

// Language files are named by an untrusted file: a plain name only, never a path.
bool isPlainFileName(const std::string& name) {
    return !name.empty() && name.front() != '.' && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

struct LocaleParts {
    std::string_view language;
    std::string_view territory;
};

// "zh_CN.UTF-8@mod" -> {"zh", "CN"}; "en-US" is read the same way.
LocaleParts splitLocale(std::string_view locale) {
    locale = locale.substr(0, locale.find_first_of(".@"));
    const std::size_t cut = locale.find_first_of("_-");
    if (cut == std::string_view::npos)
        return {locale, {}};
    return {locale.substr(0, cut), locale.substr(cut + 1)};
}

}  // namespace

std::vector<LanguageEntry> LoadLanguageList(const std::string& path) {
    std::vector<LanguageEntry> languages;
    const Json::Value document = LoadJsonDocument(path);
    if (!document.isObject() || !document["Language"].isArray())
        return languages;
    for (const Json::Value& element : document["Language"]) {
        if (!element.isObject())
            continue;
        const Json::Value& name = element["Language_name"];
        const Json::Value& file = element["Language_file"];
        const Json::Value& id = element[kLanguageIdKey];
        if (!name.isString() || !file.isString() || !id.isInt())
            continue;
        LanguageEntry entry{name.asString(), file.asString(), id.asInt()};
        if (!isPlainFileName(entry.file)) {
            tracef("languages: \"%s\" is not a language file name, language left out",
                   entry.file.c_str());
            continue;
        }
        languages.push_back(std::move(entry));
    }
    return languages;
}

std::map<std::string, std::string, std::less<>> LoadLanguageTexts(const std::string& path) {
    std::map<std::string, std::string, std::less<>> texts;
    const Json::Value document = LoadJsonDocument(path);
    if (!document.isObject())
        return texts;
    for (auto it = document.begin(); it != document.end(); ++it)
        if (it->isString())
            texts.emplace(it.name(), it->asString());
    return texts;
}

std::string_view PickMessagesLocale(std::string_view lcAll, std::string_view lcMessages,
                                    std::string_view lang) {
    if (!lcAll.empty())
        return lcAll;
    if (!lcMessages.empty())
        return lcMessages;
    return lang;
}

std::string SystemMessagesLocale() {
    auto variable = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string_view(value != nullptr ? value : "");
    };
    return std::string(
        PickMessagesLocale(variable("LC_ALL"), variable("LC_MESSAGES"), variable("LANG")));
}

int LanguageForLocale(const std::vector<LanguageEntry>& languages, std::string_view locale) {
    const LocaleParts wanted = splitLocale(locale);
    if (wanted.language.empty() || wanted.language == "C" || wanted.language == "POSIX")
        return -1;
    int sameLanguage = -1;
    for (std::size_t i = 0; i < languages.size(); ++i) {
        const LocaleParts offered = splitLocale(languages[i].name);
        if (!equalsIgnoringAsciiCase(offered.language, wanted.language))
            continue;
        if (equalsIgnoringAsciiCase(offered.territory, wanted.territory))
            return static_cast<int>(i);
        if (sameLanguage < 0)
            sameLanguage = static_cast<int>(i);
    }
    return sameLanguage;
}

std::string FormatCount(std::string_view text, long long n) {
    std::string result(text);
    if (const std::size_t at = result.find("%d"); at != std::string::npos)
        result.replace(at, 2, std::to_string(n));
    return result;
}

Languages::Languages(std::string configFile, std::string languageFolder, std::string settingsFile)
    : m_ConfigFile(std::move(configFile)),
      m_LanguageFolder(std::move(languageFolder)),
      m_SettingsFile(std::move(settingsFile)),
      m_Languages(LoadLanguageList(m_ConfigFile)) {
    if (m_Languages.empty())
        tracef("languages: no language in %s", m_ConfigFile.c_str());
}

Languages Languages::Installed() {
    const std::string config = configHome();
    return Languages(defaultDataFolder() + "Language.config", shippedDataFolder() + "lang/",
                     config.empty() ? std::string() : config + "/Quillmark/settings.json");
}

int Languages::ReadLanguageIndex(std::string_view locale) const {
    if (!m_SettingsFile.empty()) {
        const Json::Value settings = LoadJsonDocumentKeepingBad(m_SettingsFile);
        if (settings.isObject() && settings[kLanguageIdKey].isInt()) {
            const int id = settings[kLanguageIdKey].asInt();
            for (std::size_t i = 0; i < m_Languages.size(); ++i)
                if (m_Languages[i].id == id)
                    return static_cast<int>(i);
            tracef("languages: stored language id %d is not offered", id);
        }
    }
    const int byLocale = LanguageForLocale(m_Languages, locale);
    return byLocale >= 0 ? byLocale : 0;
}

bool Languages::SetLanguage(int index) {
    if (index == m_Current || index < 0 || static_cast<std::size_t>(index) >= m_Languages.size())
        return false;
    const LanguageEntry& entry = m_Languages[static_cast<std::size_t>(index)];
    auto texts = LoadLanguageTexts(m_LanguageFolder + entry.file);
    if (texts.empty()) {
        tracef("languages: %s has no texts, language %d not switched", entry.file.c_str(), index);
        return false;
    }
    if (index != 0)
        texts.merge(LoadLanguageTexts(m_LanguageFolder + m_Languages.front().file));
    m_Texts = std::move(texts);
    m_Current = index;
    WriteLanguageId(entry.id);
    return true;
}

int Languages::WriteLanguageId(int id) const {
    if (m_SettingsFile.empty())
        return -1;
    Json::Value settings = LoadJsonDocumentKeepingBad(m_SettingsFile);
    if (!settings.isObject())
        settings = Json::Value(Json::objectValue);
    settings[kLanguageIdKey] = id;
    const std::size_t cut = m_SettingsFile.rfind('/');
    if (cut != std::string::npos && cut > 0)
        makeDirs(m_SettingsFile.substr(0, cut));
    return SaveJsonDocument(m_SettingsFile, settings);
}

std::string Languages::TranslateKey(std::string_view key) const {
    const auto it = m_Texts.find(key);
    return it != m_Texts.end() ? it->second : std::string(key);
}

}  // namespace qm::app
