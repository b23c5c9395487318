// A serial adapter pulled out in the middle of a download: the read ends at once with the port
// named as gone, the local duxgate.cfg stays as it was, and the next command, once the adapter is
// back, works over the same connection.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "app/messages.h"
#include "device/devicecommands.h"
#include "gateway/snvtlist.h"
#include "optlist/xmldocument.h"
#include "tests/common/commandtext.h"
#include "tests/common/simpeer.h"
#include "tests/common/tempdir.h"
#include "tests/common/vanishingdevice.h"

namespace {

const char kEarlier[] = "F 40001 1t1                    105 1t1f 83\r\nB\r\n";

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Messages : IMessageSink {
    void ShowMessage(const Cp1251String& text) override { texts.push_back(text.bytes()); }
    std::vector<std::string> texts;
};

TEST(PortDisappears, MidDownloadEndsAtOnceKeepsTheLocalFileAndTheNextCommandWorks) {
    TempDir work;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(work.Path());
    work.Write(kDownloadFileName, kEarlier);

    SimDevice device = DemoSimDevice();
    std::string big;
    for (int i = 0; i < 120; ++i) big += kEarlier;  // several blocks
    device.files[kDownloadFileName].assign(big.begin(), big.end());

    connection conn;
    conn.Timings = kTestTimings;
    // A block is waited for far longer than the test may take: a read that took the hung-up
    // line for silence would show.
    conn.Timings.block = {1, 60000};
    conn.Speed = 115200;
    uint32_t number = device.number;
    XmlDocument catalogue;
    SnvtList list(catalogue);
    {
        VanishingDevice vanishing(device, cmdReadBlock, 2);
        ASSERT_FALSE(vanishing.Path().empty());
        conn.PortName = vanishing.Path();
        Messages messages;
        CfgTree tree;
        const auto start = std::chrono::steady_clock::now();
        const DeviceReadResult r =
            Shown(ReadFromDevice({conn, number}, tree, list, nullptr, nullptr), messages);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
        EXPECT_TRUE(vanishing.Vanished());
        EXPECT_EQ(r.outcome, DeviceReadOutcome::Read);
        EXPECT_EQ(r.download, GatewayDownload::Broken);
        EXPECT_EQ(conn.LastFailedExchange(), lr::SystemError);
        EXPECT_EQ(conn.SystemErrorNumber(), EIO);
        EXPECT_EQ(messages.texts,
                  std::vector<std::string>{usertext::NotConnected().bytes() + "\n" +
                                           usertext::SerialPortGone(vanishing.Path()).bytes()});
        EXPECT_EQ(ReadAll(kDownloadFileName), kEarlier);
        EXPECT_EQ(list.RowCount(), 0u);
    }
    {
        // The adapter is back (the kernel may give it another name): the same connection reads.
        SimPeer back;
        ASSERT_TRUE(back.Start(device, Transport::Pty));
        conn.PortName = back.server->PtyPath();
        Messages messages;
        CfgTree tree;
        const DeviceReadResult r =
            Shown(ReadFromDevice({conn, number}, tree, list, nullptr, nullptr), messages);
        EXPECT_EQ(r.outcome, DeviceReadOutcome::Read);
        EXPECT_EQ(r.download, GatewayDownload::Loaded);
        EXPECT_TRUE(messages.texts.empty());
        EXPECT_EQ(ReadAll(kDownloadFileName), big);
    }
    std::filesystem::current_path(previous);
}

}  // namespace
