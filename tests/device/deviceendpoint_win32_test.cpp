// A device's endpoint on Windows: COM ports by their names, whatever their case.
#include "device/deviceendpoint.h"

#include <gtest/gtest.h>

#include "link/connectionkeys.h"

namespace {

DeviceEndpoint Serial(const std::string& port) {
    DeviceEndpoint e;
    e.port = port;
    e.speed = 9600;
    e.number = 3;
    return e;
}

TEST(WindowsEndpoint, AComPortIsOneLineInAnyCase) {
    EXPECT_EQ(Serial("com7").Key(), Serial("COM7").Key());
    EXPECT_EQ(Serial("COM12").Key(), "\\\\.\\COM12");
    EXPECT_EQ(Serial("com7").LineName(), "serial-COM7");
    EXPECT_EQ(Serial("\\\\.\\com12").LineName(), "serial-COM12");
    EXPECT_EQ(Serial("COM7").Places(), std::vector<std::string>{"\\\\.\\COM7"});
}

TEST(WindowsEndpoint, AddressesNameTheirLineInTheUsualForm) {
    DeviceEndpoint e;
    e.port = connkeys::kTcpIpPortName;
    e.tcpPort = "010001";
    for (const char* ip : {"127.1", "127.0.0.1", "127.000.000.001"}) {
        e.ip = ip;
        EXPECT_EQ(e.LineName(), "tcp-127.0.0.1-10001") << ip;
        EXPECT_EQ(e.Places(), std::vector<std::string>{"127.0.0.1 10001"}) << ip;
    }
    e.ip = "255.255.255.255";
    EXPECT_EQ(e.LineName(), "tcp-255.255.255.255-10001");
    e.ip = "Gateway.Local";
    EXPECT_EQ(e.LineName(), "tcp-gateway.local-10001");
}

}  // namespace
