#pragma once
// The device side of the protocol: takes one intact request frame and says what the device
// answers. Holds the state of the file transfer in progress, as a real device does.
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "sim/simdevice.h"
#include "sim/simfault.h"

struct SimReply {
    std::vector<uint8_t> bytes;  // empty: silence
    int delayMs = 0;             // the answer starts this long after it could have
    int byteGapMs = 0;   // > 0: the bytes go out one by one, this long apart, the first one too
    bool close = false;  // close the connection after sending bytes
};

class SimResponder {
  public:
    explicit SimResponder(SimDevice device) : device_(std::move(device)) {}

    // frame holds one whole request with correct check bytes: logged, then answered.
    SimReply Handle(const std::vector<uint8_t>& frame) {
        Log(frame);
        return Respond(frame);
    }
    // What Handle answers, the request left out of this device's log (one that is logged
    // elsewhere, as a line's log does for all its devices).
    SimReply Respond(const std::vector<uint8_t>& frame);
    void Log(const std::vector<uint8_t>& frame);

    SimDevice& Device() { return device_; }
    std::vector<SimFault>& Faults() { return faults_; }
    // Every intact request received, addressed to this device or not (the most recent ones).
    std::vector<std::vector<uint8_t>> Requests() const {
        return std::vector<std::vector<uint8_t>>(requests_.begin(), requests_.end());
    }
    void ClearRequests() { requests_.clear(); }
    size_t RequestCount() const { return requests_.size(); }

  private:
    enum class Transfer { None, Reading, Writing };

    SimFault* MatchFault(uint8_t command, const std::vector<uint8_t>& frame);
    std::vector<uint8_t> Process(uint8_t command, const uint8_t* data, int length);
    std::vector<uint8_t> OpenFile(const uint8_t* data, int length);
    std::vector<uint8_t> ReadBlock(const uint8_t* data, int length);
    std::vector<uint8_t> WriteBlock(const uint8_t* data, int length);
    std::vector<uint8_t> ReadEntry(const uint8_t* data, int length);
    void StoreUpload();
    std::vector<uint8_t> Frame(uint8_t command, const std::vector<uint8_t>& data) const;

    SimDevice device_;
    std::vector<SimFault> faults_;
    // The newest requests, oldest first; a deque, so that dropping the oldest costs nothing.
    std::deque<std::vector<uint8_t>> requests_;

    Transfer transfer_ = Transfer::None;
    std::string fileName_;
    std::vector<uint8_t> fileBytes_;  // the file being read out, or the upload so far
    size_t readPos_ = 0;
    std::vector<uint8_t> lastBlock_;  // data of the last 0x06 answer, for a repeat request
    uint32_t endlessPos_ = 0;         // the position of a never-ending file (EndlessFile)
};
