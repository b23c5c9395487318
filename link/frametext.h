#pragma once
// One frame as an engineer reads it in a trace: milliseconds since the command started, the
// direction ("->" sent, "<-" received), the bytes in hex, whether the check bytes hold, and what
// the frame says (command, device, length, entry or file position). The frame is decoded once
// (FrameFacts); vr7lon's --trace puts it in English words here, the window's exchange log in the
// user's words (app/messages), each from the same facts.
#include <cstdint>
#include <string>

// What a frame's bytes say.
struct FrameFacts {
    enum class Check : uint8_t { IncompleteHeader, TooLong, Incomplete, Bad, Ok };
    enum class Kind : uint8_t { Command, OtherCommand, Refusal };
    enum class Detail : uint8_t {
        None,
        Entry,           // value: the entry asked for
        SameBlockAgain,  // a read block request
        NextBlock,
        Position,        // value: the block's file position
        OpenForReading,  // name: the file's name, non-printing bytes as '?'
        OpenForWriting,
        Size,  // value: the opened file's size
    };
    Check check = Check::IncompleteHeader;
    int length = 0;       // bytes that came
    int whole = 0;        // bytes the frame's header announces (TooLong: its data length)
    bool header = false;  // the header came whole: the fields below are known
    Kind kind = Kind::Command;
    uint8_t command = 0;
    bool anyDevice = false;
    uint32_t device = 0;
    int dataLength = 0;  // as the header says
    Detail detail = Detail::None;
    uint32_t value = 0;
    std::string name;
};
FrameFacts DecodeFrame(bool sent, const uint8_t* bytes, int length);

// "check ok", "check BAD", or why the bytes are not a whole frame.
std::string FrameCheckText(const uint8_t* bytes, int length);
std::string FrameCheckText(const FrameFacts& facts);

// "read entry, device 12, length 2, entry 3"; a received frame whose command byte is no command
// is the device's refusal ("refusal 4, device 12, length 0"). Empty when the header is incomplete.
std::string FrameSummary(bool sent, const uint8_t* bytes, int length);
std::string FrameSummary(const FrameFacts& facts);

// The English line of vr7lon's trace.
std::string FrameTraceLine(long long elapsedMs, bool sent, const uint8_t* bytes, int length);
// The line with the check and the summary in other words.
std::string FrameTraceLine(long long elapsedMs, bool sent, const uint8_t* bytes, int length,
                           const std::string& check, const std::string& summary);
