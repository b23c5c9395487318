#pragma once
// vr7lon fleet PLAN ACTION: one action on every device of a plan, in parallel where the devices'
// endpoints allow it, with a table of the outcomes and a JSON report.
#include <string>
#include <vector>

#include "cli/clicontext.h"

int RunFleetCommand(const CliContext& ctx, const std::vector<std::string>& args);
