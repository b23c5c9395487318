#include "base/installpaths.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/u8path.h"
#include "tests/common/tempdir.h"

namespace {

#ifdef _WIN32
constexpr char kThisProgram[] = "base_installpaths_test.exe";
#else
constexpr char kThisProgram[] = "base_installpaths_test";
#endif

TEST(LocateDataFile, TheWorkingFoldersOwnFileWinsThenTheInstalledOne) {
    TempDir work, data;
    data.Write("calcbank.xml", "installed");
    WorkingDirectory cwd(work.Path());
    EXPECT_EQ(LocateDataFile("calcbank.xml", data.Path()), data.Path() + "calcbank.xml");
    // Neither has it: the working folder's name, where a message says it was looked for.
    EXPECT_EQ(LocateDataFile("Help.chm", data.Path()), "Help.chm");
    EXPECT_EQ(LocateDataFile("calcbank.xml", ""), "calcbank.xml");

    work.Write("calcbank.xml", "site");
    EXPECT_EQ(LocateDataFile("calcbank.xml", data.Path()), "calcbank.xml");
}

TEST(LocateManual, APortableCopysOwnManualIsFound) {
    TempDir work;
    WorkingDirectory cwd(work.Path());
    // This test program is not installed: no manual beside it.
    EXPECT_EQ(LocateManual(), "");
    work.Write("manual/index.html", "<html/>");
    EXPECT_EQ(PathFromUtf8(LocateManual()),
              std::filesystem::canonical(PathFromUtf8(work.Path() + "manual/index.html")));
}

TEST(ExecutableDir, IsTheRunningProgramsFolder) {
    const std::string program = ExecutableDir();
    ASSERT_FALSE(program.empty());
    EXPECT_EQ(program.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(PathFromUtf8(program + kThisProgram)));
    EXPECT_EQ(InstalledDataDir(), "");  // a build folder has no share/vr7loncfgmaker beside it
}

}  // namespace
