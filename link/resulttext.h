#pragma once
// A link, connection or protocol result as an engineer reads it: "result N: explanation".
#include <string>

#include "vr7types.h"

// systemError: the errno kept for a 1020 (connection::SystemErrorNumber()), named in the text.
std::string ResultText(LinkResult result, int systemError = 0);
