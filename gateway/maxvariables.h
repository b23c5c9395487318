#pragma once
// The gateway's capacity in SNVT variables, from the catalogue's "LonCfg" "size".
#include <string>

#include "base/result.h"

class XmlDocument;

// The largest capacity whose register references (40001 upwards, at most two per SNVT variable)
// stay within 16 bits.
inline constexpr unsigned kMaxVariablesLimit = (65535 - 40001 + 1) / 2;

// The whole text must be a decimal integer (an optional sign, digits, nothing else) from 0 to
// kMaxVariablesLimit; otherwise an Invalid failure saying so. A caller that goes on without a
// capacity takes 0, so that nothing can be added.
Result<unsigned> ParseMaxVariables(const std::string& sizeText);

// ParseMaxVariables on the "size" attribute of the catalogue's first "LonCfg" child.
Result<unsigned> LoadMaxVariables(const XmlDocument& catalogue);
