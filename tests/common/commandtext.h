#pragma once
// A device command's message as the window shows it, for the tests of the commands: the words
// app/messages gives the result's facts, with the next step on a line of its own.
#include <cstdint>

#include "app/messages.h"
#include "base/lebytes.h"
#include "base/messagesink.h"
#include "link/vr7types.h"

// Shows result's message (when it has one) through sink, as the window does; returns result.
template <class Result>
Result Shown(Result result, IMessageSink& sink) {
    const Cp1251String text = usertext::CommandMessageWithStep(result.message, result.next);
    if (!text.empty()) sink.ShowMessage(text);
    return result;
}

// The identification of a device of that firmware and number, for the texts that name them.
inline DeviceInfo InfoOf(uint8_t major, uint8_t minor, uint16_t build, uint32_t number = 12) {
    DeviceInfo info;
    PutLe16(&info.Bytes[2], build);
    info.Bytes[4] = minor;
    info.Bytes[5] = major;
    PutLe32(&info.Bytes[21], number);
    return info;
}
