// A serial port that does not open says why, in words a Linux user can act on, on a second line
// under the window's "VR-7 не подключен!!!".
#include <gtest/gtest.h>

#include "app/messages.h"
#include "device/devicecommands.h"
#include "gateway/snvtlist.h"
#include "link/connection.h"
#include "link/serialports.h"
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
        EXPECT_EQ(texts[0], usertext::NotConnected().bytes() + "\n" + c.second);
    }
    EXPECT_EQ(ReadBytes(file), "x");  // nothing was written into what is no port
}

TEST(SerialPortProblem, PermissionNamesTheGroupAndOtherErrorsTheSystemsText) {
    EXPECT_NE(usertext::SerialPortProblem("/dev/ttyS0", EACCES).bytes().find("dialout"),
              std::string::npos);
    EXPECT_EQ(usertext::SerialPortProblem("/dev/ttyS0", EIO).bytes(),
              W("Порт /dev/ttyS0: ошибка открытия: ") + "Input/output error");
}

TEST(SerialPortToolTip, SaysWhatTheSystemKnowsAndTheStableName) {
    SerialPortInfo ftdi{"/dev/ttyUSB0",    "/dev/serial/by-id/usb-FTDI-if00-port0",
                        "ftdi_sio",        "FTDI",
                        "FT232R USB UART", "0403:6001",
                        "A50285BI"};
    SerialPortInfo uart{"/dev/ttyS0", "", "serial8250", "", "", "", ""};
    SerialPortInfo unknown{"/dev/ttyUSB3", "", "", "", "", "", ""};
    const std::string details =
        "FT232R USB UART (FTDI), драйвер ftdi_sio, USB 0403:6001, серийный номер A50285BI";
    const struct {
        const SerialPortInfo& port;
        bool stableItem;
        std::string tip;
    } cases[] = {
        {ftdi, false,
         details + "\nПостоянное имя: /dev/serial/by-id/usb-FTDI-if00-port0 (не меняется при "
                   "переподключении адаптеров; его и стоит выбрать)."},
        {ftdi, true,
         details + "\nСейчас это /dev/ttyUSB0; постоянное имя не меняется при переподключении "
                   "адаптеров."},
        {uart, false, "драйвер serial8250"},
        {unknown, false, "Система не сообщает сведений о порте"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(usertext::SerialPortToolTip(c.port, c.stableItem), c.tip) << c.port.path;
}

}  // namespace
