// Whole-file writes: a process killed in the middle of saving leaves the old file or the new one,
// never a part of either; an unreadable file is kept aside before anything replaces it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/atomic_file.h"

namespace {

namespace fs = std::filesystem;

class AtomicFile : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/qm-atomic-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_Folder = pattern;
    }
    void TearDown() override { fs::remove_all(m_Folder); }
    std::string m_Folder;
};

// Two large contents of different lengths, each recognisable whole.
std::string content(char fill, std::size_t size) { return std::string(size, fill) + "\nend\n"; }

TEST_F(AtomicFile, AKilledWriterNeverLeavesATruncatedFile) {
    const std::string path = m_Folder + "/profile.Json";
    const std::string a = content('a', 3 << 20);
    const std::string b = content('b', 5 << 20);
    ASSERT_TRUE(qm::writeFileAtomic(path, a));

    for (int round = 0; round < 8; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i) qm::writeFileAtomic(path, i % 2 ? a : b);
        }
        // Let the child get into its writes, a little later each round, then kill it outright.
        usleep(2000 + 3000 * round);
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);

        std::string now;
        ASSERT_TRUE(qm::readFile(path, now));
        EXPECT_TRUE(now == a || now == b) << "round " << round << ": " << now.size() << " bytes";
    }
}

TEST_F(AtomicFile, AFailedWriteLeavesTheOldFileAndSaysSo) {
    const std::string path = m_Folder + "/list.ini";
    ASSERT_TRUE(qm::writeFileAtomic(path, "old"));
    // A folder where the file's folder should be: nothing can be created there.
    EXPECT_FALSE(qm::writeFileAtomic(path + "/child", "new"));
    std::string now;
    ASSERT_TRUE(qm::readFile(path, now));
    EXPECT_EQ(now, "old");
}

TEST_F(AtomicFile, UnreadableFilesAreKeptAsideUnderFreeNames) {
    const std::string path = m_Folder + "/p.Json";
    std::ofstream(path) << "first";
    EXPECT_EQ(qm::keepAside(path), path + ".bad");
    std::ofstream(path) << "second";
    EXPECT_EQ(qm::keepAside(path), path + ".bad.1");
    std::string kept;
    ASSERT_TRUE(qm::readFile(path + ".bad", kept));
    EXPECT_EQ(kept, "first");
    EXPECT_FALSE(fs::exists(path));
}

}  // namespace
