// vr7lon: the command-line companion of the window.
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <ostream>
#include <streambuf>

#include "base/atomicfilewriter.h"
#include "base/installpaths.h"
#include "base/syserror.h"
#include "base/u8path.h"
#include "cli/clitext.h"
#include "cli/console.h"
#include "cli/exitstatus.h"
#include "cli/vr7lon.h"

namespace {

// The directory of the running program, where the window's ini files sit beside it.
std::string ProgramDir(const char* argv0) {
    if (std::string dir = ExecutableDir(); !dir.empty()) return dir;
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::absolute(PathFromUtf8(argv0), ec);
    return Utf8FromPath(exe.parent_path()) + "/";
}

// Standard output through a buffer of its own, which keeps the reason of the first write that
// failed (a full disk, a closed descriptor), so that it can be told at the end. Line by line on
// a terminal, in large pieces elsewhere.
class StdoutBuffer : public std::streambuf {
  public:
    StdoutBuffer() : lineByLine_(::isatty(STDOUT_FILENO) == 1) { setp(buffer_, buffer_ + kSize); }
    ~StdoutBuffer() override { sync(); }
    int Error() const { return error_; }

  protected:
    int_type overflow(int_type c) override {
        if (sync() != 0) return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* data, std::streamsize n) override {
        const std::streamsize put = std::streambuf::xsputn(data, n);
        if (lineByLine_ && std::memchr(data, '\n', static_cast<size_t>(n)) != nullptr) sync();
        return put;
    }
    int sync() override {
        const char* at = pbase();
        while (at < pptr()) {
            const ssize_t n = ::write(STDOUT_FILENO, at, static_cast<size_t>(pptr() - at));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                if (error_ == 0) error_ = n < 0 ? errno : EIO;
                break;
            }
            at += n;
        }
        setp(buffer_, buffer_ + kSize);  // what could not be written is dropped
        return error_ == 0 ? 0 : -1;
    }

  private:
    static constexpr std::ptrdiff_t kSize = 65536;
    char buffer_[kSize];
    bool lineByLine_;
    int error_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    PrepareConsole();
    // A command ended by the usual signals leaves no temporary file beside its output.
    AtomicFileWriter::RemoveTemporaryFilesOnTermination();
    CliEnvironment env;
    env.programDir = ProgramDir(argc > 0 ? argv[0] : "vr7lon");
    env.errIsTerminal = ::isatty(STDERR_FILENO) == 1;
    env.exitsAfterCommand = true;
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    static StdoutBuffer buffer;  // static: a large buffer, and flushed at exit at the latest
    std::ostream out(&buffer);
    const int status = RunVr7lon(args, out, std::cerr, env);
    // What could not be written (a full disk, a closed stdout) is said, not lost in silence.
    out.flush();
    if (buffer.Error() == 0) return status;
    std::cerr << "vr7lon: " << clitext::OutputNotWritten(SystemErrorText(buffer.Error())) << '\n';
    return exitstatus::Input;
}
