// The Win32 serial link against the Linux simulator under Wine: each port named in
// VR7_TEST_COM_PORTS ("COM5:9600:11,COM6:115200:12": port, the simulator's paced speed, its
// device number) is a link in the Wine prefix's dosdevices to a pseudo-terminal of a vr7sim
// --pty --pace SPEED (tests/link/comport_wine.sh starts them).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "link/comlink.h"
#include "link/connection.h"
#include "link/vr7prot.h"

namespace {

struct Port {
    std::string name;
    uint32_t speed = 0;
    uint32_t number = 0;
};

std::vector<Port> PortsFromEnvironment() {
    std::vector<Port> ports;
    const char* text = std::getenv("VR7_TEST_COM_PORTS");
    std::stringstream all(text != nullptr ? text : "");
    std::string item;
    while (std::getline(all, item, ',')) {
        Port p;
        std::stringstream fields(item);
        std::string speed, number;
        std::getline(fields, p.name, ':');
        std::getline(fields, speed, ':');
        std::getline(fields, number, ':');
        p.speed = static_cast<uint32_t>(std::stoul(speed));
        p.number = static_cast<uint32_t>(std::stoul(number));
        ports.push_back(p);
    }
    return ports;
}

// Bytes no two blocks share, so that a block read twice or out of place shows.
std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
    return bytes;
}

class ComPortUnderWine : public ::testing::TestWithParam<size_t> {
  protected:
    void SetUp() override {
        ports_ = PortsFromEnvironment();
        ASSERT_FALSE(ports_.empty()) << "VR7_TEST_COM_PORTS names no port: run comport_wine.sh";
    }
    std::vector<Port> ports_;
};

// Identification, then a file of 3 blocks and a bit written and read back: every byte compared,
// on each port at its speed. The answer's wait starts when the request has left the line, so the
// real timings hold at 9600 Bd too.
TEST_F(ComPortUnderWine, IdentifiesAndCarriesAFileBothWaysAtTheLinesSpeed) {
    for (const Port& port : ports_) {
        SCOPED_TRACE(port.name + " at " + std::to_string(port.speed) + " Bd");
        connection conn;
        ASSERT_EQ(conn.OpenComLink(port.name, port.speed), lr::Ok);
        DeviceInfo info{};
        ASSERT_EQ(ReadDeviceInfo(conn, AnyDeviceAddress, info), lr::Ok);
        EXPECT_EQ(info.DeviceNumber(), port.number);

        const std::string sent = Pattern(3 * static_cast<size_t>(kMaxBlockFileBytes) + 17);
        std::istringstream src(sent);
        ASSERT_EQ(WriteDeviceFile(conn, port.number, &src, "wine.bin", nullptr), lr::Ok);
        std::ostringstream back;
        ASSERT_EQ(ReadDeviceFile(conn, port.number, &back, "wine.bin", nullptr), lr::Ok);
        EXPECT_TRUE(back.str() == sent) << "the file came back with " << back.str().size()
                                        << " bytes, not the " << sent.size() << " sent";
    }
}

// A COM port is one program's at a time: a second open is refused while the first holds it,
// and succeeds once it has let go. (Wine itself would let the second one in.)
TEST_F(ComPortUnderWine, SecondOpenOfAPortIsRefusedUntilTheFirstLetsGo) {
    const Port& port = ports_.front();
    CComLink first(port.name, port.speed), second(port.name, port.speed);
    ASSERT_EQ(first.Open(true), lr::Ok);
    EXPECT_EQ(second.Open(true), lr::NotOpen);
    EXPECT_FALSE(second.IsOpen());
    ASSERT_EQ(first.Open(false), lr::Ok);
    EXPECT_EQ(second.Open(true), lr::Ok);
}

// Silence ends a read at its timeout with what came (nothing), not with a failure; a purge of
// the input answers 1.
TEST_F(ComPortUnderWine, SilentLineEndsAReadAtItsTimeoutWithNothing) {
    const Port& port = ports_.front();
    CComLink link(port.name, port.speed);
    ASSERT_EQ(link.Open(true), lr::Ok);
    EXPECT_EQ(link.Purge(kPurgeInput), 1);
    uint8_t byte = 0;
    int got = -1;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(link.Read(&byte, 1, &got, 200), lr::Ok);
    EXPECT_EQ(got, 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
}

TEST(ComPortNames, ComNamesOpenByTheirDevicePathInAnyCase) {
    EXPECT_EQ(CComLink::DevicePath("COM5"), "\\\\.\\COM5");
    EXPECT_EQ(CComLink::DevicePath("com12"), "\\\\.\\COM12");
    EXPECT_EQ(CComLink::DevicePath("COM0"), "COM0");
    EXPECT_EQ(CComLink::DevicePath("\\\\.\\COM7"), "\\\\.\\COM7");
}

}  // namespace
