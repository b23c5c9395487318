// The device commands name an out-of-range TCP port setting instead of saying "not connected".
#include <gtest/gtest.h>

#include "app/messages.h"
#include "base/cp1251.h"
#include "device/devicecommands.h"
#include "gateway/snvtlist.h"
#include "link/connection.h"
#include "optlist/xmldocument.h"
#include "tests/common/commandtext.h"

namespace {

struct Messages : IMessageSink {
    void ShowMessage(const Cp1251String& text) override { texts.push_back(text.bytes()); }
    std::vector<std::string> texts;
};

TEST(LinkRefusals, OutOfRangeTcpPortIsNamedWithItsSetting) {
    connection conn;
    conn.PortName = "TCP/IP";
    conn.IpAddress = "127.0.0.1";
    conn.TcpIpPort = "75537";
    uint32_t number = 0;
    Messages messages;
    XmlDocument catalogue;
    SnvtList list(catalogue);
    CfgTree tree;
    const DeviceReadResult r =
        Shown(ReadFromDevice({conn, number}, tree, list, &catalogue, nullptr), messages);
    EXPECT_EQ(r.outcome, DeviceReadOutcome::NotConnected);
    EXPECT_EQ(r.code, lr::BadTcpPort);
    EXPECT_EQ(
        messages.texts,
        std::vector<std::string>{
            (usertext::TcpPortOutOfRange("75537") + '\n' + usertext::FixTcpPortStep()).bytes()});
    EXPECT_EQ(usertext::CommandMessageText(LinkFailureMessage(conn, lr::NotOpen)),
              usertext::NotConnected());
}

}  // namespace
