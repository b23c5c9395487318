// A cancel request stops a connection's exchanges before they begin: the request is never
// written, the device sees nothing, and the connection works again once the request is cleared.
#include <gtest/gtest.h>

#include "link/vr7prot.h"
#include "tests/common/simpeer.h"

namespace {

class CancelTest : public ::testing::TestWithParam<Transport> {};

TEST_P(CancelTest, TransactAfterRequestCancelReturnsCancelledWithoutWriting) {
    SimConnection device(DemoSimDevice());
    ASSERT_EQ(device.Open(GetParam()), lr::Ok);
    DeviceInfo info;
    ASSERT_EQ(ReadDeviceInfo(device.conn, 12, info), lr::Ok);
    const size_t before = device.server->Requests().size();

    device.conn.RequestCancel();
    EXPECT_TRUE(device.conn.CancelRequested());
    EXPECT_EQ(lr::Cancelled, 1021);
    EXPECT_EQ(ReadDeviceInfo(device.conn, 12, info), lr::Cancelled);
    EXPECT_EQ(device.server->Requests().size(), before);

    // The request stays through a new link until it is cleared.
    device.conn.Close();
    ASSERT_EQ(device.SimPeer::Open(device.conn), lr::Ok);
    EXPECT_EQ(ReadDeviceInfo(device.conn, 12, info), lr::Cancelled);
    device.conn.ClearCancel();
    EXPECT_EQ(ReadDeviceInfo(device.conn, 12, info), lr::Ok);
    EXPECT_EQ(device.server->Requests().size(), before + 1);
}

INSTANTIATE_TEST_SUITE_P(Transports, CancelTest, ::testing::Values(Transport::Tcp, Transport::Pty),
                         [](const auto& info) { return TransportName(info.param); });

}  // namespace
