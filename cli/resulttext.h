#pragma once
// A link, connection or protocol result as an engineer reads it: "result N: explanation".
#include <string>

#include "vr7types.h"

std::string ResultText(LinkResult result);

// The system's own English text of an errno value (a translated one would follow the locale).
std::string ErrnoText(int error);
