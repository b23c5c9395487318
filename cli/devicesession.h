#pragma once
// The connection of a "device" command: the window's settings when it has saved any, otherwise
// the connection's defaults, then the command line's options over them. Nothing is written back:
// the window's settings stay the window's.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/cliargs.h"
#include "cli/clicontext.h"
#include "cli/frametrace.h"
#include "link/connection.h"

// The options every device subcommand accepts.
const std::vector<CliOption>& DeviceOptions();

class DeviceSession {
  public:
    // Applies the settings and options; false with the reason when an option's value is wrong.
    bool SetUp(const CliContext& ctx, const CliArgs& args, std::string& error);

    // Its settings, the device number (conn.DeviceNumber) among them.
    connection conn;

  private:
    std::optional<FrameTracer> tracer_;
};
