#include "link/serialports.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

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
    // The device paths of the ports found under the fake roots (no stable names).
    std::vector<std::string> List(const char* sys = "sys") {
        std::vector<std::string> paths;
        for (const SerialPortInfo& port : DescribeSerialPorts(
                 {(root_ / sys).string(), (root_ / "dev").string(), (root_ / "nobyid").string()}))
            paths.push_back(port.path);
        return paths;
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
    EXPECT_EQ(List("nosys"), (std::vector<std::string>{Dev("ttyACM0"), Dev("ttyUSB1")}));
}

// A fake sysfs and /dev as a machine with two built-in ports and two USB adapters has them.
class DescribedPortsTest : public SerialPortsTest {
  protected:
    fs::path Devices() { return root_ / "sys" / "devices"; }
    // A sysfs object: a folder with a driver link naming the driver's bus, and attribute files.
    fs::path Object(const fs::path& dir, const char* bus = nullptr, const char* driver = nullptr,
                    std::map<std::string, std::string> attributes = {}) {
        fs::create_directories(dir);
        if (bus != nullptr)
            fs::create_directory_symlink(fs::path("../../../bus") / bus / "drivers" / driver,
                                         dir / "driver");
        for (const auto& [name, value] : attributes) std::ofstream(dir / name) << value << "\n";
        return dir;
    }
    // /sys/class/tty/NAME with its device link, and its node in /dev.
    void ClassTty(const std::string& name, const fs::path& device) {
        fs::create_directories(root_ / "sys" / name);
        fs::create_directory_symlink(device, root_ / "sys" / name / "device");
        std::ofstream(root_ / "dev" / name);
    }
    void ById(const std::string& name, const std::string& target) {
        fs::create_directories(root_ / "dev" / "serial" / "by-id");
        fs::create_symlink(target, root_ / "dev" / "serial" / "by-id" / name);
    }
    std::vector<SerialPortInfo> Describe() {
        SerialPortRoots roots;
        roots.sysClassTty = (root_ / "sys").string();
        roots.dev = (root_ / "dev").string();
        roots.byId = (root_ / "dev" / "serial" / "by-id").string();
        return DescribeSerialPorts(roots);
    }
    std::string ById(const std::string& name) {
        return (root_ / "dev" / "serial" / "by-id" / name).string();
    }
};

TEST_F(DescribedPortsTest, SaysWhatSysfsKnowsOfEachPortAndItsStableName) {
    // A PNP UART on a kernel with the serial core's own objects between it and its tty.
    const fs::path pnp = Object(Devices() / "pnp0" / "00:00", "pnp", "serial");
    Object(pnp / "00:00:0", "serial-base", "ctrl");
    ClassTty("ttyS0", Object(pnp / "00:00:0" / "00:00:0.0", "serial-base", "port"));
    std::ofstream(root_ / "sys" / "ttyS0" / "type") << "4\n";
    // A platform UART as older kernels show it.
    ClassTty("ttyS1", Object(Devices() / "platform" / "serial8250", "platform", "serial8250"));
    // An FTDI adapter: USB device, interface, usb-serial port.
    const fs::path ftdi = Object(Devices() / "usb1" / "1-2", "usb", "usb",
                                 {{"idVendor", "0403"},
                                  {"idProduct", "6001"},
                                  {"manufacturer", "FTDI"},
                                  {"product", "FT232R USB UART"},
                                  {"serial", "A50285BI"}});
    Object(ftdi / "1-2:1.0", "usb", "ftdi_sio");
    ClassTty("ttyUSB0", Object(ftdi / "1-2:1.0" / "ttyUSB0", "usb-serial", "ftdi_sio"));
    // A CDC modem without a manufacturer string, its tty on the interface itself.
    const fs::path acm = Object(Devices() / "usb1" / "1-3", "usb", "usb",
                                {{"idVendor", "2341"}, {"idProduct", "0043"}, {"product", "Uno"}});
    ClassTty("ttyACM0", Object(acm / "1-3:1.0", "usb", "cdc_acm"));
    // udev's stable names: the first by name wins, a dangling one is skipped, and one naming a
    // node sysfs did not list adds that port.
    ById("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "../../ttyUSB0");
    ById("usb-later-name-if00-port0", "../../ttyUSB0");
    ById("usb-unplugged-if00-port0", "../../ttyUSB7");
    std::ofstream(root_ / "dev" / "ttyXRUSB0");
    ById("usb-Exar-if00", "../../ttyXRUSB0");

    const std::vector<SerialPortInfo> ports = Describe();
    struct Expected {
        std::string name, byId, driver, vendor, product, usbId, serial;
    } expected[] = {
        {"ttyACM0", "", "cdc_acm", "", "Uno", "2341:0043", ""},
        {"ttyS0", "", "serial", "", "", "", ""},
        {"ttyS1", "", "serial8250", "", "", "", ""},
        {"ttyUSB0", ById("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"), "ftdi_sio", "FTDI",
         "FT232R USB UART", "0403:6001", "A50285BI"},
        {"ttyXRUSB0", ById("usb-Exar-if00"), "", "", "", "", ""},
    };
    ASSERT_EQ(ports.size(), std::size(expected));
    for (size_t i = 0; i < ports.size(); ++i) {
        const Expected& e = expected[i];
        EXPECT_EQ(ports[i].path, Dev(e.name));
        EXPECT_EQ(ports[i].byIdPath, e.byId) << e.name;
        EXPECT_EQ(ports[i].driver, e.driver) << e.name;
        EXPECT_EQ(ports[i].vendor, e.vendor) << e.name;
        EXPECT_EQ(ports[i].product, e.product) << e.name;
        EXPECT_EQ(ports[i].usbId, e.usbId) << e.name;
        EXPECT_EQ(ports[i].serial, e.serial) << e.name;
    }
    // The plain list is the same ports but the one only a stable name knows.
    EXPECT_EQ(List(), (std::vector<std::string>{Dev("ttyACM0"), Dev("ttyS0"), Dev("ttyS1"),
                                                Dev("ttyUSB0")}));
}

TEST_F(DescribedPortsTest, NoPortsNoSysfsNoByIdFolder) {
    SerialPortRoots roots;
    roots.sysClassTty = (root_ / "nosys").string();
    roots.dev = (root_ / "dev").string();
    roots.byId = (root_ / "dev" / "serial" / "by-id").string();
    EXPECT_TRUE(DescribeSerialPorts(roots).empty());
}

}  // namespace
