// The fault matrix of the device commands the window runs: every misbehaviour of the device during
// the tree read, the download and the upload, over TCP and a pty. After each the command ended
// within the bound the timeouts and attempts give, with that path's message, the link closed, and
// the list, local files and the device's gateway file as before (or as the rules say: a broken
// download empties the list).
#include <algorithm>
#include <chrono>
#include <cstdio>

#include <gtest/gtest.h>

#include "app/messages.h"
#include "device/devicecommands.h"
#include "gateway/gatewayfile.h"
#include "gateway/maxvariables.h"
#include "gateway/snvtlist.h"
#include "link/connection.h"
#include "optlist/xmldocument.h"
#include "tests/common/commandtext.h"
#include "tests/common/devicefaults.h"
#include "tests/common/simpeer.h"
#include "tests/common/tempdir.h"
#include "tests/common/testtext.h"
#include "tests/common/testtimings.h"
#include "tests/gateway/support/listfixture.h"

namespace {

using Clock = std::chrono::steady_clock;

enum class Path { Tree, Download, Upload };

const char* PathName(Path p) {
    return p == Path::Tree ? "tree" : p == Path::Download ? "download" : "upload";
}

struct Cell {
    const char* fault;
    SimFaultKind kind;
    int value;
    Path path;
};

// The faults a device can show, on each path where they mean something.
std::vector<Cell> Cells() {
    std::vector<Cell> cells;
    for (Path path : {Path::Tree, Path::Download, Path::Upload})
        for (const DeviceFault& f : DeviceFaults())
            if (!f.downloadOnly || path == Path::Download)
                cells.push_back({f.name, f.kind, f.value, path});
    return cells;
}

// The longest one attempt of an exchange may take: the purge before it (over TCP/IP input that
// keeps coming holds it up to tcpPurgeMs), then the timeout plus the link's allowance for the
// largest answer.
long AttemptMs(Transport how, const CommandTiming& timing) {
    const LinkTimings& t = kTestTimings;
    if (how == Transport::Tcp) return t.tcpPurgeMs + timing.timeoutMs + t.tcpReadExtraMs;
    return timing.timeoutMs + (static_cast<long>(t.byteUs) * kFrameSize + 999) / 1000;
}

// The worst case of a path: the exchanges a fault can make wait, each with all its attempts.
long BoundMs(Transport how, Path path) {
    const LinkTimings& t = kTestTimings;
    switch (path) {
        case Path::Tree:  // the first entry: five calls of three attempts, then the read stops
            return FailingExchangesMs(5, t.config, AttemptMs(how, t.config));
        case Path::Download:  // the first block and its eight repeats
            return FailingExchangesMs(9, t.block, AttemptMs(how, t.block));
        case Path::Upload:  // the first block (the empty block that would end it is not sent)
            return FailingExchangesMs(1, t.block, AttemptMs(how, t.block));
    }
    return 0;
}

class FaultMatrix : public ::testing::TestWithParam<Transport> {};

TEST_P(FaultMatrix, EveryFaultEndsInTimeWithItsMessageAndLeavesTheFilesAsTheRulesSay) {
    const std::string earlierDownload = "F 40001 1t1                    105 1t1f 83\r\nB\r\n";
    for (const Cell& c : Cells()) {
        SCOPED_TRACE(std::string(PathName(c.path)) + " " + c.fault);
        TempDir dir;
        WorkingDirectory cwd(dir.Path());
        dir.Write(kDownloadFileName, earlierDownload);

        XmlDocument catalogue(VR7_SOURCE_DIR "/examples/calcbank.xml");
        EXPECT_TRUE(catalogue.Load().ok());
        SnvtList list(catalogue);
        list.SetMaxVariables(LoadMaxVariables(catalogue).value_or(0));
        ASSERT_TRUE(LoadGatewayFileAt(list, VR7_SOURCE_DIR "/examples/vr7_12/CONFIG/duxgate.cfg"));
        const std::vector<std::string> listBefore = Captions(list);

        SimPeer peer;
        ASSERT_TRUE(peer.Start(DemoSimDevice(), GetParam()));
        connection conn;
        peer.PointAt(conn);
        const int command = c.path == Path::Tree       ? cmdReadEntry
                            : c.path == Path::Download ? cmdReadBlock
                                                       : cmdWriteBlock;
        // Entry 1 passes, so that the tree has begun when the fault comes.
        peer.server->SetFaults({{c.kind, command, -1, c.path == Path::Tree ? 1 : 0, -1, c.value}});

        struct : IMessageSink {
            void ShowMessage(const Cp1251String& text) override { texts.push_back(text.bytes()); }
            std::vector<std::string> texts;
        } messages;
        uint32_t number = 0;
        CfgTree tree;
        // The device's gateway file, in whatever letter case it holds it.
        auto heldFile = [&] {
            return peer.server->With([](SimResponder& r) {
                const auto& files = r.Device().files;
                const auto it = files.find(kUploadFileName);
                return it == files.end() ? std::vector<uint8_t>() : it->second;
            });
        };
        const std::vector<uint8_t> heldBefore = heldFile();
        ASSERT_FALSE(heldBefore.empty());
        const auto start = Clock::now();
        if (c.path == Path::Upload) {
            const DeviceStoreResult r = Shown(Store({conn, number}, list), messages);
            EXPECT_EQ(heldFile(), heldBefore);  // a failed upload is never taken for the file
            EXPECT_EQ(r.outcome, DeviceStoreOutcome::Broken);
            EXPECT_EQ(messages.texts,
                      std::vector<std::string>{
                          (usertext::StoreBroken() + '\n' + usertext::DeviceSettingsIncomplete())
                              .bytes()});
            EXPECT_EQ(Captions(list), listBefore);
        } else {
            const DeviceReadResult r =
                Shown(ReadFromDevice({conn, number}, tree, list, &catalogue, nullptr), messages);
            EXPECT_EQ(messages.texts,
                      std::vector<std::string>{
                          (usertext::ReadError() + '\n' + usertext::ReadAgainStep()).bytes()});
            if (c.path == Path::Tree) {
                EXPECT_EQ(r.outcome, DeviceReadOutcome::ReadFailed);
                EXPECT_EQ(Captions(list), listBefore);
            } else {
                EXPECT_EQ(r.outcome, DeviceReadOutcome::Read);
                EXPECT_EQ(r.download, GatewayDownload::Broken);
                EXPECT_EQ(list.RowCount(), 0u);
            }
        }
        const long ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        const long bound = BoundMs(GetParam(), c.path);
        std::printf("fault matrix: %s %-8s %-12s %5ld ms (bound %ld ms)\n",
                    TransportName(GetParam()).c_str(), PathName(c.path), c.fault, ms, bound);
        // The commands' own exchanges (identification, header, the other entries, the open) are
        // quick against a device that answers them; a loaded machine gets slack.
        EXPECT_LE(ms, OwnWaitBoundMs(bound));
        EXPECT_EQ(conn.Link(), nullptr);
        EXPECT_EQ(ReadBytes(kDownloadFileName), earlierDownload);
    }
}

INSTANTIATE_TEST_SUITE_P(Links, FaultMatrix, ::testing::Values(Transport::Tcp, Transport::Pty),
                         [](const auto& info) { return TransportName(info.param); });

}  // namespace
