// A serial port that does not open says why, in words a Linux user can act on, on a second line
// under the window's message that the device is not connected.
#include <gtest/gtest.h>

#include "app/messages.h"
#include "device/devicecommands.h"
#include "gateway/snvtlist.h"
#include "link/connection.h"
#include "tests/common/commandtext.h"
#include "tests/common/simpeer.h"
#include "tests/common/tempdir.h"
#include "tests/common/testtext.h"

namespace {

struct Messages : IMessageSink {
    void ShowMessage(const Cp1251String& text) override { texts.push_back(text.bytes()); }
    std::vector<std::string> texts;
};

// The message a read from the device shows when its port is portName.
std::vector<std::string> ReadMessages(const std::string& portName) {
    connection conn;
    conn.Timings = kTestTimings;
    conn.PortName = portName;
    conn.Speed = 115200;
    uint32_t number = 12;
    Messages messages;
    XmlDocument catalogue;
    SnvtList list(catalogue);
    CfgTree tree;
    const DeviceReadResult r =
        Shown(ReadFromDevice({conn, number}, tree, list, nullptr, nullptr), messages);
    EXPECT_EQ(r.outcome, DeviceReadOutcome::NotConnected);
    return messages.texts;
}

TEST(SerialPortProblem, EachCauseHasItsOwnLine) {
    TempDir dir;
    const std::string file = dir.Write("not-a-port", "x");
    SimPeer held;  // a pty another program has open
    ASSERT_TRUE(held.Start(SimDevice{}, Transport::Pty));
    connection holder;
    ASSERT_EQ(holder.OpenComLink(held.server->PtyPath(), 115200), lr::Ok);

    struct Case {
        std::string port;
        std::string second;
    } cases[] = {
        {dir / "ttyNONE", usertext::SerialPortProblem(dir / "ttyNONE", ENOENT).bytes()},
        {file, usertext::SerialPortProblem(file, ENOTTY).bytes()},
        {held.server->PtyPath(),
         usertext::SerialPortProblem(held.server->PtyPath(), EBUSY).bytes()},
    };
    for (const Case& c : cases) {
        const auto texts = ReadMessages(c.port);
        ASSERT_EQ(texts.size(), 1u) << c.port;
        EXPECT_EQ(texts[0], usertext::NotConnected().bytes() + "\n" + c.second);
    }
    EXPECT_EQ(ReadBytes(file), "x");  // nothing was written into what is no port
}

}  // namespace
