#include "connectionsettings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "connection.h"
#include "tempdir.h"
#include "testtext.h"

namespace {

const char kLegacy[] =
    "[CONNECTION]\r\nport=COM3\r\nIP=10.0.0.7\r\nTCPIPport=2000\r\nspeed=19200\r\n";

TEST(ConnectionSettings, WithoutFilesTheDefaultsHold) {
    TempDir dir;
    connection conn;
    LoadConnectionSettings(conn, dir.Path());
    EXPECT_EQ(conn.PortName, "COM1");
    EXPECT_EQ(conn.IpAddress, "192.168.0.1");
    EXPECT_EQ(conn.TcpIpPort, "10001");
    EXPECT_EQ(conn.Speed, 115200u);
}

TEST(ConnectionSettings, AnInstallationWithOnlyTheOlderFileKeepsItsSettings) {
    TempDir dir;
    dir.Write("vr7CfgUpdate.ini", kLegacy);
    // The device number alone does not make the newer file the settings' home.
    dir.Write("Vr7LonCfgMaker.ini", "[CONNECTION]\r\ndev_nom=5\r\n");
    connection conn;
    LoadConnectionSettings(conn, dir.Path());
    EXPECT_EQ(conn.PortName, "COM3");
    EXPECT_EQ(conn.IpAddress, "10.0.0.7");
    EXPECT_EQ(conn.TcpIpPort, "2000");
    EXPECT_EQ(conn.Speed, 19200u);
}

TEST(ConnectionSettings, SavedSettingsWinOverTheOlderFileAfterARestart) {
    TempDir dir;
    dir.Write("vr7CfgUpdate.ini", kLegacy);
    {
        connection conn;
        LoadConnectionSettings(conn, dir.Path());
        conn.PortName = "TCP/IP";
        conn.IpAddress = "127.0.0.1";
        conn.TcpIpPort = "4001";
        conn.Speed = 57600;
        SaveConnectionSettings(conn, dir.Path());
        SaveDeviceNumber(dir.Path(), 77);
    }
    // The next start of the program.
    connection conn;
    LoadConnectionSettings(conn, dir.Path());
    EXPECT_EQ(conn.PortName, "TCP/IP");
    EXPECT_EQ(conn.IpAddress, "127.0.0.1");
    EXPECT_EQ(conn.TcpIpPort, "4001");
    EXPECT_EQ(conn.Speed, 57600u);
    EXPECT_EQ(LoadDeviceNumber(dir.Path()), 77u);
    // The older file is left as it was.
    EXPECT_EQ(ReadBytes(dir / "vr7CfgUpdate.ini"), kLegacy);
}

TEST(ConnectionSettings, TheChosenFileIsTakenWholeAndTheKeyIsFoundIgnoringCase) {
    TempDir dir;
    dir.Write("vr7CfgUpdate.ini", kLegacy);
    dir.Write("Vr7LonCfgMaker.ini", "[connection]\r\nPORT = /dev/ttyUSB0\r\n");
    EXPECT_EQ(ConnectionSettingsSource(dir.Path()), dir / "Vr7LonCfgMaker.ini");
    connection conn;
    LoadConnectionSettings(conn, dir.Path());
    EXPECT_EQ(conn.PortName, "/dev/ttyUSB0");
    // Not mixed with the older file's values.
    EXPECT_EQ(conn.IpAddress, "192.168.0.1");
    EXPECT_EQ(conn.Speed, 115200u);
}

TEST(ConnectionSettings, AnEmptyPortStillMarksTheNewerFile) {
    TempDir dir;
    dir.Write("vr7CfgUpdate.ini", kLegacy);
    dir.Write("Vr7LonCfgMaker.ini", "[CONNECTION]\r\nport=\r\n");
    EXPECT_EQ(ConnectionSettingsSource(dir.Path()), dir / "Vr7LonCfgMaker.ini");
}

TEST(DeviceNumberSetting, DefaultsToOneAndRoundTripsEveryUnsignedValue) {
    TempDir dir;
    EXPECT_EQ(LoadDeviceNumber(dir.Path()), 1u);
    SaveDeviceNumber(dir.Path(), 4294967295u);
    EXPECT_EQ(LoadDeviceNumber(dir.Path()), 4294967295u);
    EXPECT_NE(ReadBytes(dir / "Vr7LonCfgMaker.ini").find("dev_nom=4294967295\r\n"),
              std::string::npos);
    SaveDeviceNumber(dir.Path(), 0);
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

    SaveDeviceNumber(programDir, 3);
    EXPECT_EQ(ReadBytes(dir / "Vr7LonCfgMaker.ini"), "[CONNECTION]\r\nport=COM2\r\ndev_nom=3\r\n");
}

}  // namespace
