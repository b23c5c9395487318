// vr7lon: the command-line companion of the window.
#include <unistd.h>

#include <filesystem>
#include <iostream>

#include "app/atomicfilewriter.h"
#include "cli/vr7lon.h"

namespace {

// The directory of the running program, where the window's ini files sit beside it.
std::string ProgramDir(const char* argv0) {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) exe = std::filesystem::absolute(argv0, ec);
    return exe.parent_path().string() + "/";
}

}  // namespace

int main(int argc, char** argv) {
    // A command ended by the usual signals leaves no temporary file beside its output.
    AtomicFileWriter::RemoveTemporaryFilesOnTermination();
    CliEnvironment env;
    env.programDir = ProgramDir(argc > 0 ? argv[0] : "vr7lon");
    env.errIsTerminal = ::isatty(STDERR_FILENO) == 1;
    env.exitsAfterCommand = true;
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const int status = RunVr7lon(args, std::cout, std::cerr, env);
    std::cout.flush();
    return std::cout ? status : 2;
}
