#include "base/unicodeletters.h"

#include <windows.h>

// Windows' own tables answer for the characters of UTF-16's first plane; beyond it, the letters
// known without them.

bool IsUnicodeLetter(char32_t cp) {
    if (cp < 0x80 || cp > 0xFFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return IsBasicLetter(cp);
    return ::IsCharAlphaW(static_cast<WCHAR>(cp)) != FALSE;
}

char32_t UnicodeLower(char32_t cp) {
    if (cp > 0xFFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return cp;
    WCHAR c = static_cast<WCHAR>(cp);
    ::CharLowerBuffW(&c, 1);
    return c;
}
