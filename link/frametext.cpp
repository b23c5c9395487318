#include "link/frametext.h"

#include <cstdio>

#include "link/vr7frame.h"

namespace {

const char* CommandName(uint8_t command) {
    switch (command) {
        case cmdIdentify:
            return "identify";
        case cmdOpenFile:
            return "open file";
        case cmdReadBlock:
            return "read block";
        case cmdWriteBlock:
            return "write block";
        case cmdReadEntry:
            return "read entry";
        case cmdReadHeader:
            return "read header";
        default:
            return nullptr;
    }
}

// The data bytes that actually came, at most the frame's own length.
int DataCame(const uint8_t* bytes, int length) {
    const int data = std::min<int>(FrameLength(bytes), length - kFrameHeader);
    return std::max(0, data);
}

uint32_t DataLe32(const uint8_t* bytes) {
    return GetLe32(FrameData(bytes));
}

}  // namespace

std::string FrameCheckText(const uint8_t* bytes, int length) {
    if (length < kFrameHeader) return "incomplete header";
    const int data = FrameLength(bytes);
    if (data > kMaxFrameData) return "length " + std::to_string(data) + " too long";
    const int whole = FrameSizeOf(bytes);
    if (length < whole) {
        return "incomplete (" + std::to_string(length) + " of " + std::to_string(whole) + " bytes)";
    }
    return FrameCheckFails(bytes) ? "check BAD" : "check ok";
}

std::string FrameSummary(bool sent, const uint8_t* bytes, int length) {
    if (length < kFrameHeader) return std::string();
    const uint8_t command = FrameCommand(bytes);
    const char* name = CommandName(command);
    std::string text;
    if (name != nullptr)
        text = name;
    else if (sent)
        text = "command " + std::to_string(command);
    else
        text = "refusal " + std::to_string(command);
    const uint32_t address = FrameAddress(bytes);
    text += address == AnyDeviceAddress ? std::string(", any device")
                                        : ", device " + std::to_string(address);
    text += ", length " + std::to_string(FrameLength(bytes));
    const int data = DataCame(bytes, length);
    const uint8_t* d = FrameData(bytes);
    if (command == cmdReadEntry && sent && data >= 2) {
        text += ", entry " + std::to_string(GetLe16(d));
    } else if (command == cmdReadBlock && sent && data >= 1) {
        text += d[0] == kSameBlockAgain ? ", same block again" : ", next block";
    } else if (command == cmdReadBlock && !sent && data >= kBlockPositionSize) {
        text += ", position " + std::to_string(DataLe32(bytes));
    } else if (command == cmdOpenFile && sent && data >= 1) {
        text += d[0] == kOpenForWrite ? ", for writing \"" : ", for reading \"";
        for (int i = 1; i < data; ++i)
            text += d[i] >= 0x20 && d[i] < 0x7F ? static_cast<char>(d[i]) : '?';
        text += '"';
    } else if (command == cmdOpenFile && !sent && data >= 4) {
        text += ", size " + std::to_string(DataLe32(bytes));
    }
    return text;
}

std::string FrameTraceLine(long long elapsedMs, bool sent, const uint8_t* bytes, int length) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%8lld ms %s", elapsedMs, sent ? "->" : "<-");
    std::string line = stamp;
    static const char kHex[] = "0123456789abcdef";
    for (int i = 0; i < length; ++i) {
        line += ' ';
        line += kHex[bytes[i] >> 4];
        line += kHex[bytes[i] & 0x0F];
    }
    line += "  ";
    line += FrameCheckText(bytes, length);
    const std::string summary = FrameSummary(sent, bytes, length);
    if (!summary.empty()) {
        line += "  ";
        line += summary;
    }
    return line;
}
