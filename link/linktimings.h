#pragma once
// How long the system waits for a device and how often it asks. The defaults are what devices
// are used to (changing them changes how long a device is given to answer); a connection carries
// its own copy, so that a test can scale every wait down and a silent device costs milliseconds.
#include <cstdint>

struct CommandTiming {
    uint8_t attempts;
    unsigned timeoutMs;
};

struct LinkTimings {
    // The protocol's commands.
    CommandTiming identify{3, 800};  // 0x01
    CommandTiming openFile{1, 500};  // 0x05
    CommandTiming block{1, 1000};    // 0x06 and 0x07
    CommandTiming config{3, 500};    // 0x21 and 0x23

    // The serial link: a read waits its timeout plus byteUs per byte asked, a write serialWriteMs
    // plus byteUs per byte (1 ms a byte is about what 9600 Bd takes).
    unsigned serialWriteMs = 300;
    unsigned byteUs = 1000;

    // The wait for one answer ends at the command's timeout plus the link's allowance after the
    // request went out, however the answer's bytes trickle in: on a serial line byteUs for each
    // byte of the answer, over TCP/IP tcpReadExtraMs.
    //
    // The TCP/IP link: a read ends at its timeout plus tcpReadExtraMs; a send
    // that cannot go on for tcpWriteMs closes the link; input that keeps coming for tcpPurgeMs
    // fails the purge; each address gets tcpConnectMs to accept.
    unsigned tcpReadExtraMs = 1000;
    unsigned tcpWriteMs = 1000;
    unsigned tcpPurgeMs = 1000;
    unsigned tcpConnectMs = 21000;

    // A request's echo (a line that hands it back) may come this long after the request's wire
    // time and its allowance per byte: a USB converter passes received bytes on in bursts.
    unsigned echoMs = 50;
    // After the identification's answer the line is listened to this long (beyond the wire time
    // of a header) for a second answer: two devices of one number answer one after the other.
    unsigned secondAnswerMs = 30;

    // Every wait times factor (at least 1 ms, or 1 us a byte); the attempts stay as they are.
    constexpr LinkTimings Scaled(double factor) const {
        auto scale = [factor](unsigned value) {
            const double scaled = value * factor;
            return scaled < 1 ? 1u : static_cast<unsigned>(scaled);
        };
        LinkTimings t = *this;
        for (CommandTiming* c : {&t.identify, &t.openFile, &t.block, &t.config})
            c->timeoutMs = scale(c->timeoutMs);
        for (unsigned* v : {&t.serialWriteMs, &t.byteUs, &t.tcpReadExtraMs, &t.tcpWriteMs,
                            &t.tcpPurgeMs, &t.tcpConnectMs, &t.echoMs, &t.secondAnswerMs})
            *v = scale(*v);
        return t;
    }
};
