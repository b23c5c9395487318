#include "base/unicodeletters.h"

#include <locale.h>
#include <wctype.h>

namespace {

// The C.UTF-8 locale's character classes.
locale_t Utf8Ctype() {
    static const locale_t ctype = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return ctype;
}

}  // namespace

bool IsUnicodeLetter(char32_t cp) {
    if (cp < 0x80) return IsBasicLetter(cp);
    if (const locale_t ctype = Utf8Ctype()) return ::iswalpha_l(static_cast<wint_t>(cp), ctype);
    return IsBasicLetter(cp);
}

char32_t UnicodeLower(char32_t cp) {
    if (const locale_t ctype = Utf8Ctype())
        return static_cast<char32_t>(::towlower_l(static_cast<wint_t>(cp), ctype));
    return cp >= 'A' && cp <= 'Z' ? cp + ('a' - 'A') : cp;
}
