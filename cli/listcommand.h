#pragma once
// vr7lon list FILE [--catalog FILE]
#include <string>
#include <vector>

#include "cli/clicontext.h"

class SnvtList;

int RunListCommand(const CliContext& ctx, const std::vector<std::string>& args);

// Loads a gateway settings file into the list as the window does; prints why on err and returns
// false when the file cannot be read.
bool LoadSettingsFile(const CliContext& ctx, SnvtList& list, const std::string& path);
