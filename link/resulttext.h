#pragma once
// A link, connection or protocol result as an engineer reads it: "result N: explanation".
#include <string>

#include "link/vr7types.h"

// A serial port that went away under a command, an adapter pulled out: a 1020 whose errno is
// what a hung-up or removed tty gives (EIO, ENODEV, ENXIO). Nothing else gives these on a link.
bool PortDisappeared(LinkResult result, int systemError);

// systemError: the errno kept for a 1020 (connection::SystemErrorNumber()), named in the text.
std::string ResultText(LinkResult result, int systemError = 0);
