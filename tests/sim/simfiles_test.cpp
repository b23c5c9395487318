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

}  // namespace
