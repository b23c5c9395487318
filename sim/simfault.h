#pragma once
// Misbehaviour on request, so that every failure path of the system meets a real peer.
#include <string>

enum class SimFaultKind {
    Silent,          // no answer at all (the request is carried out, its answer lost)
    BadCheck,        // the answer's SUM byte is wrong
    Refuse,          // the command byte of the answer is value (0 allowed), no data
    CutData,         // the answer carries only its first value data bytes (a consistent frame)
    ShortAnswer,     // value bytes (at least 1) of the announced frame never come
    LongAnswer,      // value (at least 1) stray bytes follow the frame
    OversizeLength,  // the length field says value (default 1100) and that many bytes follow
    NoAck,           // the command is answered with one data byte, value, instead of its result
    Close,           // half the answer, then the connection closes (over a pty: then silence)
    Delay,           // value ms pass before the normal answer
    Trickle,         // the normal answer, one byte every value ms (the first one too)
    Garbage,         // value (at least 1) bytes of noise instead of the answer
    WrongSize,       // a file opened for reading is announced as value bytes long (its own
                     // bytes are served as they are)
    EndlessFile,     // every block read brings value (default: as many as fit) new bytes, the
                     // position moving on past the file's end for ever
    StuckPosition,   // every block read is answered with the block sent last (the first block
                     // when none was): its position never moves on
    WrongCommand,    // the normal answer with command byte value (0: the command + 0x40)
    Late,            // as Delay, for one request unless times says more (-1 counts as 1): the
                     // device is busy for a moment; what arrives meanwhile waits its turn
    Duplicate,       // the normal answer twice, one right after the other (a line or converter
                     // that repeats it)
};

// A fault applies to the requests addressed to the device that match command (-1: any) and,
// for entry reads, entry (-1: any): the first skip of them pass normally, the next times (-1:
// all) get the fault. Every matching request counts, a repeated one too; at the file blocks
// written that includes the empty block closing an upload. The first matching fault in the list
// decides.
struct SimFault {
    SimFaultKind kind = SimFaultKind::Silent;
    int command = -1;
    int entry = -1;
    int skip = 0;
    int times = -1;
    int value = 0;
};

// A fault as vr7sim's --fault takes it: KIND[,at=WHERE][,value=N][,skip=N][,times=N]. WHERE is
// tree (the configuration entries), download (file blocks read), upload (file blocks written),
// open (file opens), identify, header, any (the default) or a command number; times defaults to
// all, for late to 1. False with the reason when the text is not one.
bool ParseSimFault(const std::string& text, SimFault& fault, std::string* error = nullptr);

// The --fault part of vr7sim's help: the syntax, every kind and every place.
const char* SimFaultHelp();
