#include "base/pathcase.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/scratchfolder.h"

namespace {

namespace fs = std::filesystem;

class PathCase : public ::testing::Test {
  protected:
    void SetUp() override {
        Result<std::string> made = MakeScratchFolder("vr7pathcase");
        ASSERT_TRUE(made.ok());
        root = made.value();
    }
    void TearDown() override { fs::remove_all(root); }
    void Touch(const std::string& rel) {
        fs::create_directories((fs::path(root) / rel).parent_path());
        std::ofstream(fs::path(root) / rel) << "x";
    }
    std::string root;
};

TEST_F(PathCase, ExactNameWins) {
    Touch("CONFIG/main.def");
    Touch("CONFIG/MAIN.DEF");
    EXPECT_EQ(pathcase::ResolveInDir(root + "/CONFIG", "main.def"), root + "/CONFIG/main.def");
    EXPECT_EQ(pathcase::ResolveInDir(root + "/CONFIG/", "MAIN.DEF"), root + "/CONFIG/MAIN.DEF");
}

TEST_F(PathCase, OtherCaseIsFound) {
    Touch("Config/MAIN.DEF");
    EXPECT_EQ(pathcase::ResolveInDir(root, "CONFIG"), root + "/Config");
    EXPECT_EQ(pathcase::ResolveLast(root + "/CONFIG/"), root + "/Config/");
    EXPECT_EQ(pathcase::Resolve(root + "/CONFIG/main.def"), root + "/Config/MAIN.DEF");
}

TEST_F(PathCase, AmbiguousOrMissingKeepsTheNameAsWritten) {
    Touch("a/Main.def");
    Touch("a/MAIN.def");
    EXPECT_EQ(pathcase::ResolveInDir(root + "/a", "main.def"), root + "/a/main.def");
    EXPECT_EQ(pathcase::ResolveInDir(root + "/a", "other"), root + "/a/other");
    EXPECT_EQ(pathcase::Resolve(root + "/A/x/y.xms"), root + "/a/x/y.xms");
    EXPECT_EQ(pathcase::Resolve(root + "/nope/x/y.xms"), root + "/nope/x/y.xms");
}

TEST_F(PathCase, CyrillicNamesFoldToo) {
    Touch("CONFIG/Котельная.xms");
    EXPECT_EQ(pathcase::Resolve(root + "/config/КОТЕЛЬНАЯ.XMS"), root + "/CONFIG/Котельная.xms");
}

TEST_F(PathCase, ExistingPathIsUnchanged) {
    Touch("x/y");
    EXPECT_EQ(pathcase::Resolve(root + "/x/y"), root + "/x/y");
    EXPECT_EQ(pathcase::Resolve(root + "//x//y"), root + "//x//y");
    EXPECT_EQ(pathcase::Resolve(""), "");
}

TEST_F(PathCase, RelativePaths) {
    Touch("Sub/File.txt");
    const fs::path saved = fs::current_path();
    fs::current_path(root);
    EXPECT_EQ(pathcase::Resolve("sub/file.TXT"), "Sub/File.txt");
    EXPECT_EQ(pathcase::ResolveLast("SUB"), "Sub");
    fs::current_path(saved);
}

TEST(PathCaseCompare, EqualIgnoringCase) {
    EXPECT_TRUE(pathcase::EqualIgnoringCase("Main.Def", "MAIN.def"));
    EXPECT_TRUE(pathcase::EqualIgnoringCase("Ёлка", "ёЛКА"));
    EXPECT_FALSE(pathcase::EqualIgnoringCase("main.def", "main.de"));
    EXPECT_FALSE(pathcase::EqualIgnoringCase("a\xC0", "a\xE0"));  // not UTF-8: exact bytes
    EXPECT_TRUE(pathcase::EqualIgnoringCase("a\xC0", "A\xC0"));
}

}  // namespace
