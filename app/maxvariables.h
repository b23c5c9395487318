#pragma once
// The gateway's capacity in SNVT variables, from the catalogue's "LonCfg" "size".
#include <string>

class XmlDocument;

struct MaxVariablesResult {
    bool ok = false;
    unsigned value = 0;  // 0 when !ok, so that nothing can be added
    std::string error;   // Windows-1251, for the error display when !ok
};

// The largest capacity whose register references (40001 upwards, at most two per SNVT variable)
// stay within 16 bits.
inline constexpr unsigned kMaxVariablesLimit = (65535 - 40001 + 1) / 2;

// The whole text must be a decimal integer (an optional sign, digits, nothing else) from 0 to
// kMaxVariablesLimit.
MaxVariablesResult ParseMaxVariables(const std::string& sizeText);

// ParseMaxVariables on the "size" attribute of the catalogue's first "LonCfg" child.
MaxVariablesResult LoadMaxVariables(const XmlDocument& catalogue);
