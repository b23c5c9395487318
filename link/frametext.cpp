#include "link/frametext.h"

#include <algorithm>
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
            return "";
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

FrameFacts DecodeFrame(bool sent, const uint8_t* bytes, int length) {
    FrameFacts f;
    f.length = length;
    if (length < kFrameHeader) return f;
    f.header = true;
    const int data = FrameLength(bytes);
    if (data > kMaxFrameData) {
        f.check = FrameFacts::Check::TooLong;
        f.whole = data;
    } else {
        f.whole = FrameSizeOf(bytes);
        if (length < f.whole)
            f.check = FrameFacts::Check::Incomplete;
        else
            f.check = FrameCheckFails(bytes) ? FrameFacts::Check::Bad : FrameFacts::Check::Ok;
    }
    f.command = FrameCommand(bytes);
    f.kind = IsCommandCode(f.command) ? FrameFacts::Kind::Command
             : sent                   ? FrameFacts::Kind::OtherCommand
                                      : FrameFacts::Kind::Refusal;
    f.device = FrameAddress(bytes);
    f.anyDevice = f.device == AnyDeviceAddress;
    f.dataLength = data;
    const int came = DataCame(bytes, length);
    const uint8_t* d = FrameData(bytes);
    using D = FrameFacts::Detail;
    if (f.command == cmdReadEntry && sent && came >= 2) {
        f.detail = D::Entry;
        f.value = GetLe16(d);
    } else if (f.command == cmdReadBlock && sent && came >= 1) {
        f.detail = d[0] == kSameBlockAgain ? D::SameBlockAgain : D::NextBlock;
    } else if (f.command == cmdReadBlock && !sent && came >= kBlockPositionSize) {
        f.detail = D::Position;
        f.value = DataLe32(bytes);
    } else if (f.command == cmdOpenFile && sent && came >= 1) {
        f.detail = d[0] == kOpenForWrite ? D::OpenForWriting : D::OpenForReading;
        for (int i = 1; i < came; ++i)
            f.name += d[i] >= 0x20 && d[i] < 0x7F ? static_cast<char>(d[i]) : '?';
    } else if (f.command == cmdOpenFile && !sent && came >= 4) {
        f.detail = D::Size;
        f.value = DataLe32(bytes);
    }
    return f;
}

std::string FrameCheckText(const FrameFacts& f) {
    switch (f.check) {
        case FrameFacts::Check::IncompleteHeader:
            return "incomplete header";
        case FrameFacts::Check::TooLong:
            return "length " + std::to_string(f.whole) + " too long";
        case FrameFacts::Check::Incomplete:
            return "incomplete (" + std::to_string(f.length) + " of " + std::to_string(f.whole) +
                   " bytes)";
        case FrameFacts::Check::Bad:
            return "check BAD";
        case FrameFacts::Check::Ok:
            break;
    }
    return "check ok";
}

std::string FrameCheckText(const uint8_t* bytes, int length) {
    return FrameCheckText(DecodeFrame(false, bytes, length));
}

std::string FrameSummary(const FrameFacts& f) {
    if (!f.header) return std::string();
    std::string text;
    switch (f.kind) {
        case FrameFacts::Kind::Command:
            text = CommandName(f.command);
            break;
        case FrameFacts::Kind::OtherCommand:
            text = "command " + std::to_string(f.command);
            break;
        case FrameFacts::Kind::Refusal:
            text = "refusal " + std::to_string(f.command);
            break;
    }
    text += f.anyDevice ? std::string(", any device") : ", device " + std::to_string(f.device);
    text += ", length " + std::to_string(f.dataLength);
    switch (f.detail) {
        case FrameFacts::Detail::None:
            break;
        case FrameFacts::Detail::Entry:
            text += ", entry " + std::to_string(f.value);
            break;
        case FrameFacts::Detail::SameBlockAgain:
            text += ", same block again";
            break;
        case FrameFacts::Detail::NextBlock:
            text += ", next block";
            break;
        case FrameFacts::Detail::Position:
            text += ", position " + std::to_string(f.value);
            break;
        case FrameFacts::Detail::OpenForReading:
            text += ", for reading \"" + f.name + '"';
            break;
        case FrameFacts::Detail::OpenForWriting:
            text += ", for writing \"" + f.name + '"';
            break;
        case FrameFacts::Detail::Size:
            text += ", size " + std::to_string(f.value);
            break;
    }
    return text;
}

std::string FrameSummary(bool sent, const uint8_t* bytes, int length) {
    return FrameSummary(DecodeFrame(sent, bytes, length));
}

std::string FrameTraceLine(long long elapsedMs, bool sent, const uint8_t* bytes, int length,
                           const std::string& check, const std::string& summary) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%8lld ms %s", elapsedMs, sent ? "->" : "<-");
    std::string line = stamp;
    line.reserve(line.size() + 3 * static_cast<size_t>(std::max(0, length)) + check.size() +
                 summary.size() + 4);
    static const char kHex[] = "0123456789abcdef";
    for (int i = 0; i < length; ++i) {
        line += ' ';
        line += kHex[bytes[i] >> 4];
        line += kHex[bytes[i] & 0x0F];
    }
    line += "  ";
    line += check;
    if (!summary.empty()) {
        line += "  ";
        line += summary;
    }
    return line;
}

std::string FrameTraceLine(long long elapsedMs, bool sent, const uint8_t* bytes, int length) {
    const FrameFacts facts = DecodeFrame(sent, bytes, length);
    return FrameTraceLine(elapsedMs, sent, bytes, length, FrameCheckText(facts),
                          FrameSummary(facts));
}
