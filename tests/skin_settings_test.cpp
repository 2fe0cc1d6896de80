#include "app/skin_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/atomic_file.h"

namespace qm::app {
namespace {

namespace fs = std::filesystem;

struct IniCase {
    const char* what;
    const char* before;
    const char* after;
};

class SetIniValueTest : public testing::TestWithParam<IniCase> {};

TEST_P(SetIniValueTest, ChangesOnlyTheKey) {
    EXPECT_EQ(SetIniValue(GetParam().before, "SKINIMAGE", "IMAGE", "common/a.png"),
              GetParam().after)
        << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SetIniValueTest,
    testing::Values(
        IniCase{"empty file", "", "[SKINIMAGE]\nIMAGE=common/a.png\n"},
        IniCase{
            "replaces the value, keeps the rest",
            "; chosen skin\n[SKINIMAGE]\nFLAGS=1\nIMAGE=old.png\nOTHER=x\n[MORE]\nIMAGE=y\n",
            "; chosen skin\n[SKINIMAGE]\nFLAGS=1\nIMAGE=common/a.png\nOTHER=x\n[MORE]\nIMAGE=y\n"},
        IniCase{"names compare case-insensitively", "[SkinImage]\r\n image = old\r\n",
                "[SkinImage]\r\nIMAGE=common/a.png\r\n"},
        IniCase{"key added at the end of its section, before blank lines",
                "[SKINIMAGE]\nFLAGS=0\n\n[MORE]\nA=1",
                "[SKINIMAGE]\nFLAGS=0\nIMAGE=common/a.png\n\n[MORE]\nA=1\n"},
        IniCase{"section added after the others, CR LF kept", "[MORE]\r\nA=1",
                "[MORE]\r\nA=1\r\n[SKINIMAGE]\r\nIMAGE=common/a.png\r\n"},
        IniCase{"only the first section of a name", "[SKINIMAGE]\nA=1\n[SKINIMAGE]\nIMAGE=z\n",
                "[SKINIMAGE]\nA=1\nIMAGE=common/a.png\n[SKINIMAGE]\nIMAGE=z\n"}));

class SkinImageFileTest : public testing::Test {
protected:
    void SetUp() override {
        m_Folder = fs::temp_directory_path() /
                   ("qm_skin_settings_" +
                    std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                    testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_Folder);
    }
    void TearDown() override { fs::remove_all(m_Folder); }

    std::string read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    fs::path m_Folder;
};

TEST_F(SkinImageFileTest, CreatesTheFolderThenKeepsOtherSections) {
    const fs::path ini = m_Folder / "Quillmark" / "main.ini";
    ASSERT_TRUE(WriteSkinImage(ini.string(), 1, "common/background_ember.png"));
    EXPECT_EQ(read(ini), "[SKINIMAGE]\nFLAGS=1\nIMAGE=common/background_ember.png\n");

    ASSERT_TRUE(writeFileAtomic(ini.string(), "[WINDOW]\nX=10\n[SKINIMAGE]\nFLAGS=1\nNOTE=a\n"));
    ASSERT_TRUE(WriteSkinImage(ini.string(), 0, "common/background.png"));
    EXPECT_EQ(read(ini),
              "[WINDOW]\nX=10\n[SKINIMAGE]\nFLAGS=0\nNOTE=a\nIMAGE=common/background.png\n");
    // Written whole through a temporary file: nothing else is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(ini.parent_path()), fs::directory_iterator()),
              1);
}

TEST_F(SkinImageFileTest, RefusesWhatWouldCorruptOrLoseTheFile) {
    const fs::path ini = m_Folder / "main.ini";
    fs::create_directories(m_Folder);
    const std::string before = "[OTHER]\nA=1\n";
    ASSERT_TRUE(writeFileAtomic(ini.string(), before));
    // A line break in a value would add lines of its own to the file.
    EXPECT_FALSE(WriteSkinImage(ini.string(), 1, "a.png\n[OTHER]\nA=2"));
    EXPECT_EQ(read(ini), before);
    // A path that is a folder cannot be read: nothing replaces it.
    EXPECT_FALSE(WriteSkinImage(m_Folder.string(), 1, "a.png"));
    EXPECT_TRUE(fs::is_directory(m_Folder));
}

}  // namespace
}  // namespace qm::app
