#pragma once
// vr7lon tree FOLDER [--catalog FILE] [--number N]
#include <string>
#include <vector>

#include "cli/clicontext.h"

int RunTreeCommand(const CliContext& ctx, const std::vector<std::string>& args);
