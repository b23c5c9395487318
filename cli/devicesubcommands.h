#pragma once
// The subcommands of "vr7lon device". Each gets the arguments after the subcommand's name,
// together with the device options given before it, and a session to set up from them.
#include <string>
#include <vector>

#include "clicontext.h"

class CDeviceSession;

using DeviceArgs = std::vector<std::string>;

int RunDeviceInfo(const CliContext& ctx, CDeviceSession& session, const DeviceArgs& args);
int RunDeviceTree(const CliContext& ctx, CDeviceSession& session, const DeviceArgs& args);
int RunDeviceGet(const CliContext& ctx, CDeviceSession& session, const DeviceArgs& args);
int RunDevicePut(const CliContext& ctx, CDeviceSession& session, const DeviceArgs& args);
int RunDeviceRead(const CliContext& ctx, CDeviceSession& session, const DeviceArgs& args);
int RunDeviceStore(const CliContext& ctx, CDeviceSession& session, const DeviceArgs& args);
