#include "sim/simresponder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "base/lebytes.h"
#include "base/u8path.h"
#include "link/vr7frame.h"

namespace {

constexpr size_t kRequestLogLimit = 100000;
constexpr int kDefaultOversize = 1100;

void AppendU32(std::vector<uint8_t>& bytes, uint32_t v) {
    bytes.resize(bytes.size() + 4);
    PutLe32(&bytes[bytes.size() - 4], v);
}

// An uploaded name becomes a file name in the store folder only when it cannot leave it.
bool IsPlainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

}  // namespace

std::vector<uint8_t> SimResponder::Frame(uint8_t command, const std::vector<uint8_t>& data) const {
    return MakeFrame(device_.number, command, data);
}

SimFault* SimResponder::MatchFault(uint8_t command, const std::vector<uint8_t>& frame) {
    for (SimFault& f : faults_) {
        if (f.times == 0) continue;
        if (f.command >= 0 && f.command != command) continue;
        if (f.entry >= 0) {
            if (command != cmdReadEntry || FrameLength(frame.data()) < 2) continue;
            const int index = GetLe16(FrameData(frame.data()));
            if (index != f.entry) continue;
        }
        if (f.skip > 0) {
            --f.skip;
            return nullptr;
        }
        if (f.kind == SimFaultKind::Late && f.times < 0) f.times = 1;  // a moment, not for ever
        if (f.times > 0) --f.times;
        return &f;
    }
    return nullptr;
}

void SimResponder::Log(const std::vector<uint8_t>& frame) {
    if (requests_.size() >= kRequestLogLimit) requests_.pop_front();
    requests_.push_back(frame);
}

SimReply SimResponder::Respond(const std::vector<uint8_t>& frame) {
    const uint32_t address = FrameAddress(frame.data());
    if (address != device_.number && address != AnyDeviceAddress) return {};

    const uint8_t command = FrameCommand(frame.data());
    const int length = FrameLength(frame.data());
    const uint8_t* data = FrameData(frame.data());
    const SimFault* fault = MatchFault(command, frame);

    SimReply reply;
    if (fault == nullptr) {
        reply.bytes = Process(command, data, length);
        return reply;
    }
    switch (fault->kind) {
        case SimFaultKind::Silent:
            // The answer is lost on its way: the device did carry the request out, which is what
            // a repeat request for the same file block relies on.
            Process(command, data, length);
            break;
        case SimFaultKind::Refuse:
            reply.bytes = Frame(static_cast<uint8_t>(fault->value), {});
            break;
        case SimFaultKind::NoAck:
            reply.bytes = Frame(command, {static_cast<uint8_t>(fault->value)});
            break;
        case SimFaultKind::Garbage:
            reply.bytes.resize(static_cast<size_t>(std::max(fault->value, 1)));
            for (size_t i = 0; i < reply.bytes.size(); ++i)
                reply.bytes[i] = static_cast<uint8_t>(0xA7 + i * 31);
            break;
        case SimFaultKind::EndlessFile: {
            if (command != cmdReadBlock || transfer_ != Transfer::Reading) {
                reply.bytes = Process(command, data, length);
                break;
            }
            const int n =
                fault->value > 0 ? std::min(fault->value, kMaxBlockFileBytes) : kMaxBlockFileBytes;
            if (endlessPos_ < readPos_) endlessPos_ = static_cast<uint32_t>(readPos_);
            endlessPos_ += static_cast<uint32_t>(n);
            std::vector<uint8_t> block;
            AppendU32(block, endlessPos_);
            block.resize(block.size() + static_cast<size_t>(n), 0x45);
            reply.bytes = Frame(cmdReadBlock, block);
            break;
        }
        case SimFaultKind::StuckPosition:
            if (command == cmdReadBlock && transfer_ == Transfer::Reading && !lastBlock_.empty())
                reply.bytes = Frame(cmdReadBlock, lastBlock_);
            else
                reply.bytes = Process(command, data, length);
            break;
        case SimFaultKind::WrongCommand:
            reply.bytes = Process(command, data, length);
            reply.bytes[kFrameCommandAt] = fault->value != 0 ? static_cast<uint8_t>(fault->value)
                                                             : static_cast<uint8_t>(command + 0x40);
            SetFrameCheck(reply.bytes.data());
            break;
        case SimFaultKind::WrongSize:
            reply.bytes = Process(command, data, length);
            if (command == cmdOpenFile && FrameCommand(reply.bytes.data()) == cmdOpenFile &&
                FrameLength(reply.bytes.data()) >= 4) {
                std::vector<uint8_t> size;
                AppendU32(size, static_cast<uint32_t>(fault->value));
                reply.bytes = Frame(cmdOpenFile, size);
            }
            break;
        case SimFaultKind::OversizeLength: {
            const int announced = fault->value > 0 ? fault->value : kDefaultOversize;
            reply.bytes.assign(static_cast<size_t>(announced) + kFrameOverhead, 0x5E);
            SetFrameHeader(reply.bytes.data(), device_.number, static_cast<uint16_t>(announced),
                           command);
            break;
        }
        default: {
            reply.bytes = Process(command, data, length);
            const int extra = std::max(fault->value, 1);
            if (fault->kind == SimFaultKind::BadCheck) {
                reply.bytes.back() ^= 0xFF;
            } else if (fault->kind == SimFaultKind::CutData) {
                std::vector<uint8_t> answer(reply.bytes.begin() + kFrameHeader,
                                            reply.bytes.end() - 2);
                answer.resize(std::min<size_t>(answer.size(), std::max(fault->value, 0)));
                reply.bytes = Frame(FrameCommand(reply.bytes.data()), answer);
            } else if (fault->kind == SimFaultKind::ShortAnswer) {
                reply.bytes.resize(reply.bytes.size() -
                                   std::min<size_t>(extra, reply.bytes.size()));
            } else if (fault->kind == SimFaultKind::LongAnswer) {
                reply.bytes.insert(reply.bytes.end(), static_cast<size_t>(extra), 0xEE);
            } else if (fault->kind == SimFaultKind::Close) {
                reply.bytes.resize(reply.bytes.size() / 2);
                reply.close = true;
            } else if (fault->kind == SimFaultKind::Delay || fault->kind == SimFaultKind::Late) {
                reply.delayMs = std::max(fault->value, 0);
            } else if (fault->kind == SimFaultKind::Trickle) {
                reply.byteGapMs = std::max(fault->value, 1);
            } else if (fault->kind == SimFaultKind::Duplicate) {
                const std::vector<uint8_t> once = reply.bytes;
                reply.bytes.insert(reply.bytes.end(), once.begin(), once.end());
            }
        }
    }
    return reply;
}

std::vector<uint8_t> SimResponder::Process(uint8_t command, const uint8_t* data, int length) {
    switch (command) {
        case cmdIdentify:
            return Frame(command, device_.Identification());
        case cmdReadHeader:
            return Frame(command, device_.Header());
        case cmdReadEntry:
            return ReadEntry(data, length);
        case cmdOpenFile:
            return OpenFile(data, length);
        case cmdReadBlock:
            return ReadBlock(data, length);
        case cmdWriteBlock:
            return WriteBlock(data, length);
        default:
            return Frame(kSimUnknownCommand, {});
    }
}

std::vector<uint8_t> SimResponder::ReadEntry(const uint8_t* data, int length) {
    if (length < 2) return Frame(kSimNoSuchEntry, {});
    const size_t index = GetLe16(data);
    if (index == 0 || index > device_.entries.size()) return Frame(kSimNoSuchEntry, {});
    return Frame(cmdReadEntry, device_.entries[index - 1]);
}

std::vector<uint8_t> SimResponder::OpenFile(const uint8_t* data, int length) {
    transfer_ = Transfer::None;
    if (length < 1) return Frame(kSimBadRequest, {});
    const uint8_t mode = data[0];
    fileName_.assign(reinterpret_cast<const char*>(data + 1), static_cast<size_t>(length - 1));
    fileBytes_.clear();
    readPos_ = 0;
    endlessPos_ = 0;
    lastBlock_.clear();

    if (mode == kOpenForRead) {
        auto it = device_.files.find(fileName_);
        if (it == device_.files.end()) return Frame(kSimNoSuchFile, {});
        fileBytes_ = it->second;
        transfer_ = Transfer::Reading;
        std::vector<uint8_t> size;
        AppendU32(size, static_cast<uint32_t>(fileBytes_.size()));
        return Frame(cmdOpenFile, size);
    }
    if (mode == kOpenForWrite) {
        if (device_.writeProtected) return Frame(kSimWriteProtected, {});
        transfer_ = Transfer::Writing;
        return Frame(cmdOpenFile, {});
    }
    return Frame(kSimBadRequest, {});
}

std::vector<uint8_t> SimResponder::ReadBlock(const uint8_t* data, int length) {
    if (transfer_ != Transfer::Reading || length < 1) return Frame(kSimNoTransfer, {});
    // A repeat request before any block has been sent asks for the first one.
    if (data[0] == kNextBlock || lastBlock_.empty()) {
        const size_t n = std::min<size_t>(fileBytes_.size() - readPos_, kMaxBlockFileBytes);
        lastBlock_.clear();
        AppendU32(lastBlock_, static_cast<uint32_t>(readPos_ + n));
        lastBlock_.insert(lastBlock_.end(), fileBytes_.begin() + static_cast<long>(readPos_),
                          fileBytes_.begin() + static_cast<long>(readPos_ + n));
        readPos_ += n;
    }
    return Frame(cmdReadBlock, lastBlock_);
}

std::vector<uint8_t> SimResponder::WriteBlock(const uint8_t* data, int length) {
    if (transfer_ != Transfer::Writing) return Frame(kSimNoTransfer, {});
    if (length == 0) {
        StoreUpload();
        transfer_ = Transfer::None;
    } else if (fileBytes_.size() + static_cast<size_t>(length) > kSimMaxFileBytes) {
        // The device's memory for files is bounded: an upload beyond it is refused and ends.
        fileBytes_ = {};
        transfer_ = Transfer::None;
        return Frame(kSimFileTooLarge, {});
    } else {
        fileBytes_.insert(fileBytes_.end(), data, data + length);
    }
    return Frame(cmdWriteBlock, {kBlockAccepted});
}

void SimResponder::StoreUpload() {
    // The stored file replaces the one of that name in any letter case, and keeps the new spelling.
    device_.files.erase(fileName_);
    device_.files.emplace(fileName_, fileBytes_);
    if (device_.storeDir.empty() || !IsPlainFileName(fileName_)) return;
    std::ofstream out(PathFromUtf8(device_.storeDir) / PathFromUtf8(fileName_),
                      std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(fileBytes_.data()),
              static_cast<std::streamsize>(fileBytes_.size()));
}
