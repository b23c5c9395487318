#pragma once
// vr7lon diff A B [device options]
#include <string>
#include <vector>

#include "cli/clicontext.h"

int RunDiffCommand(const CliContext& ctx, const std::vector<std::string>& args);
