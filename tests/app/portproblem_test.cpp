// A serial port that does not open says why, in words a Linux user can act on, on a second line
// under the window's "VR-7 не подключен!!!".
#include <gtest/gtest.h>

#include "connection.h"
#include "devicecommands.h"
#include "messages.h"
#include "simpeer.h"
#include "snvtlist.h"
#include "tempdir.h"
#include "testtext.h"

namespace {

struct Messages : IMessageSink {
    void ShowMessage(const std::string& text) override { texts.push_back(text); }
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
    CSnvtList list(catalogue);
    CfgTree tree;
    const DeviceReadResult r =
        ReadFromDevice({conn, number, messages}, tree, list, nullptr, nullptr);
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
        {dir / "ttyNONE", W("Порт ") + dir / "ttyNONE" +
                              W(": такого устройства нет (проверьте имя порта и подключение "
                                "адаптера).")},
        {file, W("Порт ") + file + W(": это не последовательный порт.")},
        {held.server->PtyPath(),
         W("Порт ") + held.server->PtyPath() + W(": занят другой программой.")},
    };
    for (const Case& c : cases) {
        const auto texts = ReadMessages(c.port);
        ASSERT_EQ(texts.size(), 1u) << c.port;
        EXPECT_EQ(texts[0], usertext::NotConnected() + "\n" + c.second);
    }
    EXPECT_EQ(ReadBytes(file), "x");  // nothing was written into what is no port
}

TEST(SerialPortProblem, PermissionNamesTheGroupAndOtherErrorsTheSystemsText) {
    EXPECT_NE(usertext::SerialPortProblem("/dev/ttyS0", EACCES).find("dialout"), std::string::npos);
    EXPECT_EQ(usertext::SerialPortProblem("/dev/ttyS0", EIO),
              W("Порт /dev/ttyS0: ошибка открытия: ") + "Input/output error");
}

}  // namespace
