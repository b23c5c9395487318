#include "app/maxvariables.h"

#include "optlist/optlist.h"

namespace {

MaxVariablesResult Failure(std::string error) {
    MaxVariablesResult result;
    result.error = std::move(error);
    return result;
}

}  // namespace

MaxVariablesResult ParseMaxVariables(const std::string& sizeText) {
    const std::string notInteger = "'" + sizeText + "' is not a valid integer value";
    size_t i = 0;
    bool negative = false;
    if (i < sizeText.size() && (sizeText[i] == '+' || sizeText[i] == '-')) {
        negative = sizeText[i] == '-';
        ++i;
    }
    if (i == sizeText.size()) return Failure(notInteger);
    unsigned long long value = 0;
    for (; i < sizeText.size(); ++i) {
        const char c = sizeText[i];
        if (c < '0' || c > '9') return Failure(notInteger);
        // Saturate: anything this large is out of range anyway.
        if (value <= kMaxVariablesLimit) value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (negative && value != 0) value = kMaxVariablesLimit + 1ull;
    if (value > kMaxVariablesLimit) {
        return Failure("'" + sizeText + "' is not a number of SNVT variables from 0 to " +
                       std::to_string(kMaxVariablesLimit));
    }
    MaxVariablesResult result;
    result.ok = true;
    result.value = static_cast<unsigned>(value);
    return result;
}

MaxVariablesResult LoadMaxVariables(const XmlDocument& catalogue) {
    return ParseMaxVariables(GetFirstChildAttr(catalogue, "LonCfg", "size"));
}
