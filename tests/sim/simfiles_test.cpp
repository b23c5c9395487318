// The simulated device's files: names ignore letter case, as on the device, so that what one
// command stores under one spelling is what the next reads under another.
#include <gtest/gtest.h>

#include "link/vr7frame.h"
#include "sim/simresponder.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Data(const Bytes& frame) {
    return Bytes(frame.begin() + kFrameHeader, frame.end() - 2);
}

void Upload(SimResponder& sim, const std::string& name, const Bytes& bytes) {
    Bytes open{kOpenForWrite};
    open.insert(open.end(), name.begin(), name.end());
    ASSERT_EQ(FrameCommand(sim.Handle(MakeFrame(7, cmdOpenFile, open)).bytes.data()), cmdOpenFile);
    ASSERT_EQ(Data(sim.Handle(MakeFrame(7, cmdWriteBlock, bytes)).bytes), Bytes{kBlockAccepted});
    ASSERT_EQ(Data(sim.Handle(MakeFrame(7, cmdWriteBlock, {})).bytes), Bytes{kBlockAccepted});
}

// The bytes a download of name brings, block by block; empty when the device refuses it.
Bytes Download(SimResponder& sim, const std::string& name) {
    Bytes open{kOpenForRead};
    open.insert(open.end(), name.begin(), name.end());
    if (FrameCommand(sim.Handle(MakeFrame(7, cmdOpenFile, open)).bytes.data()) != cmdOpenFile)
        return {};
    Bytes bytes;
    for (;;) {
        const Bytes block = Data(sim.Handle(MakeFrame(7, cmdReadBlock, {kNextBlock})).bytes);
        if (block.size() <= static_cast<size_t>(kBlockPositionSize)) return bytes;
        bytes.insert(bytes.end(), block.begin() + kBlockPositionSize, block.end());
    }
}

TEST(SimFiles, WhatIsStoredUnderOneSpellingIsReadUnderAnother) {
    SimDevice device;
    device.number = 7;
    device.files["duxgate.cfg"] = Bytes{'o', 'l', 'd'};
    SimResponder sim(device);

    Upload(sim, "DUXGate.cfg", {'n', 'e', 'w'});
    EXPECT_EQ(Download(sim, "duxgate.cfg"), (Bytes{'n', 'e', 'w'}));
    EXPECT_EQ(Download(sim, "DUXGATE.CFG"), (Bytes{'n', 'e', 'w'}));
    // One file, under the name as last stored.
    ASSERT_EQ(sim.Device().files.size(), 1u);
    EXPECT_EQ(sim.Device().files.begin()->first, "DUXGate.cfg");
    // Other names stay apart.
    EXPECT_TRUE(Download(sim, "duxgate.cf").empty());
}

// A file is taken only on the closing empty block: one left unfinished is dropped when the next
// file is opened, and one that grows beyond what the device keeps is refused and dropped.
TEST(SimFiles, OnlyAFinishedUploadWithinTheLimitIsKept) {
    SimDevice device;
    device.number = 7;
    device.files["duxgate.cfg"] = Bytes{'o', 'l', 'd'};
    SimResponder sim(device);
    auto open = [&](uint8_t mode) {
        Bytes request{mode};
        const std::string name = "DUXGate.cfg";
        request.insert(request.end(), name.begin(), name.end());
        return FrameCommand(sim.Handle(MakeFrame(7, cmdOpenFile, request)).bytes.data());
    };

    // Unfinished, then the next open: the old file stays, the part sent is gone.
    ASSERT_EQ(open(kOpenForWrite), cmdOpenFile);
    ASSERT_EQ(Data(sim.Handle(MakeFrame(7, cmdWriteBlock, Bytes(900, 'p'))).bytes),
              Bytes{kBlockAccepted});
    EXPECT_EQ(Download(sim, "duxgate.cfg"), (Bytes{'o', 'l', 'd'}));
    Upload(sim, "DUXGate.cfg", {'n', 'e', 'w'});
    EXPECT_EQ(Download(sim, "duxgate.cfg"), (Bytes{'n', 'e', 'w'}));

    // Beyond the limit: refused at the block that would pass it; the closing block finds no file.
    ASSERT_EQ(open(kOpenForWrite), cmdOpenFile);
    const Bytes block(kMaxFrameData, 'x');
    size_t sent = 0;
    uint8_t answer = cmdWriteBlock;
    while (answer == cmdWriteBlock && sent <= kSimMaxFileBytes) {
        answer = FrameCommand(sim.Handle(MakeFrame(7, cmdWriteBlock, block)).bytes.data());
        if (answer == cmdWriteBlock) sent += block.size();
    }
    EXPECT_EQ(answer, kSimFileTooLarge);
    EXPECT_LE(sent, kSimMaxFileBytes);
    EXPECT_GT(sent + block.size(), kSimMaxFileBytes);
    EXPECT_EQ(FrameCommand(sim.Handle(MakeFrame(7, cmdWriteBlock, {})).bytes.data()),
              kSimNoTransfer);
    EXPECT_EQ(Download(sim, "duxgate.cfg"), (Bytes{'n', 'e', 'w'}));
}

}  // namespace
