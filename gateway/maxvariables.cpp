#include "gateway/maxvariables.h"

#include "base/cp1251.h"
#include "optlist/optlist.h"

namespace {

// The attribute's text is the catalogue's, in Windows-1251; a failure's reason is UTF-8.
Failure NotUsable(const std::string& text) {
    return Failure::OfInvalid(cp1251::ToUtf8(Cp1251String(text)));
}

}  // namespace

Result<unsigned> ParseMaxVariables(const std::string& sizeText) {
    const std::string notInteger = "'" + sizeText + "' is not a valid integer value";
    size_t i = 0;
    bool negative = false;
    if (i < sizeText.size() && (sizeText[i] == '+' || sizeText[i] == '-')) {
        negative = sizeText[i] == '-';
        ++i;
    }
    if (i == sizeText.size()) return NotUsable(notInteger);
    unsigned long long value = 0;
    for (; i < sizeText.size(); ++i) {
        const char c = sizeText[i];
        if (c < '0' || c > '9') return NotUsable(notInteger);
        // Saturate: anything this large is out of range anyway.
        if (value <= kMaxVariablesLimit) value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (negative && value != 0) value = kMaxVariablesLimit + 1ull;
    if (value > kMaxVariablesLimit) {
        return NotUsable("'" + sizeText + "' is not a number of SNVT variables from 0 to " +
                         std::to_string(kMaxVariablesLimit));
    }
    return static_cast<unsigned>(value);
}

Result<unsigned> LoadMaxVariables(const XmlDocument& catalogue) {
    return ParseMaxVariables(GetFirstChildAttr(catalogue, "LonCfg", "size"));
}
