// The simulated device's side of the protocol, frame in, frame out, without any transport.
#include <gtest/gtest.h>

#include <filesystem>

#include "link/vr7frame.h"
#include "sim/simframereader.h"
#include "sim/simresponder.h"
#include "tests/common/tempdir.h"
#include "tests/common/testtext.h"
#include "tests/common/vr7wire.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Data(const Bytes& frame) {
    return Bytes(frame.begin() + kFrameHeader, frame.end() - 2);
}

SimDevice Device() {
    SimDevice d = SimDemoDevice();
    d.number = 12;
    d.files["a"] = Bytes(2100, 0x41);
    return d;
}

TEST(SimResponder, AnswersItsOwnNumberAndAnyAddressOnly) {
    SimResponder sim(Device());
    EXPECT_FALSE(sim.Handle(MakeFrame(12, cmdIdentify)).bytes.empty());
    EXPECT_FALSE(sim.Handle(MakeFrame(AnyDeviceAddress, cmdIdentify)).bytes.empty());
    EXPECT_TRUE(sim.Handle(MakeFrame(13, cmdIdentify)).bytes.empty());
    EXPECT_TRUE(sim.Handle(MakeFrame(0, cmdIdentify)).bytes.empty());
    EXPECT_EQ(sim.Requests().size(), 4u);
}

TEST(SimResponder, EntriesByIndexAndRefusalsForTheRest) {
    SimResponder sim(Device());
    EXPECT_EQ(Data(sim.Handle(MakeFrame(12, cmdReadEntry, {4, 0})).bytes),
              SimConstEntry(1, "k1", 3.5f));
    for (Bytes index : {Bytes{0, 0}, Bytes{10, 0}, Bytes{1}}) {
        const Bytes answer = sim.Handle(MakeFrame(12, cmdReadEntry, index)).bytes;
        EXPECT_EQ(FrameCommand(answer.data()), kSimNoSuchEntry);
        EXPECT_EQ(FrameLength(answer.data()), 0);
    }
    EXPECT_EQ(FrameCommand(sim.Handle(MakeFrame(12, 0x44)).bytes.data()), kSimUnknownCommand);
}

TEST(SimResponder, EntryLayoutsOfEveryType) {
    EXPECT_EQ(SimCalcEntry(2, "abcdefgh", 0x04030201),
              (Bytes{3, 2, 'a', 'b', 'c', 'd', 'e', 'f', 1, 2, 3, 4, 0, 0, 0, 0, 0}));
    EXPECT_EQ(SimEventEntry("ev", 0x0102, 0x10, 5),
              (Bytes{2, 'e', 'v', 0, 0, 0, 0, 2, 1, 0x10, 0, 0, 0, 5, 0, 0, 0}));
    const Bytes c = SimConstEntry(1, "k", 1.0f);
    EXPECT_EQ(GetLe32(&c[8]), 0x3F800000u);
    EXPECT_EQ(SimEmptyEntry(), Bytes(17, 0));
    EXPECT_EQ(SimUnknownEntry(9)[0], 9);
}

TEST(SimResponder, WriteTransferStoresOnTheEmptyBlockAndHonoursProtection) {
    const TempDir root;
    const std::string store = root.MakeDir("store");
    SimDevice device = Device();
    device.storeDir = store;
    SimResponder sim(device);

    for (const std::string name : {"up.cfg", "../escape.cfg"}) {
        Bytes open{2};
        open.insert(open.end(), name.begin(), name.end());
        EXPECT_EQ(FrameCommand(sim.Handle(MakeFrame(12, cmdOpenFile, open)).bytes.data()),
                  cmdOpenFile);
        EXPECT_EQ(Data(sim.Handle(MakeFrame(12, cmdWriteBlock, {'x', 'y'})).bytes), Bytes{0xA5});
        EXPECT_EQ(sim.Device().files.count(name), 0u);  // not before the end
        EXPECT_EQ(Data(sim.Handle(MakeFrame(12, cmdWriteBlock, {})).bytes), Bytes{0xA5});
        EXPECT_EQ(sim.Device().files[name], (Bytes{'x', 'y'}));
    }
    // Read and closed: Windows cannot remove a folder with a file in it still open.
    EXPECT_EQ(ReadBytes(store + "up.cfg"), "xy");
    EXPECT_FALSE(std::filesystem::exists(PathFromUtf8(root.Path() + "escape.cfg")));

    sim.Device().writeProtected = true;
    EXPECT_EQ(FrameCommand(sim.Handle(MakeFrame(12, cmdOpenFile, {2, 'z'})).bytes.data()),
              kSimWriteProtected);
    EXPECT_EQ(FrameCommand(sim.Handle(MakeFrame(12, cmdWriteBlock, {1})).bytes.data()),
              kSimNoTransfer);
}

TEST(SimResponder, FaultsApplyAfterSkipForTheirTimesAndToTheirEntryOnly) {
    SimResponder sim(Device());
    sim.Faults() = {{SimFaultKind::Refuse, cmdReadEntry, 2, 1, 2, 0x15}};
    auto entryCommand = [&sim](uint8_t index) {
        const Bytes answer = sim.Handle(MakeFrame(12, cmdReadEntry, {index, 0})).bytes;
        return FrameCommand(answer.data());
    };
    EXPECT_EQ(entryCommand(1), cmdReadEntry);
    EXPECT_EQ(entryCommand(2), cmdReadEntry);  // skipped once
    EXPECT_EQ(entryCommand(2), 0x15);
    EXPECT_EQ(entryCommand(1), cmdReadEntry);
    EXPECT_EQ(entryCommand(2), 0x15);
    EXPECT_EQ(entryCommand(2), cmdReadEntry);  // used up
}

// Late holds back one answer (times -1, as a fault built in code has it, counts as 1) and keeps
// the answer itself; delay holds back every one.
TEST(SimResponder, LateHoldsBackOneAnswerAndDelayEvery) {
    for (const SimFaultKind kind : {SimFaultKind::Late, SimFaultKind::Delay}) {
        SimResponder sim(Device());
        SimResponder plain(Device());
        sim.Faults() = {{kind, cmdIdentify, -1, 1, -1, 250}};
        std::vector<int> delays;
        for (int i = 0; i < 4; ++i) {
            const SimReply reply = sim.Handle(MakeFrame(12, cmdIdentify));
            EXPECT_EQ(reply.bytes, plain.Handle(MakeFrame(12, cmdIdentify)).bytes);
            delays.push_back(reply.delayMs);
        }
        EXPECT_EQ(delays, (kind == SimFaultKind::Late ? std::vector<int>{0, 250, 0, 0}
                                                      : std::vector<int>{0, 250, 250, 250}));
    }
}

TEST(SimFrameReader, CutsFramesFromPiecesAndSkipsNoise) {
    const Bytes a = MakeFrame(1, cmdIdentify);
    const Bytes b = MakeFrame(1, cmdReadEntry, {3, 0});
    Bytes stream(12, 0xFF);  // noise: windows of it look like the start of a 511-byte frame
    stream.push_back(0x13);
    stream.insert(stream.end(), a.begin(), a.end());
    Bytes oversize(9, 0);
    oversize[5] = 0xFF;  // a length no frame has
    stream.insert(stream.end(), oversize.begin(), oversize.end());
    stream.insert(stream.end(), b.begin(), b.end());

    SimFrameReader reader;
    std::vector<Bytes> frames;
    Bytes frame;
    for (uint8_t byte : stream) {  // one byte at a time, as a slow line delivers them
        reader.Feed(&byte, 1);
        while (reader.Next(frame)) frames.push_back(frame);
    }
    EXPECT_EQ(frames, (std::vector<Bytes>{a, b}));
    EXPECT_FALSE(reader.Pending());

    SimFrameReader whole;  // and two frames in one piece
    Bytes both = a;
    both.insert(both.end(), b.begin(), b.end());
    whole.Feed(both.data(), both.size());
    ASSERT_TRUE(whole.Next(frame));
    EXPECT_EQ(frame, a);
    ASSERT_TRUE(whole.Next(frame));
    EXPECT_EQ(frame, b);
    EXPECT_FALSE(whole.Next(frame));
}

}  // namespace

namespace {

// The device's side against literal bytes: every request the system sends, every answer.
TEST(SimResponder, AnswersEveryCommandWithTheseBytes) {
    using namespace wire;
    SimDevice device;
    device.number = 7;
    device.entries = {SimCalcEntry(1, "t1", 0x01020304)};
    device.files["a"] = {'h', 'i'};
    SimResponder sim(device);
    const std::pair<Bytes, Bytes> exchanges[] = {
        {kIdentify, kIdentification}, {kReadHeader, kHeader},
        {kReadEntry1, kEntry1},       {kReadEntry9, kNoSuchEntry},
        {kAskNextBlock, kNoTransfer}, {kOpenAForRead, kFileSize2},
        {kAskNextBlock, kBlockHi},    {kAskSameBlockAgain, kBlockHi},
        {kAskNextBlock, kLastBlock},  {kOpenAForWrite, kReadyForFile},
        {kWriteXy, kAckBlock},        {kWriteEnd, kAckBlock},
    };
    for (const auto& [request, answer] : exchanges)
        EXPECT_EQ(sim.Handle(request).bytes, answer) << "request command " << int{request[6]};
    EXPECT_EQ(sim.Device().files["a"], (Bytes{'x', 'y'}));

    sim.Device().writeProtected = true;
    EXPECT_EQ(sim.Handle(kOpenAForWrite).bytes, kWriteProtected);
}

}  // namespace
