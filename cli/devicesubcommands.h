#pragma once
// The subcommands of "vr7lon device". Each gets the arguments after the subcommand's name,
// together with the device options given before it, and a session to set up from them.
#include <string>
#include <vector>

#include "cli/clicontext.h"

class DeviceSession;

using DeviceArgs = std::vector<std::string>;

int RunDeviceInfo(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args);
int RunDeviceTree(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args);
int RunDeviceGet(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args);
int RunDevicePut(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args);
int RunDeviceRead(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args);
int RunDeviceStore(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args);
int RunDeviceVerify(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args);

// For a command that compares with the device's gateway settings: with the session set up,
// identifies the device (its firmware must serve the gateway's files) and downloads its
// duxgate.cfg into bytes, with a progress bar on a terminal. False, with why printed on err,
// when it cannot.
bool DownloadGatewaySettings(const CliContext& ctx, DeviceSession& session, std::string& bytes);
