#include "installpaths.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tempdir.h"

namespace {

namespace fs = std::filesystem;

// The installed data folder lies beside the program as ../share/vr7loncfgmaker; this test
// program lies in the build tree, so it makes one there for the test's length.
class InstalledData : public ::testing::Test {
  protected:
    void SetUp() override {
        data_ = fs::path(ExecutableDir()) / "../share/vr7loncfgmaker";
        made_ = !fs::exists(data_);
        fs::create_directories(data_);
        std::ofstream(data_ / "calcbank.xml") << "installed";
    }
    void TearDown() override {
        std::error_code ec;
        if (made_) fs::remove_all(data_.parent_path(), ec);
    }
    fs::path data_;
    bool made_ = false;
};

TEST_F(InstalledData, TheWorkingFoldersOwnFileWinsThenTheInstalledOne) {
    TempDir dir;
    WorkingDirectory cwd(dir.Path());
    ASSERT_NE(InstalledDataDir(), "");
    EXPECT_EQ(LocateDataFile("calcbank.xml"), InstalledDataDir() + "calcbank.xml");
    // Neither has it: the working folder's name, where a message says it was looked for.
    EXPECT_EQ(LocateDataFile("Help.chm"), "Help.chm");

    dir.Write("calcbank.xml", "site");
    EXPECT_EQ(LocateDataFile("calcbank.xml"), "calcbank.xml");
}

TEST(InstalledDataDir, EndsInASlashOrIsEmpty) {
    const std::string program = ExecutableDir();
    ASSERT_FALSE(program.empty());
    EXPECT_EQ(program.back(), '/');
    EXPECT_TRUE(fs::exists(program + "base_installpaths_test"));
}

}  // namespace
