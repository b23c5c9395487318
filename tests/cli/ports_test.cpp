// vr7lon and the serial ports: "ports" lists them (over a fake sysfs and /dev), and a port that
// disappears under a device command is named as gone.
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "cli/portscommand.h"
#include "cli/vr7lon.h"
#include "link/serialports.h"
#include "tests/cli/support/clitest.h"
#include "tests/common/vanishingdevice.h"

namespace fs = std::filesystem;

namespace {

class PortsCommand : public ::testing::Test {
  protected:
    PortsCommand() {
        env.ports.sysClassTty = dir / "sys";
        env.ports.dev = dir / "dev";
        env.ports.byId = dir / "dev/serial/by-id";
        fs::create_directories(dir / "sys");
        fs::create_directories(dir / "dev/serial/by-id");
    }
    CliResult Run(const std::vector<std::string>& args) {
        std::ostringstream out, err;
        CliResult r;
        r.status = RunVr7lon(args, out, err, env);
        r.out = out.str();
        r.err = err.str();
        return r;
    }
    // An FTDI adapter as ttyUSB0 with its stable name, and a built-in port.
    void TwoPorts() {
        const fs::path usb = dir / "sys/devices/usb1/1-2";
        fs::create_directories(usb / "1-2:1.0/ttyUSB0");
        for (auto [name, value] : {std::pair{"idVendor", "0403"},
                                   {"idProduct", "6001"},
                                   {"manufacturer", "FTDI"},
                                   {"product", "FT232R USB UART"},
                                   {"serial", "A50285BI"}})
            std::ofstream(usb / name) << value << "\n";
        fs::create_directory_symlink("../../../bus/usb-serial/drivers/ftdi_sio",
                                     usb / "1-2:1.0/ttyUSB0/driver");
        fs::create_directories(dir / "sys/ttyUSB0");
        fs::create_directory_symlink(usb / "1-2:1.0/ttyUSB0", dir / "sys/ttyUSB0/device");
        std::ofstream(dir / "dev/ttyUSB0");
        fs::create_symlink("../../ttyUSB0", dir / "dev/serial/by-id/usb-FTDI_A50285BI-if00-port0");

        const fs::path uart = dir / "sys/devices/platform/serial8250";
        fs::create_directories(uart);
        fs::create_directory_symlink("../../../bus/platform/drivers/serial8250", uart / "driver");
        fs::create_directories(dir / "sys/ttyS0");
        fs::create_directory_symlink(uart, dir / "sys/ttyS0/device");
        std::ofstream(dir / "sys/ttyS0/type") << "4\n";
        std::ofstream(dir / "dev/ttyS0");
    }

    TempDir dir;
    CliEnvironment env;
};

TEST_F(PortsCommand, OneLineAPortWithItsStableName) {
    TwoPorts();
    const CliResult r = Run({"ports"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, dir / "dev/ttyS0" + "  driver serial8250\n" + dir / "dev/ttyUSB0" +
                         "  FT232R USB UART by FTDI, driver ftdi_sio, USB 0403:6001, serial "
                         "A50285BI, stable name " +
                         dir / "dev/serial/by-id/usb-FTDI_A50285BI-if00-port0" + "\n");
}

TEST_F(PortsCommand, JsonHasEveryFieldWithNullForWhatIsUnknown) {
    TwoPorts();
    const CliResult r = Run({"ports", "--json"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "{\n  \"schema\": 1,\n  \"ports\": [\n    {\n      \"path\": \"" +
                         dir / "dev/ttyS0" +
                         "\",\n      \"by_id\": null,\n      \"driver\": \"serial8250\",\n"
                         "      \"vendor\": null,\n      \"product\": null,\n"
                         "      \"usb_id\": null,\n      \"serial\": null\n    },\n"
                         "    {\n      \"path\": \"" +
                         dir / "dev/ttyUSB0" + "\",\n      \"by_id\": \"" +
                         dir / "dev/serial/by-id/usb-FTDI_A50285BI-if00-port0" +
                         "\",\n      \"driver\": \"ftdi_sio\",\n      \"vendor\": \"FTDI\",\n"
                         "      \"product\": \"FT232R USB UART\",\n"
                         "      \"usb_id\": \"0403:6001\",\n      \"serial\": \"A50285BI\"\n"
                         "    }\n  ]\n}\n");
}

TEST_F(PortsCommand, NoPortIsSaidAndIsNoFailure) {
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out;
    } cases[] = {
        {{"ports"}, 0, "no serial port found\n"},
        {{"ports", "--json"}, 0, "{\n  \"schema\": 1,\n  \"ports\": []\n}\n"},
        {{"ports", "extra"}, 64, ""},
    };
    for (const auto& c : cases) {
        const CliResult r = Run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.back();
        EXPECT_EQ(r.out, c.out) << c.args.back();
    }
    const CliResult help = Run({"ports", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: vr7lon ports [--json]"), std::string::npos);
}

TEST(PortsDescription, SaysWhatIsKnownInOrder) {
    SerialPortInfo port;
    EXPECT_EQ(PortDescription(port), "nothing known of it");
    port.product = "Uno";
    port.driver = "cdc_acm";
    port.usbId = "2341:0043";
    EXPECT_EQ(PortDescription(port), "Uno, driver cdc_acm, USB 2341:0043");
}

// The window's message and the result that names the vanished port, when the adapter is pulled
// out while the tree is read.
TEST(PortGone, DeviceTreeSaysThePortDisappeared) {
    TempDir work;
    VanishingDevice device(DemoSimDevice(), cmdReadEntry, 3);
    ASSERT_FALSE(device.Path().empty());
    const CliResult r = RunCli({"device", "--port", device.Path(), "--speed", "115200", "--number",
                                "12", "tree", "--catalog", kDemoCatalogue},
                               work.Path());
    EXPECT_EQ(r.status, 4);
    const std::string gone = U(usertext::SerialPortGone(device.Path()));
    EXPECT_EQ(r.err, "vr7lon: " + U(usertext::NotConnected()) + "\n" + gone +
                         "\nvr7lon: result 1020: the port disappeared (adapter unplugged?): "
                         "Input/output error\nvr7lon: " +
                         gone + "\n");
}

}  // namespace
