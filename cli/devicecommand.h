#pragma once
// vr7lon device [OPTIONS] SUBCOMMAND: info, tree, get, put, read, store.
#include <string>
#include <vector>

#include "cli/clicontext.h"

int RunDeviceCommand(const CliContext& ctx, const std::vector<std::string>& args);
