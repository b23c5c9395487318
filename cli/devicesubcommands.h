#pragma once
// The subcommands of "vr7lon device". Each gets the arguments after the subcommand's name,
// together with the device options given before it, and a session to set up from them.
#include <optional>
#include <string>
#include <vector>

#include "cli/clicontext.h"

class CliArgs;
class DeviceSession;
class SnvtList;
struct CliOption;

using DeviceArgs = std::vector<std::string>;

// --work-dir DIR, of the subcommands that leave local copies behind (read, store, restore).
inline constexpr char kWorkDirOption[] = "--work-dir";
#define VR7_WORK_DIR_USAGE                                                                    \
    "  --work-dir DIR       the folder of the local copy (default: the working directory);\n" \
    "                       it must exist\n"

int RunDeviceInfo(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args);
int RunDeviceTree(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args);
int RunDeviceGet(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args);
int RunDevicePut(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args);
int RunDeviceRead(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args);
int RunDeviceStore(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args);
int RunDeviceBackups(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args);
int RunDeviceRestore(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args);
int RunDeviceVerify(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args);

// Stores list into the device as "store" does, with the backup and --verify its parsed options
// ask for (BackupOptions); prints the outcome and returns the command's status. With asIs, those
// bytes are uploaded as they are instead of the list's rows (a backup stored back).
int StoreListIntoDevice(const CliContext& ctx, DeviceSession& session, const SnvtList& list,
                        const CliArgs& parsed, std::optional<std::string> asIs = std::nullopt);

// Reads a subcommand's arguments (the device options and its own) and sets the session up from
// them, with positionals arguments and up to optionalPositionals more; false with status set when
// the command ends there.
bool PrepareDeviceCommand(const CliContext& ctx, DeviceSession& session, const DeviceArgs& args,
                          const std::vector<CliOption>& own, const char* usage, size_t positionals,
                          CliArgs& parsed, int& status, size_t optionalPositionals = 0);

// For a command that compares with the device's gateway settings: with the session set up,
// identifies the device (its firmware must serve the gateway's files) and downloads its
// duxgate.cfg into bytes, with a progress bar on a terminal. False, with why printed on err,
// when it cannot.
bool DownloadGatewaySettings(const CliContext& ctx, DeviceSession& session, std::string& bytes);
