#pragma once
// vr7lon, the command-line companion of the window: the same core, no display.
#include <ostream>
#include <string>
#include <vector>

#include "cli/clicontext.h"

// Runs vr7lon with args (without the program's name) and returns its exit status.
int RunVr7lon(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              const CliEnvironment& env);
