#pragma once
// vr7lon diff A B [device options]
#include <string>
#include <vector>

#include "clicontext.h"

int RunDiffCommand(const CliContext& ctx, const std::vector<std::string>& args);
