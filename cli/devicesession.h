#pragma once
// The connection of a "device" command: the window's settings when it has saved any, otherwise
// the connection's defaults, then the command line's options over them. Nothing is written back:
// the window's settings stay the window's.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cliargs.h"
#include "clicontext.h"
#include "connection.h"
#include "frametrace.h"

// The options every device subcommand accepts.
const std::vector<CliOption>& DeviceOptions();

class CDeviceSession {
  public:
    // Applies the settings and options; false with the reason when an option's value is wrong.
    bool SetUp(const CliContext& ctx, const CCliArgs& args, std::string& error);

    connection conn;
    uint32_t DeviceNumber = 1;

  private:
    std::optional<CFrameTracer> tracer_;
};
