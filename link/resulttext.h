#pragma once
// A link, connection or protocol result as an engineer reads it: "result N: explanation".
#include <string>

#include "link/vr7types.h"

// A serial port that went away under a command, an adapter pulled out: a 1020 whose errno is
// what a hung-up or removed tty gives (EIO, ENODEV, ENXIO). Nothing else gives these on a link.
bool PortDisappeared(LinkResult result, int systemError);

// What a result says, decided once; ResultText puts it in English words (vr7lon, scripts), the
// window's exchange log in the user's words (app/messages).
struct ResultFacts {
    enum class Kind : uint8_t {
        PortGone,    // a serial port that went away under the command
        PeerClosed,  // 1003: the device closed the connection
        Known,       // a result of the link with its own explanation
        Refusal,     // 1..255: the device's refusal code
        Unknown,
    };
    enum class Note : uint8_t { None, NotTerminal, SystemError };
    LinkResult result = lr::Ok;
    Kind kind = Kind::Unknown;
    Note note = Note::None;  // what follows the explanation in parentheses
    int systemError = 0;
};
ResultFacts DescribeResult(LinkResult result, int systemError = 0);

// systemError: the errno kept for a 1020 (connection::SystemErrorNumber()), named in the text.
std::string ResultText(LinkResult result, int systemError = 0);
