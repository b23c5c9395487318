#include "serialports.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class SerialPortsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("vr7ports_" + std::to_string(::getpid()));
        fs::create_directories(root_ / "sys");
        fs::create_directories(root_ / "dev");
    }
    void TearDown() override { fs::remove_all(root_); }

    // A tty as sysfs shows it: with a "device" link when hardware is behind it, and a "type"
    // file when it belongs to the serial core; and its node in /dev.
    void Tty(const std::string& name, bool hasDevice, const char* type = nullptr,
             bool hasNode = true) {
        const fs::path entry = root_ / "sys" / name;
        fs::create_directories(entry);
        if (hasDevice) fs::create_directories(entry / "device");
        if (type != nullptr) std::ofstream(entry / "type") << type << "\n";
        if (hasNode) std::ofstream(root_ / "dev" / name);
    }
    std::vector<std::string> List() {
        return ListSerialPorts((root_ / "sys").string(), (root_ / "dev").string());
    }
    std::string Dev(const std::string& name) { return (root_ / "dev" / name).string(); }

    fs::path root_;
};

TEST_F(SerialPortsTest, ListsPortsWithHardwareInNumericOrder) {
    Tty("ttyS0", true, "4");
    Tty("ttyS1", true, "0");  // no UART behind it
    Tty("ttyS10", true, "4");
    Tty("ttyS2", true, "4");
    Tty("ttyUSB0", true);
    Tty("ttyACM1", true);
    Tty("tty1", false);                    // a virtual console
    Tty("ttyUSB3", true, nullptr, false);  // gone from /dev
    EXPECT_EQ(List(), (std::vector<std::string>{Dev("ttyACM1"), Dev("ttyS0"), Dev("ttyS2"),
                                                Dev("ttyS10"), Dev("ttyUSB0")}));
}

TEST_F(SerialPortsTest, FindsUsbAdaptersWithoutSysfs) {
    std::ofstream(root_ / "dev" / "ttyUSB1");
    std::ofstream(root_ / "dev" / "ttyACM0");
    std::ofstream(root_ / "dev" / "ttyS0");  // cannot tell whether a UART is behind it
    EXPECT_EQ(ListSerialPorts((root_ / "nosys").string(), (root_ / "dev").string()),
              (std::vector<std::string>{Dev("ttyACM0"), Dev("ttyUSB1")}));
}

}  // namespace
