#include "sim/simfault.h"

#include <cstdint>
#include <cstdlib>

#include "base/parseuint.h"
#include "link/vr7frame.h"

namespace {

struct KindName {
    const char* name;
    SimFaultKind kind;
};

constexpr KindName kKinds[] = {
    {"silent", SimFaultKind::Silent},       {"garbage", SimFaultKind::Garbage},
    {"badcheck", SimFaultKind::BadCheck},   {"wrongcommand", SimFaultKind::WrongCommand},
    {"refuse", SimFaultKind::Refuse},       {"close", SimFaultKind::Close},
    {"trickle", SimFaultKind::Trickle},     {"endless", SimFaultKind::EndlessFile},
    {"stuck", SimFaultKind::StuckPosition}, {"wrongsize", SimFaultKind::WrongSize},
    {"cut", SimFaultKind::CutData},         {"short", SimFaultKind::ShortAnswer},
    {"long", SimFaultKind::LongAnswer},     {"oversize", SimFaultKind::OversizeLength},
    {"noack", SimFaultKind::NoAck},         {"delay", SimFaultKind::Delay},
    {"late", SimFaultKind::Late},           {"dup", SimFaultKind::Duplicate},
};

struct PlaceName {
    const char* name;
    int command;
};

constexpr PlaceName kPlaces[] = {
    {"any", -1},
    {"tree", cmdReadEntry},
    {"download", cmdReadBlock},
    {"upload", cmdWriteBlock},
    {"open", cmdOpenFile},
    {"identify", cmdIdentify},
    {"header", cmdReadHeader},
};

bool Fail(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
}

// A whole decimal or 0x-prefixed hexadecimal number that fits an int.
bool ParseInt(const std::string& text, int& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 0);
    if (*end != '\0' || v < -1 || v > 0x7FFFFFFF) return false;
    value = static_cast<int>(v);
    return true;
}

}  // namespace

bool ParseSimFault(const std::string& text, SimFault& fault, std::string* error) {
    SimFault parsed;
    bool timesGiven = false;
    size_t pos = 0;
    bool first = true;
    while (pos <= text.size()) {
        const size_t comma = text.find(',', pos);
        const std::string part =
            text.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        pos = comma == std::string::npos ? text.size() + 1 : comma + 1;
        if (first) {
            first = false;
            bool known = false;
            for (const KindName& k : kKinds) {
                if (part == k.name) {
                    parsed.kind = k.kind;
                    known = true;
                }
            }
            if (!known) return Fail(error, "unknown fault kind: " + part);
            continue;
        }
        const size_t eq = part.find('=');
        const std::string key = part.substr(0, eq);
        const std::string value = eq == std::string::npos ? "" : part.substr(eq + 1);
        if (key == "at") {
            bool known = false;
            for (const PlaceName& p : kPlaces) {
                if (value == p.name) {
                    parsed.command = p.command;
                    known = true;
                }
            }
            if (!known && !(ParseInt(value, parsed.command) && parsed.command <= 0xFF))
                return Fail(error, "unknown place: " + value);
        } else if (key == "value") {
            if (!ParseInt(value, parsed.value)) return Fail(error, "bad value: " + value);
        } else if (key == "skip") {
            if (!ParseInt(value, parsed.skip) || parsed.skip < 0)
                return Fail(error, "bad skip: " + value);
        } else if (key == "times") {
            if (!ParseInt(value, parsed.times)) return Fail(error, "bad times: " + value);
            timesGiven = true;
        } else {
            return Fail(error, "unknown fault setting: " + part);
        }
    }
    if (parsed.kind == SimFaultKind::Late && !timesGiven) parsed.times = 1;
    fault = parsed;
    return true;
}

const char* SimFaultHelp() {
    return "--fault KIND[,at=WHERE][,value=N][,skip=N][,times=N]  (repeatable; the first that\n"
           "        matches a request decides) misbehaves on the requests at WHERE: the first\n"
           "        skip of them pass, the next times (default: all; late: 1) get the fault.\n"
           "        Every request at WHERE counts, a repeated one too.\n"
           "  KIND: silent        no answer (the request is still carried out)\n"
           "        garbage       value bytes of noise instead of the answer\n"
           "        badcheck      the answer's check byte is wrong\n"
           "        wrongcommand  the answer carries command byte value (0: command + 0x40)\n"
           "        refuse        a refusal with code value\n"
           "        close         half the answer, then the connection closes (pty: silence)\n"
           "        trickle       the answer one byte every value ms\n"
           "        endless       a download whose blocks never end (value bytes each)\n"
           "        stuck         a download whose position never moves on\n"
           "        wrongsize     a download announced as value bytes long\n"
           "        cut           only the first value data bytes of the answer\n"
           "        short         the last value bytes of the answer never come\n"
           "        long          value stray bytes after the answer\n"
           "        oversize      a length field of value (default 1100) and that many bytes\n"
           "        noack         one data byte value instead of the answer's data\n"
           "        delay         the answer after value ms\n"
           "        dup           the answer twice, one right after the other\n"
           "        late          the answer after value ms, to one request (unless times says\n"
           "                      more): the device is busy; requests arriving meanwhile are\n"
           "                      answered in order behind it, each after the one before\n"
           "  WHERE: tree (configuration entries), download (file blocks read), upload (file\n"
           "        blocks written), open (file opens), identify, header, any (default), or a\n"
           "        command number such as 0x23. At upload every block counts, the empty one\n"
           "        closing the upload too: it is the last block, so skip=N (N the number of\n"
           "        data blocks) picks it, e.g. late,at=upload,skip=1,value=500 for a file that\n"
           "        fits one block.\n";
}
