// File transfers to and from the simulated device, over TCP and over a pseudo-terminal.
#include <gtest/gtest.h>

#include <sstream>

#include "link/vr7prot.h"
#include "tests/common/simpeer.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kNumber = 5;

Bytes Pattern(size_t size) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

std::string AsString(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

struct ProgressLog : IProgressSink {
    std::vector<float> fractions;
    void ShowProgress(const std::string& text, float fraction) override {
        EXPECT_EQ(text, "");
        fractions.push_back(fraction);
    }
};

class TransferOverLink : public ::testing::TestWithParam<Transport> {
  protected:
    void SetUp() override {
        SimDevice device;
        device.number = kNumber;
        sim = std::make_unique<SimConnection>(device);
        ASSERT_EQ(sim->Open(GetParam()), lr::Ok);
    }
    void Serve(const std::string& name, const Bytes& bytes) {
        sim->server->With([&](SimResponder& r) { r.Device().files[name] = bytes; });
    }
    LinkResult Download(const std::string& name, std::string& out, ProgressLog* log = nullptr) {
        std::ostringstream dest;
        const LinkResult r = ReadDeviceFile(sim->conn, kNumber, &dest, name.c_str(), log);
        out = dest.str();
        return r;
    }
    LinkResult Upload(const std::string& name, const Bytes& bytes, ProgressLog* log = nullptr) {
        std::istringstream src(AsString(bytes));
        return WriteDeviceFile(sim->conn, kNumber, &src, name.c_str(), log);
    }
    // The commands of the requests the device received, with each one's length.
    std::vector<std::pair<uint8_t, int>> Requests() {
        std::vector<std::pair<uint8_t, int>> list;
        for (const Bytes& f : sim->server->Requests())
            list.push_back({FrameCommand(f.data()), FrameLength(f.data())});
        return list;
    }

    std::unique_ptr<SimConnection> sim;
};

TEST_P(TransferOverLink, UploadedFileComesBackByteForByte) {
    for (size_t size : {0u, 1u, 1014u, 1015u, 1016u, 2030u, 300u * 1024u}) {
        const Bytes bytes = Pattern(size);
        const std::string name = "f" + std::to_string(size) + ".bin";
        ASSERT_EQ(Upload(name, bytes), lr::Ok) << size;
        Bytes stored;
        ASSERT_TRUE(sim->server->File(name, stored));
        EXPECT_EQ(stored, bytes) << size;
        std::string back;
        ASSERT_EQ(Download(name, back), lr::Ok) << size;
        EXPECT_EQ(back, AsString(bytes)) << size;
    }
}

TEST_P(TransferOverLink, UploadSendsFullBlocksThenTheEmptyEndRequest) {
    ProgressLog log;
    sim->server->ClearRequests();
    ASSERT_EQ(Upload("DUXGate.cfg", Pattern(2030), &log), lr::Ok);
    const std::vector<std::pair<uint8_t, int>> expected{
        {cmdOpenFile, 1 + 11}, {cmdWriteBlock, 1015}, {cmdWriteBlock, 1015}, {cmdWriteBlock, 0}};
    EXPECT_EQ(Requests(), expected);
    EXPECT_EQ(sim->server->Requests()[0][7], 2);  // open for writing
    EXPECT_EQ(log.fractions, (std::vector<float>{0.5f, 1.0f}));
}

TEST_P(TransferOverLink, DownloadReportsProgressForEveryBlockIncludingTheEmptyLast) {
    Serve("duxgate.cfg", Pattern(2500));
    ProgressLog log;
    std::string back;
    sim->server->ClearRequests();
    ASSERT_EQ(Download("duxgate.cfg", back, &log), lr::Ok);
    EXPECT_EQ(back.size(), 2500u);
    ASSERT_EQ(log.fractions.size(), 4u);  // 1011 + 1011 + 478 bytes, then the empty block
    EXPECT_FLOAT_EQ(log.fractions[0], 1011.0f / 2500);
    EXPECT_FLOAT_EQ(log.fractions[3], 1.0f);
    const Bytes open = sim->server->Requests()[0];
    EXPECT_EQ(Bytes(open.begin() + 7, open.end() - 2),
              (Bytes{1, 'd', 'u', 'x', 'g', 'a', 't', 'e', '.', 'c', 'f', 'g'}));
    EXPECT_EQ(sim->server->Requests()[1][7], 0x5A);
}

TEST_P(TransferOverLink, EmptyFileIsCompleteAtOnce) {
    Serve("empty", {});
    ProgressLog log;
    std::string back = "x";
    ASSERT_EQ(Download("empty", back, &log), lr::Ok);
    EXPECT_EQ(back, "");
    EXPECT_EQ(log.fractions, std::vector<float>{1.0f});
}

TEST_P(TransferOverLink, RefusedOpenGives1001) {
    std::string back;
    EXPECT_EQ(Download("missing.cfg", back), lr::BadArgument);
    sim->server->With([](SimResponder& r) { r.Device().writeProtected = true; });
    sim->server->ClearRequests();
    EXPECT_EQ(Upload("DUXGate.cfg", Pattern(10)), lr::BadArgument);
    EXPECT_EQ(Requests().size(), 1u);  // no transfer was opened, so there is nothing to end
}

TEST_P(TransferOverLink, LostOrDamagedBlockIsAskedForAgain) {
    const Bytes bytes = Pattern(3000);
    Serve("a", bytes);
    // The answer to block 2 and to the first repeat request (0x00) come damaged; the second
    // repeat brings the same block back, and the transfer carries on with 0x5A.
    sim->server->SetFaults({{SimFaultKind::BadCheck, cmdReadBlock, -1, 1, 2}});
    std::string back;
    sim->server->ClearRequests();
    ASSERT_EQ(Download("a", back), lr::Ok);
    EXPECT_EQ(back, AsString(bytes));
    std::vector<uint8_t> dataBytes;
    for (const Bytes& f : sim->server->Requests())
        if (FrameCommand(f.data()) == cmdReadBlock) dataBytes.push_back(f[7]);
    EXPECT_EQ(dataBytes, (std::vector<uint8_t>{0x5A, 0x5A, 0x00, 0x00, 0x5A, 0x5A}));
}

TEST_P(TransferOverLink, SilentBlockIsAskedForAgain) {
    const Bytes bytes = Pattern(1500);
    Serve("a", bytes);
    sim->server->SetFaults({{SimFaultKind::Silent, cmdReadBlock, -1, 1, 1}});
    std::string back;
    ASSERT_EQ(Download("a", back), lr::Ok);
    EXPECT_EQ(back, AsString(bytes));
}

TEST_P(TransferOverLink, BlockRepeatsEndAfterEight) {
    Serve("a", Pattern(3000));
    sim->server->SetFaults({{SimFaultKind::BadCheck, cmdReadBlock, -1, 1, 1},
                            {SimFaultKind::Refuse, cmdReadBlock, -1, 0, -1, 0x15}});
    std::string back;
    sim->server->ClearRequests();
    EXPECT_EQ(Download("a", back), 21);
    EXPECT_EQ(back.size(), 1011u);
    int repeats = 0;
    for (const Bytes& f : sim->server->Requests())
        if (FrameCommand(f.data()) == cmdReadBlock && f[7] == 0) ++repeats;
    EXPECT_EQ(repeats, 8);
}

// A block is taken only from an answer that is one: the device's refusal or an answer too short
// to carry a position ends the transfer without appending anything.
TEST_P(TransferOverLink, BlockAnswerThatIsNoBlockEndsTheTransfer) {
    Serve("a", Pattern(3000));
    sim->server->SetFaults({{SimFaultKind::Refuse, cmdReadBlock, -1, 1, 1, 0}});
    std::string back;
    EXPECT_EQ(Download("a", back), 255);
    EXPECT_EQ(back.size(), 1011u);

    // A block answer too short for its position is garbled: the block is asked for again.
    sim->server->SetFaults({{SimFaultKind::CutData, cmdReadBlock, -1, 0, 1, 2}});
    EXPECT_EQ(Download("a", back), lr::Ok);
    const Bytes whole = Pattern(3000);
    EXPECT_EQ(back, std::string(whole.begin(), whole.end()));
}

// A block that fails mid-upload ends the transfer without the empty block that would make the
// device take the part sent for the file: it keeps the file it held, and the next upload, which
// opens the file afresh, stores the whole new one.
TEST_P(TransferOverLink, FailedBlockLeavesTheDevicesFileAsItWas) {
    struct Case {
        const char* name;
        SimFault fault;     // on the second block
        LinkResult result;  // 0: any failure (how a silence ends differs by link)
    };
    const Case cases[] = {
        {"unacknowledged",
         {SimFaultKind::NoAck, cmdWriteBlock, -1, 1, 1, 0x00},
         lr::Unacknowledged},
        {"no data byte", {SimFaultKind::CutData, cmdWriteBlock, -1, 1, 1, 0}, lr::Garbled},
        {"refused", {SimFaultKind::Refuse, cmdWriteBlock, -1, 1, 1, 0x33}, 0x33},
        {"unanswered", {SimFaultKind::Silent, cmdWriteBlock, -1, 1, -1, 0}, 0},
    };
    const Bytes held = Pattern(700);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Serve("DUXGate.cfg", held);
        sim->server->SetFaults({c.fault});
        sim->server->ClearRequests();
        const LinkResult r = Upload("DUXGate.cfg", Pattern(3990));
        if (c.result != 0)
            EXPECT_EQ(r, c.result);
        else
            EXPECT_NE(r, lr::Ok);
        for (const auto& [command, length] : Requests())
            EXPECT_FALSE(command == cmdWriteBlock && length == 0) << "the closing block went out";
        Bytes stored;
        ASSERT_TRUE(sim->server->File("DUXGate.cfg", stored));
        EXPECT_EQ(stored, held);

        sim->server->SetFaults({});
        ASSERT_EQ(Upload("DUXGate.cfg", Pattern(1500)), lr::Ok);
        ASSERT_TRUE(sim->server->File("DUXGate.cfg", stored));
        EXPECT_EQ(stored, Pattern(1500));
    }
}

TEST_P(TransferOverLink, RefusedBlockGivesTheDeviceCode) {
    sim->server->SetFaults({{SimFaultKind::Refuse, cmdWriteBlock, -1, 0, 1, 0x33}});
    EXPECT_EQ(Upload("u", Pattern(100)), 0x33);
}

TEST_P(TransferOverLink, UploadWithoutSourceOrNameSendsNothing) {
    sim->server->ClearRequests();
    EXPECT_EQ(WriteDeviceFile(sim->conn, kNumber, nullptr, "u", nullptr), lr::Unacknowledged);
    std::istringstream src("abc");
    EXPECT_EQ(WriteDeviceFile(sim->conn, kNumber, &src, nullptr, nullptr), lr::Unacknowledged);
    EXPECT_TRUE(Requests().empty());
}

// A source that says it is longer than what it gives: the device must not get a stale block.
class ShrinkingBuffer : public std::streambuf {
  public:
    explicit ShrinkingBuffer(std::string data) : data_(std::move(data)) {
        setg(data_.data(), data_.data(), data_.data() + data_.size());
    }

  protected:
    pos_type seekoff(off_type off, std::ios::seekdir dir, std::ios::openmode) override {
        if (dir == std::ios::end) atEnd_ = true;
        if (dir == std::ios::beg) {
            atEnd_ = false;
            setg(data_.data(), data_.data() + off, egptr());
        }
        if (atEnd_) return pos_type(off_type(data_.size()) + 5000);
        return pos_type(gptr() - eback());
    }
    pos_type seekpos(pos_type pos, std::ios::openmode mode) override {
        return seekoff(off_type(pos), std::ios::beg, mode);
    }

  private:
    std::string data_;
    bool atEnd_ = false;
};

TEST_P(TransferOverLink, SourceThatRunsDryGivesMinusOne) {
    ShrinkingBuffer buffer(AsString(Pattern(1500)));
    std::istream src(&buffer);
    sim->server->ClearRequests();
    EXPECT_EQ(WriteDeviceFile(sim->conn, kNumber, &src, "u", nullptr), lr::Unacknowledged);
    // Nor the closing block: the device does not take the short file for "u".
    const std::vector<std::pair<uint8_t, int>> expected{
        {cmdOpenFile, 2}, {cmdWriteBlock, 1015}, {cmdWriteBlock, 485}};
    EXPECT_EQ(Requests(), expected);
}

INSTANTIATE_TEST_SUITE_P(Links, TransferOverLink, ::testing::Values(Transport::Tcp, Transport::Pty),
                         [](const auto& info) { return TransportName(info.param); });

TEST(TransferOverTcp, ConnectionClosedMidTransferFailsTheTransfer) {
    SimDevice device;
    device.number = kNumber;
    device.files["a"] = Pattern(5000);
    SimConnection sim(device);
    ASSERT_EQ(sim.Open(Transport::Tcp), lr::Ok);
    sim.server->SetFaults({{SimFaultKind::Close, cmdReadBlock, -1, 2, 1}});
    std::ostringstream dest;
    const LinkResult r = ReadDeviceFile(sim.conn, kNumber, &dest, "a", nullptr);
    // The answer breaks off (1017) and the link closes with the connection, so the repeat
    // requests fail at once.
    EXPECT_EQ(r, lr::NotOpen);
    EXPECT_EQ(dest.str().size(), 2022u);
}

}  // namespace
