#pragma once
// Text vr7lon prints for a person to read, with the control characters a terminal would act on
// shown instead: a caption from a device, a cell of a plan or a line of a file can then neither
// move the cursor, retitle the window, ring the bell nor hide what follows it. The rule, kept
// here alone:
//   ESC \e, BEL \a, BS \b, tab \t, LF \n, VT \v, FF \f, CR \r, any other C0 control and DEL
//   \xHH, a C1 control (U+0080..U+009F) \u00HH, and the backslash itself \\, so that an escape
//   can always be told from the same characters typed.
// The printouts (list, tree, diff, the fleet's table) show their fields so; the error stream
// goes through ShownStreamBuf. --json, --csv and the files vr7lon writes keep the bytes, as JSON
// and CSV escape them.
#include <streambuf>
#include <string>
#include <string_view>

namespace terminaltext {

// Appends UTF-8 text as it is shown.
void AppendShown(std::string& out, std::string_view utf8);
// Appends Windows-1251 text as UTF-8, as it is shown.
void AppendShownCp1251(std::string& out, std::string_view cp1251);

std::string Shown(std::string_view utf8);
std::string ShownCp1251(std::string_view cp1251);

}  // namespace terminaltext

// Passes what is written on to target, shown by the rule above except for the tab, LF and CR
// of the stream's own layout (a progress line redraws itself after a CR).
class ShownStreamBuf : public std::streambuf {
  public:
    explicit ShownStreamBuf(std::streambuf* target) : target_(target) {}
    ~ShownStreamBuf() override;
    ShownStreamBuf(const ShownStreamBuf&) = delete;
    ShownStreamBuf& operator=(const ShownStreamBuf&) = delete;

  protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override;

  private:
    std::streambuf* target_;
    // The lead byte 0xC2 of a character not yet whole: with the next byte it may be a C1 control.
    bool pendingLead_ = false;
};
