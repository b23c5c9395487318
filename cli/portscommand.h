#pragma once
// vr7lon ports [--json]
#include <string>
#include <vector>

#include "cli/clicontext.h"

struct SerialPortInfo;

int RunPortsCommand(const CliContext& ctx, const std::vector<std::string>& args);

// What the system says of a port, one line of English: "FT232R USB UART by FTDI, driver
// ftdi_sio, USB 0403:6001, serial A50285BI, stable name /dev/serial/by-id/...".
std::string PortDescription(const SerialPortInfo& port);
