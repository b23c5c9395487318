#include "device/connectionsettings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/common/tempdir.h"
#include "tests/common/testtext.h"
#include "tests/common/unprivileged.h"

namespace {

const char kLegacy[] =
    "[CONNECTION]\r\nport=COM3\r\nIP=10.0.0.7\r\nTCPIPport=2000\r\nspeed=19200\r\n";

TEST(ConnectionSettings, WithoutFilesTheDefaultsHold) {
    TempDir dir;
    const ConnectionSettings s = LoadConnectionSettings(dir.Path());
    EXPECT_EQ(s.PortName(), "COM1");
    EXPECT_EQ(s.host, "192.168.0.1");
    EXPECT_EQ(s.TcpPortText(), "10001");
    EXPECT_EQ(s.speed, 115200u);
    EXPECT_EQ(s.deviceNumber, 1u);
}

TEST(ConnectionSettings, AnInstallationWithOnlyTheOlderFileKeepsItsSettings) {
    TempDir dir;
    dir.Write("vr7CfgUpdate.ini", kLegacy);
    // The device number alone does not make the newer file the settings' home.
    dir.Write("Vr7LonCfgMaker.ini", "[CONNECTION]\r\ndev_nom=5\r\n");
    const ConnectionSettings s = LoadConnectionSettings(dir.Path());
    EXPECT_EQ(s.PortName(), "COM3");
    EXPECT_EQ(s.host, "10.0.0.7");
    EXPECT_EQ(s.TcpPortText(), "2000");
    EXPECT_EQ(s.speed, 19200u);
    EXPECT_EQ(s.deviceNumber, 5u);
}

TEST(ConnectionSettings, SavedSettingsWinOverTheOlderFileAfterARestart) {
    TempDir dir;
    dir.Write("vr7CfgUpdate.ini", kLegacy);
    {
        ConnectionSettings s = LoadConnectionSettings(dir.Path());
        s.SetPortName("TCP/IP");
        s.host = "127.0.0.1";
        s.tcpPort = 4001;
        s.speed = 57600;
        s.deviceNumber = 77;
        EXPECT_TRUE(SaveConnectionSettings(s, dir.Path()));
    }
    // The next start of the program.
    const ConnectionSettings s = LoadConnectionSettings(dir.Path());
    EXPECT_EQ(s.PortName(), "TCP/IP");
    EXPECT_EQ(s.host, "127.0.0.1");
    EXPECT_EQ(s.TcpPortText(), "4001");
    EXPECT_EQ(s.speed, 57600u);
    EXPECT_EQ(s.deviceNumber, 77u);
    // The older file is left as it was.
    EXPECT_EQ(ReadBytes(dir / "vr7CfgUpdate.ini"), kLegacy);
}

TEST(ConnectionSettings, TheChosenFileIsTakenWholeAndTheKeyIsFoundIgnoringCase) {
    TempDir dir;
    dir.Write("vr7CfgUpdate.ini", kLegacy);
    dir.Write("Vr7LonCfgMaker.ini", "[connection]\r\nPORT = /dev/ttyUSB0\r\n");
    EXPECT_EQ(ConnectionSettingsSource(dir.Path()), dir / "Vr7LonCfgMaker.ini");
    const ConnectionSettings s = LoadConnectionSettings(dir.Path());
    EXPECT_EQ(s.PortName(), "/dev/ttyUSB0");
    // Not mixed with the older file's values.
    EXPECT_EQ(s.host, "192.168.0.1");
    EXPECT_EQ(s.speed, 115200u);
}

TEST(ConnectionSettings, AnEmptyPortStillMarksTheNewerFile) {
    TempDir dir;
    dir.Write("vr7CfgUpdate.ini", kLegacy);
    dir.Write("Vr7LonCfgMaker.ini", "[CONNECTION]\r\nport=\r\n");
    EXPECT_EQ(ConnectionSettingsSource(dir.Path()), dir / "Vr7LonCfgMaker.ini");
}

uint32_t LoadDeviceNumber(const std::string& programDir) {
    return LoadConnectionSettings(programDir).deviceNumber;
}

TEST(DeviceNumberSetting, DefaultsToOneAndRoundTripsEveryUnsignedValue) {
    TempDir dir;
    EXPECT_EQ(LoadDeviceNumber(dir.Path()), 1u);
    ConnectionSettings s;
    s.deviceNumber = 4294967295u;
    SaveConnectionSettings(s, dir.Path());
    EXPECT_EQ(LoadDeviceNumber(dir.Path()), 4294967295u);
    EXPECT_NE(ReadBytes(dir / "Vr7LonCfgMaker.ini").find("dev_nom=4294967295\r\n"),
              std::string::npos);
    s.deviceNumber = 0;
    SaveConnectionSettings(s, dir.Path());
    EXPECT_EQ(LoadDeviceNumber(dir.Path()), 0u);
}

TEST(DeviceNumberSetting, ReadsLikeAtoiAndKeepsTheOtherKeys) {
    TempDir dir;
    // A program directory given without its trailing separator works the same.
    const std::string programDir = dir.Path().substr(0, dir.Path().size() - 1);
    dir.Write("Vr7LonCfgMaker.ini", "[CONNECTION]\r\nport=COM2\r\ndev_nom= 12abc\r\n");
    EXPECT_EQ(LoadDeviceNumber(programDir), 12u);
    dir.Write("Vr7LonCfgMaker.ini", "[CONNECTION]\r\nport=COM2\r\ndev_nom=-1\r\n");
    EXPECT_EQ(LoadDeviceNumber(programDir), 4294967295u);
    dir.Write("Vr7LonCfgMaker.ini", "[CONNECTION]\r\nport=COM2\r\ndev_nom=x\r\n");
    EXPECT_EQ(LoadDeviceNumber(programDir), 0u);

    ConnectionSettings s = LoadConnectionSettings(programDir);
    s.deviceNumber = 3;
    EXPECT_TRUE(s.WriteDeviceNumber(dir / "Vr7LonCfgMaker.ini"));
    EXPECT_EQ(ReadBytes(dir / "Vr7LonCfgMaker.ini"), "[CONNECTION]\r\nport=COM2\r\ndev_nom=3\r\n");
}

}  // namespace

namespace {

TEST(SettingsFolders, APortableCopyKeepsItsFilesBesideTheProgram) {
    const SettingsFolders f = SettingsFoldersFor("/opt/vr7/", true);
    EXPECT_EQ(f.write, "/opt/vr7/");
    EXPECT_EQ(f.read, std::vector<std::string>{"/opt/vr7/"});
}

TEST(SettingsFolders, AnInstalledCopyWritesToTheUsersFolderAndReadsItFirst) {
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string previous = saved ? saved : "";
    ::setenv("XDG_CONFIG_HOME", "/home/eng/.cfg", 1);
    const SettingsFolders f = SettingsFoldersFor("/usr/bin/", false);
    EXPECT_EQ(f.write, "/home/eng/.cfg/vr7loncfgmaker/");
    EXPECT_EQ(f.read, (std::vector<std::string>{"/home/eng/.cfg/vr7loncfgmaker/", "/usr/bin/"}));
    // Without XDG_CONFIG_HOME: ~/.config.
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(SettingsFoldersFor("/usr/bin/", false).write,
              std::string(std::getenv("HOME")) + "/.config/vr7loncfgmaker/");
    if (saved) ::setenv("XDG_CONFIG_HOME", previous.c_str(), 1);
}

// The whole round as an installed copy lives it: a program folder the user cannot write, holding
// the settings an administrator put there, and the user's own folder not made yet. Returns what
// went wrong, empty when nothing did.
std::string InstalledCopyRound(const std::string& programDir, const std::string& config) {
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    ConnectionSettings conn = LoadConnectionSettings(programDir);
    if (conn.PortName() != "COM5") return "the program folder's settings were not read";
    if (conn.deviceNumber != 9) return "the program folder's device number was not read";
    conn.SetPortName("TCP/IP");
    conn.deviceNumber = 42;
    if (!SaveConnectionSettings(conn, programDir)) return "saving into the user's folder failed";
    const ConnectionSettings again = LoadConnectionSettings(programDir);
    if (again.PortName() != "TCP/IP") return "the user's settings do not win";
    if (again.deviceNumber != 42) return "the user's device number does not win";
    if (ReadBytes(programDir + "Vr7LonCfgMaker.ini").find("TCP/IP") != std::string::npos)
        return "the program folder was written";
    // A user's folder that cannot be made: the save says so.
    ::setenv("XDG_CONFIG_HOME", (programDir + "Vr7LonCfgMaker.ini/x").c_str(), 1);
    if (SaveConnectionSettings(conn, programDir)) return "a failed save was reported as done";
    return "";
}

TEST(SettingsFolders, AnInstalledCopySavesInTheUsersFolderAndSaysWhenItCannot) {
    TempDir program, user;
    program.Write("Vr7LonCfgMaker.ini", "[CONNECTION]\r\nport=COM5\r\ndev_nom=9\r\n");
    ::chmod(program.Path().c_str(), 0755);
    ::chmod(user.Path().c_str(), 0777);
    const std::string config = user.Path() + "config";
    // The program folder is not writable for the ordinary user the round runs as (root, who may
    // write anywhere, runs it as one).
    if (::geteuid() != 0) ::chmod(program.Path().c_str(), 0555);
    EXPECT_EQ(RunUnprivileged([&] { return InstalledCopyRound(program.Path(), config); }), "");
}

}  // namespace
