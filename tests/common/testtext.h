#pragma once
// Text helpers every test folder uses: Windows-1251 literals written in UTF-8, a file's bytes, and
// a text's lines.
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "base/u8path.h"

// The Windows-1251 bytes of a UTF-8 literal: the core's own text.
inline std::string W(const char* utf8) {
    return cp1251::FromUtf8(utf8).bytes();
}
inline std::string W(const std::string& utf8) {
    return cp1251::FromUtf8(utf8).bytes();
}
// The same as the type the borders take (messages, Qt, the terminal).
inline Cp1251String WT(const char* utf8) {
    return cp1251::FromUtf8(utf8);
}

// The UTF-8 of a Windows-1251 text: what vr7lon prints and the window shows.
inline std::string U(const Cp1251String& text) {
    return cp1251::ToUtf8(text);
}

// The whole file's bytes; empty when it cannot be read.
inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The lines of a text, without their '\n'.
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}
