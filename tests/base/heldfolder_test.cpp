// The steps a held folder takes by name, the same on every platform, in a folder whose name is
// not ASCII (UTF-8 inside, UTF-16 at the Windows calls).
#include "base/heldfolder.h"

#include <cerrno>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "base/atomicfilewriter.h"
#include "base/wholefile.h"
#include "tests/common/tempdir.h"

namespace {

class HeldFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path = dir.MakeDir("Папка настроек");
        ASSERT_EQ(folder.Open(path, false), 0);
    }
    std::string Read(const std::string& name) {
        Result<std::string> bytes = ReadWholeFile(path + name, 1 << 20);
        return bytes ? bytes.value() : "(" + bytes.failure().detail + ")";
    }
    int Create(const std::string& name, const std::string& bytes) {
        UniqueFd file;
        const int error = folder.CreateNew(name, file);
        if (error == 0) {
            EXPECT_EQ(WriteAll(file.Get(), bytes), 0);
        }
        return error;
    }

    TempDir dir;
    std::string path;
    HeldFolder folder;
};

TEST_F(HeldFolderTest, NamesAreNeverTakenTwiceAndRenamesReplace) {
    ASSERT_EQ(Create("а.tmp", "first"), 0);
    EXPECT_EQ(Create("а.tmp", "again"), EEXIST);
    ASSERT_EQ(Create("б.cfg", "taken"), 0);
    EXPECT_EQ(folder.MoveToNew("а.tmp", "б.cfg"), EEXIST);
    EXPECT_EQ(Read("б.cfg"), "taken");
    ASSERT_EQ(folder.MoveToNew("а.tmp", "в.cfg"), 0);
    EXPECT_EQ(folder.KindOf("а.tmp"), HeldFolder::Kind::Missing);
    EXPECT_EQ(folder.Rename("в.cfg", "б.cfg"), 0);
    EXPECT_EQ(Read("б.cfg"), "first");
    EXPECT_EQ(folder.Remove("в.cfg"), ENOENT);

    HeldFolder child;
    ASSERT_EQ(folder.OpenChild("12", true, child), 0);
    std::set<std::string> names;
    folder.ForEach([&](const std::string& name) { names.insert(name); });
    EXPECT_EQ(names, (std::set<std::string>{"б.cfg", "12"}));
    uint64_t size = 0;
    EXPECT_EQ(folder.KindOf("б.cfg", &size), HeldFolder::Kind::File);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(folder.KindOf("12"), HeldFolder::Kind::Folder);
    EXPECT_EQ(folder.OpenChild("б.cfg", false, child), ENOTDIR);
    EXPECT_EQ(folder.OpenChild("нет", false, child), ENOENT);
}

TEST_F(HeldFolderTest, AHeldFileOutlivesRemovalUntilLetGo) {
    UniqueFd held;
    ASSERT_EQ(folder.CreateNew("held.cfg", held), 0);
    HeldFolder::Hold(held);
    folder.RemoveUnlessHeld("held.cfg");
    EXPECT_EQ(folder.KindOf("held.cfg"), HeldFolder::Kind::File);
    held.Reset();
    folder.RemoveUnlessHeld("held.cfg");
    EXPECT_EQ(folder.KindOf("held.cfg"), HeldFolder::Kind::Missing);
}

TEST_F(HeldFolderTest, AWholeFileReplacesTheOldOneAndLeavesNoTemporaryFile) {
    ASSERT_TRUE(WriteFileWhole(path + "настройки.cfg", "old"));
    ASSERT_TRUE(WriteFileWhole(path + "настройки.cfg", "new bytes"));
    EXPECT_EQ(Read("настройки.cfg"), "new bytes");
    AtomicFileWriter writer;
    ASSERT_TRUE(writer.Open(path + "настройки.cfg"));
    ASSERT_TRUE(writer.Write("abandoned"));
    std::string committed;
    ASSERT_TRUE(writer.CommitAsNew([](unsigned n) { return "копия" + std::to_string(n) + ".cfg"; },
                                   3, committed));
    EXPECT_EQ(committed, path + "копия0.cfg");
    EXPECT_EQ(Read("настройки.cfg"), "new bytes");
    std::set<std::string> names;
    folder.ForEach([&](const std::string& name) { names.insert(name); });
    EXPECT_EQ(names, (std::set<std::string>{"настройки.cfg", "копия0.cfg"}));
    EXPECT_EQ(FolderWritable(path), 0);
    EXPECT_NE(FolderWritable(path + "нет"), 0);
}

TEST(ProcessIds, ThisProcessIsAliveAndAnUnusedIdIsGone) {
    EXPECT_FALSE(ProcessGone(CurrentProcessId()));
    EXPECT_TRUE(ProcessGone(0x7ffffff0));
}

}  // namespace
