#include "app/languages.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "platform/data_paths.h"
#include "profile/json_file.h"

namespace qm::app {
namespace {

namespace fs = std::filesystem;

const std::vector<LanguageEntry> kShippedLike = {
    {"zh_CN", "lan_cn.json", 2052},
    {"en_US", "lan_en.json", 1033},
    {"en_GB", "lan_gb.json", 2057},
};

struct LocaleCase {
    const char* locale;
    int index;
};

class LanguageForLocaleTest : public testing::TestWithParam<LocaleCase> {};

TEST_P(LanguageForLocaleTest, PicksTerritoryThenLanguage) {
    EXPECT_EQ(LanguageForLocale(kShippedLike, GetParam().locale), GetParam().index)
        << GetParam().locale;
}

INSTANTIATE_TEST_SUITE_P(Locales, LanguageForLocaleTest,
                         testing::Values(LocaleCase{"zh_CN.UTF-8", 0}, LocaleCase{"zh_TW", 0},
                                         LocaleCase{"en_US.UTF-8", 1},
                                         LocaleCase{"en_GB.UTF-8@euro", 2}, LocaleCase{"EN_gb", 2},
                                         LocaleCase{"en_AU", 1}, LocaleCase{"en", 1},
                                         LocaleCase{"de_DE.UTF-8", -1}, LocaleCase{"C", -1},
                                         LocaleCase{"C.UTF-8", -1}, LocaleCase{"POSIX", -1},
                                         LocaleCase{"", -1}));

TEST(PickMessagesLocale, FirstNonEmptyOfLcAllLcMessagesLang) {
    EXPECT_EQ(PickMessagesLocale("de_DE", "fr_FR", "en_US"), "de_DE");
    EXPECT_EQ(PickMessagesLocale("", "fr_FR", "en_US"), "fr_FR");
    EXPECT_EQ(PickMessagesLocale("", "", "en_US"), "en_US");
    EXPECT_EQ(PickMessagesLocale("", "", ""), "");
}

TEST(FormatCount, ReplacesTheFirstPercentDOnly) {
    EXPECT_EQ(FormatCount("remove %d steps", 3), "remove 3 steps");
    EXPECT_EQ(FormatCount("%d %d %s", 1), "1 %d %s");
    EXPECT_EQ(FormatCount("no number", 1), "no number");
}

class LanguagesTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "qm-lang-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_Root = pattern;
        fs::create_directories(m_Root / "lang");
        write("Language.config", R"({"Language": [
            {"Language_name": "zh_CN", "Language_file": "lan_cn.json", "Language_ID": 2052},
            {"Language_name": "en_US", "Language_file": "lan_en.json", "Language_ID": 1033},
            {"Language_name": "fr_FR", "Language_file": "../escape.json", "Language_ID": 1036},
            {"Language_name": "de_DE", "Language_file": "lan_de.json", "Language_ID": "x"},
            {"Language_name": "ja_JP", "Language_file": "lan_missing.json", "Language_ID": 1041}]})");
        write("lang/lan_cn.json", R"({"close_text": "禁用", "only_cn": "仅中文", "n": 5})");
        write("lang/lan_en.json", R"({"close_text": "Disabled"})");
    }
    void TearDown() override { fs::remove_all(m_Root); }

    void write(const std::string& name, const std::string& text) {
        std::ofstream(m_Root / name, std::ios::binary) << text;
    }
    std::string settings() const { return (m_Root / "config/Quillmark/settings.json").string(); }
    Languages languages() const {
        return Languages((m_Root / "Language.config").string(), (m_Root / "lang/").string(),
                         settings());
    }

    fs::path m_Root;
};

TEST_F(LanguagesTest, ListLeavesOutUnsafeAndMalformedEntries) {
    const Languages langs = languages();
    ASSERT_EQ(langs.list().size(), 3u);
    EXPECT_EQ(langs.list()[1].file, "lan_en.json");
    EXPECT_EQ(langs.list()[2].id, 1041);
}

TEST_F(LanguagesTest, FreshConfigFollowsTheLocaleElseIndexZero) {
    const Languages langs = languages();
    EXPECT_EQ(langs.ReadLanguageIndex("en_US.UTF-8"), 1);
    EXPECT_EQ(langs.ReadLanguageIndex("zh_CN.UTF-8"), 0);
    EXPECT_EQ(langs.ReadLanguageIndex("de_DE.UTF-8"), 0);
}

TEST_F(LanguagesTest, StoredChoiceWinsOverTheLocale) {
    Languages langs = languages();
    ASSERT_TRUE(langs.SetLanguage(1));
    EXPECT_EQ(LoadJsonDocument(settings())["Language_ID"].asInt(), 1033);
    EXPECT_EQ(languages().ReadLanguageIndex("zh_CN.UTF-8"), 1);
}

TEST_F(LanguagesTest, SettingsKeepTheirOtherMembers) {
    fs::create_directories(fs::path(settings()).parent_path());
    std::ofstream(settings()) << R"({"skin": "dark", "Language_ID": 1033})";
    ASSERT_EQ(languages().WriteLanguageId(2052), 0);
    const Json::Value stored = LoadJsonDocument(settings());
    EXPECT_EQ(stored["skin"].asString(), "dark");
    EXPECT_EQ(stored["Language_ID"].asInt(), 2052);
}

TEST_F(LanguagesTest, DamagedSettingsAreKeptAsideAndTheLocaleDecides) {
    fs::create_directories(fs::path(settings()).parent_path());
    std::ofstream(settings()) << "{\"Language_ID\": 10";
    EXPECT_EQ(languages().ReadLanguageIndex("en_US"), 1);
    std::ifstream bad(settings() + ".bad");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(bad), {}), "{\"Language_ID\": 10");

    std::ofstream(settings()) << "{\"Language_ID\": 9999}";  // a language no longer offered
    EXPECT_EQ(languages().ReadLanguageIndex("en_US"), 1);
}

TEST_F(LanguagesTest, TranslationFallsBackToTheFirstLanguageThenTheKey) {
    Languages langs = languages();
    EXPECT_EQ(langs.TranslateKey("close_text"), "close_text");  // nothing loaded yet
    ASSERT_TRUE(langs.SetLanguage(1));
    EXPECT_EQ(langs.TranslateKey("close_text"), "Disabled");
    EXPECT_EQ(langs.TranslateKey("only_cn"), "仅中文");
    EXPECT_EQ(langs.TranslateKey("n"), "n");  // not a string in the file
    EXPECT_EQ(langs.TranslateKey("message_text_99"), "message_text_99");
    ASSERT_TRUE(langs.SetLanguage(0));
    EXPECT_EQ(langs.TranslateKey("close_text"), "禁用");
}

TEST_F(LanguagesTest, SwitchRefusesTheCurrentAnUnknownAndAnUnreadableLanguage) {
    Languages langs = languages();
    ASSERT_TRUE(langs.SetLanguage(1));
    EXPECT_FALSE(langs.SetLanguage(1));
    EXPECT_FALSE(langs.SetLanguage(3));
    EXPECT_FALSE(langs.SetLanguage(-1));
    EXPECT_FALSE(langs.SetLanguage(2));  // its file is missing
    EXPECT_EQ(langs.current(), 1);
    EXPECT_EQ(langs.TranslateKey("close_text"), "Disabled");
}

TEST_F(LanguagesTest, MissingConfigOffersNothingAndStartsAtZero) {
    fs::remove(m_Root / "Language.config");
    Languages langs = languages();
    EXPECT_TRUE(langs.list().empty());
    EXPECT_EQ(langs.ReadLanguageIndex("en_US"), 0);
    EXPECT_FALSE(langs.SetLanguage(0));
}

// The shipped files: both parse, Chinese comes first, and they have the same keys.
TEST(ShippedLanguages, ChineseFirstAndBothFilesHaveTheSameKeys) {
    const auto list = LoadLanguageList(defaultDataFolder() + "Language.config");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].file, "lan_cn.json");
    EXPECT_EQ(LanguageForLocale(list, "zh_CN.UTF-8"), 0);
    EXPECT_EQ(LanguageForLocale(list, "en_US.UTF-8"), 1);

    const auto chinese = LoadLanguageTexts(shippedDataFolder() + "lang/" + list[0].file);
    const auto english = LoadLanguageTexts(shippedDataFolder() + "lang/" + list[1].file);
    ASSERT_FALSE(chinese.empty());
    for (const auto& [key, text] : english) {
        EXPECT_TRUE(chinese.contains(key)) << key;
        EXPECT_FALSE(text.empty()) << key;
    }
    for (const auto& [key, text] : chinese) {
        EXPECT_TRUE(english.contains(key)) << key;
        EXPECT_FALSE(text.empty()) << key;
    }
    for (const char* key : {"message_text_5", "message_text_16", "message_text_22",
                            "message_text_25", "close_text", "kb_device_name_text"})
        EXPECT_TRUE(english.contains(key)) << key;
    EXPECT_NE(english.at("message_text_16").find("%d"), std::string::npos);
    EXPECT_NE(chinese.at("message_text_16").find("%d"), std::string::npos);
}

// Every text key a skin layout names (its "textkey" properties) has a text in every shipped
// language, so no control ever shows a bare key.
TEST(ShippedLanguages, EveryLayoutTextKeyIsTranslated) {
    const auto list = LoadLanguageList(defaultDataFolder() + "Language.config");
    ASSERT_FALSE(list.empty());
    const std::regex textKey(R"(name="textkey">\s*<string>([^<]*)<)");
    int keys = 0;
    for (const auto& entry : fs::recursive_directory_iterator(shippedDataFolder() + "skin")) {
        if (entry.path().extension() != ".ui")
            continue;
        std::ifstream file(entry.path());
        const std::string layout{std::istreambuf_iterator<char>(file), {}};
        for (auto match = std::sregex_iterator(layout.begin(), layout.end(), textKey);
             match != std::sregex_iterator(); ++match) {
            const std::string key = (*match)[1];
            ++keys;
            for (const LanguageEntry& language : list) {
                EXPECT_TRUE(
                    LoadLanguageTexts(shippedDataFolder() + "lang/" + language.file).contains(key))
                    << entry.path().filename() << ": " << key << " missing in " << language.file;
            }
        }
    }
    EXPECT_GT(keys, 0);
}

}  // namespace
}  // namespace qm::app
