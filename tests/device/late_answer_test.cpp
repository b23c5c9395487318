// A device that is busy for a moment answers one request late, after the system has given up on
// it and asked again; the answers carry no request number. Whatever the delay, a tree read, a
// download and an upload end exact or fail: never a tree, a file or a block built from another
// request's answer.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "device/devicecommands.h"
#include "link/vr7prot.h"
#include "tests/common/simpeer.h"
#include "tests/common/testtimings.h"
#include "tests/common/wiredevice.h"

namespace {

enum class Late { Entry, DownloadBlock, UploadBlock, ClosingBlock };

const char* LateName(Late late) {
    switch (late) {
        case Late::Entry:
            return "entry";
        case Late::DownloadBlock:
            return "download block";
        case Late::UploadBlock:
            return "upload block";
        case Late::ClosingBlock:
            return "closing block";
    }
    return "";
}

constexpr int kEntries = 30;
constexpr int kLateEntry = 9;
constexpr size_t kFileSize = 2500;  // three blocks
constexpr unsigned kBaud = 115200;

class LateAnswers : public ::testing::TestWithParam<Transport> {
  protected:
    // Serves the device with the fault (one answer late), and points the connection at it.
    void Serve(const SimFault& fault) {
        device_ = WireDevice(kEntries);
        device_.files["d"] = WirePattern(kFileSize, 5);
        server_ = std::make_unique<SimServer>(device_);
        server_->SetFaults({fault});
        if (GetParam() == Transport::Pty) {
            ASSERT_TRUE(StartPaced(*server_, kBaud));
            PointAtPacedPty(conn_, *server_, kBaud);
        } else {
            std::string error;
            ASSERT_TRUE(server_->Start(SimEndpoints{}, &error)) << error;
            conn_.PortName = "TCP/IP";
            conn_.IpAddress = "127.0.0.1";
            conn_.TcpIpPort = std::to_string(server_->TcpPort());
        }
        conn_.Timings = kTestTimings;
    }

    SimDevice device_;
    std::unique_ptr<SimServer> server_;
    connection conn_;
};

TEST_P(LateAnswers, EndExactOrFailNeverShifted) {
    const LinkTimings& t = kTestTimings;
    const std::vector<uint8_t> upload = WirePattern(kFileSize, 9);
    const int dataBlocks = static_cast<int>((kFileSize + kMaxFrameData - 1) / kMaxFrameData);
    const std::vector<std::string> expectedTree = ExpectedTreeTexts(WireDevice(kEntries));

    for (Late late : {Late::Entry, Late::DownloadBlock, Late::UploadBlock, Late::ClosingBlock}) {
        for (double factor : {1.1, 1.5, 2.0, 4.0}) {
            SCOPED_TRACE(std::string(LateName(late)) + " late by " + std::to_string(factor) +
                         " x its wait");
            // The time an attempt waits for the answer: its timeout plus the link's allowance,
            // which over TCP/IP is larger than the timeout itself.
            const unsigned timeout =
                (late == Late::Entry ? t.config.timeoutMs : t.block.timeoutMs) +
                (GetParam() == Transport::Tcp ? t.tcpReadExtraMs : 0);
            SimFault fault;
            fault.kind = SimFaultKind::Late;
            fault.value = static_cast<int>(factor * timeout);
            switch (late) {
                case Late::Entry:
                    fault.command = cmdReadEntry;
                    fault.entry = kLateEntry;
                    break;
                case Late::DownloadBlock:
                    fault.command = cmdReadBlock;
                    fault.skip = 1;
                    break;
                case Late::UploadBlock:
                    fault.command = cmdWriteBlock;
                    fault.skip = 1;
                    break;
                case Late::ClosingBlock:
                    fault.command = cmdWriteBlock;
                    fault.skip = dataBlocks;
                    break;
            }
            Serve(fault);
            connection::OpenedLink open(conn_);

            // Each cell ends exact or fails; which of the two depends on how the delay falls
            // against the retries, except where noted.
            if (late == Late::Entry) {
                // The tree read asks again for an entry that failed: it recovers every time.
                CfgTree tree;
                EXPECT_EQ(ReadDeviceTree(conn_, kWireDeviceNumber, tree, nullptr, nullptr),
                          TreeBuild::Complete);
                EXPECT_EQ(TreeTexts(tree), expectedTree);
            } else if (late == Late::DownloadBlock) {
                // A lost block answer is asked for again: the download recovers every time.
                std::ostringstream got;
                EXPECT_EQ(ReadDeviceFile(conn_, kWireDeviceNumber, &got, "d", nullptr), lr::Ok);
                EXPECT_TRUE(got.str() == AsString(device_.files["d"]));
            } else {
                // A block has one attempt: a block answered too late fails the upload.
                std::istringstream src(AsString(upload));
                const LinkResult r = WriteDeviceFile(conn_, kWireDeviceNumber, &src, "u", nullptr);
                std::vector<uint8_t> stored;
                if (r == lr::Ok) {
                    EXPECT_TRUE(server_->File("u", stored) && stored == upload);
                }
            }
            server_->Stop();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(OverTcpAndAPacedLine, LateAnswers,
                         ::testing::Values(Transport::Tcp, Transport::Pty),
                         [](const auto& info) { return TransportName(info.param); });

}  // namespace
