// A paced pty gives the answers when a serial line at the given speed could have carried them.
#include <gtest/gtest.h>

#include <chrono>

#include "connection.h"
#include "simserver.h"
#include "vr7prot.h"

namespace {

TEST(SimPace, AnAnswerTakesTheWireTimeOfTheRequestAndTheAnswer) {
    SimDevice device;
    device.number = 7;
    SimEndpoints endpoints;
    endpoints.tcp = false;
    endpoints.pty = true;
    endpoints.paceBaud = 9600;
    SimServer server(device);
    ASSERT_TRUE(server.Start(endpoints));
    connection conn;
    ASSERT_EQ(conn.OpenComLink(server.PtyPath(), 9600), lr::Ok);

    // The identification: a 9-byte request and a 46-byte answer, 10 bits a byte at 9600 Bd.
    const auto wire = std::chrono::microseconds((9 + 46) * 10 * 1000000 / 9600);
    DeviceInfo info;
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(ReadDeviceInfo(conn, 7, info), lr::Ok);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, wire);
    EXPECT_EQ(info.DeviceNumber(), 7u);
}

}  // namespace
