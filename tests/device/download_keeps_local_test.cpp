// The local duxgate.cfg of the working folder is replaced only by a download that came whole: every
// kind of broken transfer leaves the earlier copy byte for byte, and no temporary file behind.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "app/messages.h"
#include "device/devicecommands.h"
#include "gateway/snvtlist.h"
#include "optlist/xmldocument.h"
#include "tests/common/simpeer.h"
#include "tests/common/tempdir.h"

namespace {

const char kEarlier[] = "F 40001 1t1                    105 1t1f 83\r\nB\r\n";

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs the test in a scratch working folder and goes back afterwards.
class InWorkingFolder {
  public:
    InWorkingFolder() : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir.Path());
    }
    ~InWorkingFolder() { std::filesystem::current_path(previous_); }
    TempDir dir;

  private:
    std::filesystem::path previous_;
};

class DownloadKeepsLocal : public ::testing::TestWithParam<Transport> {};

TEST_P(DownloadKeepsLocal, EveryBrokenTransferLeavesTheEarlierCopy) {
    const struct {
        const char* what;
        std::vector<SimFault> faults;
    } cases[] = {
        {"ends early", {{SimFaultKind::WrongSize, cmdOpenFile, -1, 0, -1, 5000}}},
        {"empty first block", {{SimFaultKind::CutData, cmdReadBlock, -1, 0, -1, 4}}},
        {"never ends", {{SimFaultKind::EndlessFile, cmdReadBlock}}},
        {"stuck position", {{SimFaultKind::StuckPosition, cmdReadBlock, -1, 1}}},
        {"silent after a block", {{SimFaultKind::Silent, cmdReadBlock, -1, 1}}},
        {"wrong check bytes", {{SimFaultKind::BadCheck, cmdReadBlock, -1, 1}}},
        {"refused block", {{SimFaultKind::Refuse, cmdReadBlock, -1, 1, -1, 0x15}}},
        {"garbage", {{SimFaultKind::Garbage, cmdReadBlock, -1, 1, -1, 40}}},
        {"closed mid-answer", {{SimFaultKind::Close, cmdReadBlock, -1, 1}}},
    };
    for (const auto& c : cases) {
        InWorkingFolder work;
        work.dir.Write(kDownloadFileName, kEarlier);
        SimDevice device = DemoSimDevice();
        std::string big;
        for (int i = 0; i < 120; ++i) big += kEarlier;  // several blocks
        device.files[kDownloadFileName].assign(big.begin(), big.end());
        SimConnection sim(device);
        ASSERT_EQ(sim.Open(GetParam()), lr::Ok) << c.what;
        sim.server->SetFaults(c.faults);

        XmlDocument catalogue;
        SnvtList list(catalogue);
        CommandMessage message;
        uint32_t number = device.number;
        EXPECT_EQ(ReadGatewayFileFromDevice({sim.conn, number}, list, &message),
                  GatewayDownload::Broken)
            << c.what;
        EXPECT_EQ(usertext::CommandMessageText(message), usertext::ReadError()) << c.what;
        EXPECT_EQ(list.RowCount(), 0u) << c.what;
        EXPECT_EQ(ReadAll(kDownloadFileName), kEarlier) << c.what;
        size_t files = 0;
        for (const auto& e : std::filesystem::directory_iterator(work.dir.Path())) {
            (void)e;
            ++files;
        }
        EXPECT_EQ(files, 1u) << c.what << ": a temporary file was left";
    }
}

INSTANTIATE_TEST_SUITE_P(Links, DownloadKeepsLocal,
                         ::testing::Values(Transport::Tcp, Transport::Pty),
                         [](const auto& info) { return TransportName(info.param); });

}  // namespace
