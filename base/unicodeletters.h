#pragma once
// Unicode's letters and their lower case, any script, as the system's own tables know them.
// Without such tables (no UTF-8 locale installed) the Latin, Greek and Cyrillic letters still
// are letters, and A-Z have their lower case.

bool IsUnicodeLetter(char32_t cp);
char32_t UnicodeLower(char32_t cp);

// The letters known without the system's tables.
inline bool IsBasicLetter(char32_t cp) {
    return (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') ||
           (cp >= 0xC0 && cp <= 0x24F && cp != 0xD7 && cp != 0xF7) ||
           (cp >= 0x386 && cp <= 0x3FF && cp != 0x387) || (cp >= 0x400 && cp <= 0x52F);
}
