// The atomic writer replaces only regular files: a FIFO or a character device is written into and
// stays what it is, anything else that is not a regular file is refused, and nothing is left
// behind in the folder.
#include "base/atomicfilewriter.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <set>

#include <gtest/gtest.h>

#include "base/uniquefd.h"
#include "tests/common/tempdir.h"

namespace {

namespace fs = std::filesystem;

// Open, Write and Commit until one fails; error is the failing step's errno, and its failure
// must name the path given to Open (even through a link).
bool Save(const std::string& path, const std::string& data, int* error = nullptr) {
    AtomicFileWriter w;
    Status status = w.Open(path);
    if (status) status = w.Write(data);
    if (status) status = w.Commit();
    if (!status) {
        EXPECT_EQ(status.failure().kind, FailureKind::File);
        EXPECT_EQ(status.failure().path, path);
    }
    if (error) *error = status ? 0 : status.failure().errorNumber;
    return status.ok();
}

size_t Entries(const TempDir& dir) {
    size_t n = 0;
    for (const auto& e : fs::directory_iterator(dir.Path())) {
        (void)e;
        ++n;
    }
    return n;
}

std::string Drain(int fd) {
    std::string got;
    char buffer[256];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) got.append(buffer, static_cast<size_t>(n));
    return got;
}

TEST(AtomicFileWriter, FifoIsWrittenIntoWhenSomeoneReadsAndRefusedOtherwise) {
    TempDir dir;
    const std::string fifo = dir / "out.cfg";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(::symlink("out.cfg", (dir / "link").c_str()), 0);

    int error = 0;
    EXPECT_FALSE(Save(fifo, "x", &error));
    EXPECT_EQ(error, ENXIO);

    const UniqueFd reader(::open(fifo.c_str(), O_RDONLY | O_NONBLOCK));
    ASSERT_TRUE(reader.Valid());
    EXPECT_TRUE(Save(fifo, "first\r\n"));
    EXPECT_TRUE(Save(dir / "link", "second\r\n"));  // through a link to the FIFO
    EXPECT_EQ(Drain(reader.Get()), "first\r\nsecond\r\n");

    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_symlink(dir / "link"));
    EXPECT_EQ(Entries(dir), 2u);
}

// Content reaches a device only at Commit, so a writer given up before it writes nothing.
TEST(AtomicFileWriter, CharacterDeviceGetsTheContentWholeAtCommit) {
    const UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK));
    ASSERT_TRUE(master.Valid());
    ASSERT_EQ(::grantpt(master.Get()), 0);
    ASSERT_EQ(::unlockpt(master.Get()), 0);
    const std::string slave = ::ptsname(master.Get());

    {
        AtomicFileWriter dropped;
        ASSERT_TRUE(dropped.Open(slave).ok());
        ASSERT_TRUE(dropped.Write("never").ok());
    }
    EXPECT_TRUE(Save(slave, "abc"));
    std::string got;
    pollfd p{master.Get(), POLLIN, 0};
    while (got.size() < 3 && ::poll(&p, 1, 2000) > 0) got += Drain(master.Get());
    EXPECT_EQ(got, "abc");
    struct stat st;
    ASSERT_EQ(::stat(slave.c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST(AtomicFileWriter, SocketAndLinkLoopAreRefusedAndStayAsTheyWere) {
    TempDir dir;
    const std::string socketPath = dir / "sock";
    const UniqueFd sock(::socket(AF_UNIX, SOCK_STREAM, 0));
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.size(), sizeof addr.sun_path);
    socketPath.copy(addr.sun_path, socketPath.size());
    ASSERT_EQ(::bind(sock.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::symlink("b", (dir / "a").c_str()), 0);
    ASSERT_EQ(::symlink("a", (dir / "b").c_str()), 0);

    const struct {
        std::string path;
        int error;
    } cases[] = {{socketPath, ENOTSUP}, {dir / "a", ELOOP}, {dir.Path(), EISDIR}};
    for (const auto& c : cases) {
        int error = 0;
        EXPECT_FALSE(Save(c.path, "data", &error)) << c.path;
        EXPECT_EQ(error, c.error) << c.path;
    }
    EXPECT_TRUE(fs::is_socket(socketPath));
    EXPECT_TRUE(fs::is_symlink(dir / "a"));
    EXPECT_TRUE(fs::is_symlink(dir / "b"));
    EXPECT_EQ(Entries(dir), 3u);
}

TEST(AtomicFileWriter, RegularFileThroughALinkIsReplacedAndTheLinkKept) {
    TempDir dir;
    dir.Write("real.cfg", "old");
    ASSERT_EQ(::symlink("real.cfg", (dir / "link.cfg").c_str()), 0);
    EXPECT_TRUE(Save(dir / "link.cfg", "new"));
    EXPECT_TRUE(fs::is_symlink(dir / "link.cfg"));
    EXPECT_EQ(fs::file_size(dir / "real.cfg"), 3u);
    EXPECT_EQ(Entries(dir), 2u);
}

// Temporary files a killed process left beside NAME go with the next write of NAME; those of a
// process still alive, and other names, stay.
TEST(AtomicFileWriter, StaleTemporaryFilesOfADeadProcessAreRemoved) {
    TempDir dir;
    const pid_t child = ::fork();
    if (child == 0) _exit(0);
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);  // its id now names no process
    const std::string dead = std::to_string(child), alive = std::to_string(::getppid());
    const std::string longName(240, 'n');
    for (const std::string& name :
         {".f.cfg.tmp" + dead + "_0", ".f.cfg.tmp" + dead + "_12", ".f.cfg.tmp" + alive + "_0",
          ".g.cfg.tmp" + dead + "_0", ".f.cfg.tmp" + dead + "_x", ".tmp" + dead + "_0"})
        dir.Write(name, "left");
    ASSERT_TRUE(Save(dir / "f.cfg", "new"));
    std::set<std::string> left;
    for (const auto& e : fs::directory_iterator(dir.Path())) left.insert(e.path().filename());
    EXPECT_EQ(left, (std::set<std::string>{"f.cfg", ".f.cfg.tmp" + alive + "_0",
                                           ".g.cfg.tmp" + dead + "_0", ".f.cfg.tmp" + dead + "_x",
                                           ".tmp" + dead + "_0"}));
    // A name too long for ".NAME.tmpPID_N" is written through a short temporary name, which
    // goes the same way.
    ASSERT_TRUE(Save(dir / longName, "long"));
    EXPECT_EQ(fs::file_size(dir / longName), 4u);
    EXPECT_FALSE(fs::exists(dir / (".tmp" + dead + "_0")));
    EXPECT_EQ(Entries(dir), 5u);
}

// A name of 241 to 255 bytes is legal and is saved.
TEST(AtomicFileWriter, NamesUpToTheLongestLegalAreSaved) {
    TempDir dir;
    for (size_t length : {230u, 241u, 248u, 255u}) {
        const std::string path = dir / std::string(length, 'x');
        EXPECT_TRUE(Save(path, "data")) << length;
        EXPECT_EQ(fs::file_size(path), 4u) << length;
    }
    EXPECT_EQ(Entries(dir), 4u);
}

}  // namespace
