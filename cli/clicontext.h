#pragma once
// What every command of vr7lon works with: its output streams and its surroundings.
#include <ostream>
#include <string>

#include "base/cp1251.h"
#include "link/linktimings.h"
#include "link/serialports.h"

struct CliEnvironment {
    // Where the window's ini files are looked for: the directory vr7lon is installed in, beside
    // the window's program.
    std::string programDir;
    // A progress bar is drawn on the error stream only when it is a terminal.
    bool errIsTerminal = false;
    // How long a device is waited for: the protocol's own times, unless a test scales them down.
    LinkTimings timings;
    // Where "ports" looks for the serial ports: the system's own folders, unless a test moves them.
    SerialPortRoots ports;
    // The process ends right after the command (vr7lon's own main, not a test running commands
    // in-process): what a command built may be left for the end of the process to take back.
    bool exitsAfterCommand = false;
};

struct CliContext {
    std::ostream& out;  // UTF-8 text
    std::ostream& err;  // UTF-8 text
    const CliEnvironment& env;

    // Writes the core's text to err as UTF-8.
    void Err(const Cp1251String& text) const;
};
