// The VR-7 protocol operations. Every answer is untrusted input from a peer: only the data bytes
// it announced (and that fitted the frame) are ever looked at.
#include "link/vr7prot.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kBlockRepeats = 8;
constexpr int kPositionSize = kBlockPositionSize;
static_assert(sizeof(DeviceInfo::Bytes) == kDeviceInfoSize);

// A refusal code as the caller sees it: a code of 0 would read as success.
LinkResult RefusalCode(uint8_t command) {
    return command == 0 ? 255 : command;
}

// Four bytes of an answer's data as a little-endian number; AnswerFits has made sure they came.
uint32_t AnswerU32(const uint8_t* response, int offset) {
    return GetLe32(FrameData(response) + offset);
}

// The header's systems: count pairs of zero-terminated texts, filling the data exactly.
bool HeaderFits(const uint8_t* data, int length) {
    if (length < kHeaderFixedSize) return false;
    if (length == kHeaderFixedSize) return true;
    const int count = data[kHeaderFixedSize];
    int pos = kHeaderFixedSize + 1;
    for (int text = 0; text < 2 * count; ++text) {
        const void* end = std::memchr(data + pos, 0, static_cast<size_t>(length - pos));
        if (end == nullptr) return false;
        pos = static_cast<int>(static_cast<const uint8_t*>(end) - data) + 1;
    }
    return pos == length;
}

// One exchange of a protocol operation: its command's answer rules, and for the identification
// a second answer listened for.
LinkResult CommandExchange(connection& conn, uint8_t* request, uint8_t* response,
                           CommandTiming timing);

// Opens the device's file name for reading or writing. For writing, 1001 when the device refuses
// it (its write protection is on). For reading, 1001 only when the device answers that it has no
// such file (kRefusedNoSuchFile); any other refusal is its code. An answer that does not fit the
// command (an open answer without the file's size, another command's answer) is garbled and never
// passes for a file the device does not have.
LinkResult OpenDeviceFile(connection& conn, uint32_t deviceNumber, uint8_t mode, const char* name,
                          uint8_t* request, uint8_t* response) {
    const size_t nameLength = std::strlen(name);
    if (nameLength > static_cast<size_t>(kMaxDeviceFileName)) return lr::BadArgument;
    SetFrameHeader(request, deviceNumber, static_cast<uint16_t>(1 + nameLength), cmdOpenFile);
    FrameData(request)[0] = mode;
    std::memcpy(FrameData(request) + 1, name, nameLength);
    const LinkResult r = CommandExchange(conn, request, response, conn.Timings.openFile);
    if (r != lr::Ok) return r;
    const uint8_t answered = FrameCommand(response);
    if (mode != kOpenForRead) return answered == cmdOpenFile ? lr::Ok : lr::BadArgument;
    if (answered == kRefusedNoSuchFile) return lr::BadArgument;
    if (answered != cmdOpenFile) return RefusalCode(answered);
    return lr::Ok;
}

// A block answer fit to be taken: the position and the file bytes after it (AnswerFits has seen
// to its length).
bool IsBlock(LinkResult r, const uint8_t* response) {
    return r == lr::Ok && FrameCommand(response) == cmdReadBlock;
}

// Why a block answer was not taken.
LinkResult BlockFailure(LinkResult r, const uint8_t* response) {
    if (r != lr::Ok) return r;
    return RefusalCode(FrameCommand(response));
}

float Fraction(uint64_t done, uint64_t total) {
    // An empty file is complete as soon as it is announced.
    if (total == 0) return 1.0f;
    return static_cast<float>(done) / static_cast<float>(total);
}

// Asks again for the block sent last, as the device expects after a lost answer.
LinkResult RepeatBlock(connection& conn, uint8_t* request, uint8_t* response) {
    LinkResult r = lr::Ok;
    FrameData(request)[0] = kSameBlockAgain;
    for (int i = 0; i < kBlockRepeats; ++i) {
        r = CommandExchange(conn, request, response, conn.Timings.block);
        if (IsBlock(r, response)) break;
    }
    FrameData(request)[0] = kNextBlock;
    return IsBlock(r, response) ? lr::Ok : BlockFailure(r, response);
}

LinkResult SendFileBlocks(connection& conn, uint32_t deviceNumber, std::istream& src, uint64_t size,
                          uint8_t* request, uint8_t* response, IProgressSink* progress) {
    uint64_t done = 0;
    while (done < size) {
        const auto n = static_cast<std::streamsize>(std::min<uint64_t>(size - done, kMaxFrameData));
        src.read(reinterpret_cast<char*>(FrameData(request)), n);
        const std::streamsize got = src.gcount();
        // The source shrank or failed: what the device would get is not the file.
        if (got <= 0) return lr::Unacknowledged;
        src.clear(src.rdstate() & ~std::ios::failbit & ~std::ios::eofbit);
        SetFrameHeader(request, deviceNumber, static_cast<uint16_t>(got), cmdWriteBlock);
        done += static_cast<uint64_t>(got);

        const LinkResult r = CommandExchange(conn, request, response, conn.Timings.block);
        if (r != lr::Ok) return r;
        if (FrameCommand(response) != cmdWriteBlock) return RefusalCode(FrameCommand(response));
        if (FrameData(response)[0] != kBlockAccepted) return lr::Unacknowledged;
        if (progress) progress->ShowProgress(std::string(), Fraction(done, size));
    }
    return lr::Ok;
}

}  // namespace

namespace {

LinkResult ExchangeWith(connection& conn, uint8_t* request, uint8_t* response, uint8_t attempts,
                        unsigned timeoutMs, const AnswerRules& rules) {
    if (request == nullptr || response == nullptr) return lr::BadArgument;
    const int length = FrameLength(request);
    if (length > kMaxFrameData) return lr::BadArgument;
    SetFrameCheck(request);
    // Nothing of an earlier answer may survive into this one.
    std::memset(response, 0, kFrameSize);
    LinkResult r = conn.Transact(request, length + kFrameOverhead, response, kFrameSize, timeoutMs,
                                 attempts, rules);
    if (r == lr::Ok && FrameCheckFails(response)) r = lr::BadCheck;
    if (r != lr::Ok) conn.NoteFailedExchange(r);
    return r;
}

LinkResult CommandExchange(connection& conn, uint8_t* request, uint8_t* response,
                           CommandTiming timing) {
    AnswerRules rules;
    rules.fits = AnswerFits;
    rules.listenForSecond = FrameCommand(request) == cmdIdentify;
    return ExchangeWith(conn, request, response, timing.attempts, timing.timeoutMs, rules);
}

}  // namespace

bool AnswerFits(const uint8_t* request, const uint8_t* response) {
    const uint8_t asked = FrameCommand(request);
    const uint8_t command = FrameCommand(response);
    const int length = FrameLength(response);
    if (command != asked) return !IsCommandCode(command);
    switch (asked) {
        case cmdIdentify:
            return length == kDeviceInfoSize;
        case cmdReadHeader:
            return HeaderFits(FrameData(response), length);
        case cmdReadEntry:
            return length == kConfigEntrySize;
        case cmdOpenFile: {
            const bool forWriting =
                FrameLength(request) >= 1 && FrameData(request)[0] == kOpenForWrite;
            return length == kFileSizeSize || (forWriting && length == 0);
        }
        case cmdReadBlock:
            return length >= kPositionSize;
        case cmdWriteBlock:
            // The closing block's acknowledgement may carry nothing, and then equals its request.
            return length == 1 || (FrameLength(request) == 0 && length == 0);
        default:
            return true;
    }
}

LinkResult Exchange(connection& conn, uint8_t* request, uint8_t* response, uint8_t attempts,
                    unsigned timeoutMs) {
    return ExchangeWith(conn, request, response, attempts, timeoutMs, AnswerRules{});
}

LinkResult Exchange(connection& conn, uint8_t* request, uint8_t* response, CommandTiming timing) {
    return Exchange(conn, request, response, timing.attempts, timing.timeoutMs);
}

namespace {

// One request of the commands that answer with their own command byte or a refusal code:
// identification and the configuration reads. request holds its data already.
LinkResult Ask(connection& conn, uint32_t address, uint8_t command, uint16_t length,
               uint8_t* request, uint8_t* response, CommandTiming timing) {
    SetFrameHeader(request, address, length, command);
    const LinkResult r = CommandExchange(conn, request, response, timing);
    if (r != lr::Ok) return r;
    if (FrameCommand(response) != command) return RefusalCode(FrameCommand(response));
    return lr::Ok;
}

}  // namespace

LinkResult ReadDeviceInfo(connection& conn, uint32_t address, DeviceInfo& info) {
    uint8_t request[kFrameSize];
    uint8_t response[kFrameSize];
    const LinkResult r =
        Ask(conn, address, cmdIdentify, 0, request, response, conn.Timings.identify);
    if (r != lr::Ok) return r;

    std::memcpy(info.Bytes.data(), FrameData(response), info.Bytes.size());
    return lr::Ok;
}

LinkResult ReadDeviceFile(connection& conn, uint32_t deviceNumber, std::ostream* dest,
                          const char* name, IProgressSink* progress) {
    if (dest == nullptr || name == nullptr) return lr::BadArgument;
    uint8_t request[kFrameSize];
    uint8_t response[kFrameSize];

    LinkResult r = OpenDeviceFile(conn, deviceNumber, kOpenForRead, name, request, response);
    if (r != lr::Ok) return r;
    const uint64_t total = AnswerU32(response, 0);
    if (total > kMaxDeviceFileBytes) return lr::FileTooLarge;
    uint64_t done = 0;  // file bytes taken so far

    SetFrameHeader(request, deviceNumber, 1, cmdReadBlock);
    FrameData(request)[0] = kNextBlock;
    for (;;) {
        r = CommandExchange(conn, request, response, conn.Timings.block);
        if (r != lr::Ok) {
            r = RepeatBlock(conn, request, response);
            if (r != lr::Ok) return r;
        } else if (!IsBlock(r, response)) {
            return BlockFailure(r, response);
        }

        // Each block's position is where it ends: the bytes before it plus its own. A block that
        // would go beyond the announced size, or whose position repeats or jumps, ends the
        // transfer before anything of it is kept.
        const uint64_t bytes = FrameLength(response) - kPositionSize;
        const uint64_t position = AnswerU32(response, 0);
        if (done + bytes > total || position != done + bytes) return lr::Incomplete;
        if (progress) progress->ShowProgress(std::string(), Fraction(position, total));
        if (bytes == 0) return done == total ? lr::Ok : lr::Incomplete;
        dest->write(reinterpret_cast<const char*>(FrameData(response) + kPositionSize),
                    static_cast<std::streamsize>(bytes));
        done += bytes;
    }
}

LinkResult WriteDeviceFile(connection& conn, uint32_t deviceNumber, std::istream* src,
                           const char* name, IProgressSink* progress) {
    if (src == nullptr || name == nullptr) return lr::Unacknowledged;
    uint8_t request[kFrameSize];
    uint8_t response[kFrameSize];

    LinkResult r = OpenDeviceFile(conn, deviceNumber, kOpenForWrite, name, request, response);
    if (r != lr::Ok) return r;

    src->seekg(0, std::ios::end);
    const std::streamoff size = src->tellg();
    src->seekg(0, std::ios::beg);
    if (size < 0 || !*src)
        r = lr::Unacknowledged;
    else
        r = SendFileBlocks(conn, deviceNumber, *src, static_cast<uint64_t>(size), request, response,
                           progress);

    // The empty block closes the file, and a device keeps what it holds then as the file. After
    // a block that failed (refused, unanswered, cancelled) it is not sent: the device must not
    // take part of the new file for the settings it held. The file stays open in the device
    // until the next open, which starts afresh.
    if (r != lr::Ok) return r;
    SetFrameHeader(request, deviceNumber, 0, cmdWriteBlock);
    const LinkResult closed = CommandExchange(conn, request, response, conn.Timings.block);
    // Unanswered or refused, the file may not have been committed: after blocks that all went
    // in, that is the upload's result.
    if (closed != lr::Ok) return closed;
    if (FrameCommand(response) != cmdWriteBlock) return RefusalCode(FrameCommand(response));
    return lr::Ok;
}

LinkResult ReadConfigEntry(connection& conn, uint32_t deviceNumber, uint16_t index, uint8_t* buffer,
                           int capacity, int* length) {
    if (buffer == nullptr && capacity > 0) return lr::BadArgument;
    uint8_t request[kFrameSize];
    uint8_t response[kFrameSize];
    PutLe16(FrameData(request), index);
    const LinkResult r =
        Ask(conn, deviceNumber, cmdReadEntry, 2, request, response, conn.Timings.config);
    if (r != lr::Ok) return r;

    const int n = std::min(std::max(capacity, 0), kConfigEntrySize);
    if (n > 0) std::memcpy(buffer, FrameData(response), static_cast<size_t>(n));
    if (length) *length = n;
    return lr::Ok;
}

namespace {

// The next zero-terminated text of data[pos, end); a text cut by the end of the data ends there.
std::string TakeText(const uint8_t* data, int end, int& pos) {
    const int start = pos;
    while (pos < end && data[pos] != 0) ++pos;
    std::string text(reinterpret_cast<const char*>(data + start), static_cast<size_t>(pos - start));
    if (pos < end) ++pos;  // the terminator
    return text;
}

}  // namespace

LinkResult ReadConfigHeader(connection& conn, uint32_t deviceNumber, SConfigInfo& header) {
    constexpr int kSystemSlots = 9;
    constexpr int kCountOffset = 8;
    uint8_t request[kFrameSize];
    uint8_t response[kFrameSize];
    const LinkResult r =
        Ask(conn, deviceNumber, cmdReadHeader, 0, request, response, conn.Timings.config);
    if (r != lr::Ok) return r;

    SConfigInfo parsed;
    parsed.EntryCount = AnswerU32(response, 0);
    parsed.HeaderValue2 = AnswerU32(response, 4);
    const int length = FrameLength(response);
    if (length > kCountOffset) {
        const uint8_t* data = FrameData(response);
        // The header has nine slots; a larger count is held to them so that nobody walks past.
        const int count = std::min<int>(data[kCountOffset], kSystemSlots);
        parsed.SystemCount = static_cast<uint8_t>(count);
        int pos = kCountOffset + 1;
        for (int i = 0; i < count && pos < length; ++i) {
            parsed.SystemName[i] = TakeText(data, length, pos);
            parsed.SystemText2[i] = TakeText(data, length, pos);
        }
    } else {
        parsed.SystemCount = kSystemSlots;
    }
    header = std::move(parsed);
    return lr::Ok;
}
