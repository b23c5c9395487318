#pragma once
// vr7lon build --out FILE [--catalog FILE] [--from FILE] SYS:NAME...
#include <string>
#include <vector>

#include "cli/clicontext.h"

int RunBuildCommand(const CliContext& ctx, const std::vector<std::string>& args);
