#pragma once
// The tokens of a gateway settings file, read with one character of look-ahead. White space is
// exactly space, tab, LF, VT, FF and CR, whatever the locale; every other byte, 0xFF included, is
// part of a token.
#include <string>
#include <string_view>

class GatewayTokenReader {
  public:
    static constexpr int kEnd = -1;

    // Takes a file descriptor open for reading (not closed here). A read error ends the file.
    explicit GatewayTokenReader(int fd) : fd_(fd) {}
    // Reads the bytes of a file already in memory (kept by the caller while reading).
    explicit GatewayTokenReader(std::string_view bytes)
        : data_(bytes.data()), size_(bytes.size()), ended_(true) {}

    // The first token of a line: white space, line ends included, is skipped before it.
    std::string FirstToken();
    // A further token of the same line: empty once the line has ended, so that a missing field
    // never takes the next line's first one.
    std::string LineToken();
    // Skips to the line's LF (or the end of the file).
    void SkipRestOfLine();
    // Skips spaces, CR and LF (not tabs) between lines.
    void SkipLineBreaks();

    int LookAhead() const { return look_; }
    bool AtEnd() const { return look_ == kEnd; }

    static bool IsSpace(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

  private:
    // The next byte into look_: from the buffer, refilled when it is used up.
    void Advance() {
        if (pos_ < size_) {
            look_ = static_cast<unsigned char>(data_[pos_++]);
            return;
        }
        Refill();
    }
    void Refill();
    std::string Collect();

    int fd_ = -1;
    int look_ = ' ';
    char buffer_[65536];
    const char* data_ = buffer_;  // buffer_, or the bytes in memory
    size_t pos_ = 0;
    size_t size_ = 0;
    bool ended_ = false;
};
