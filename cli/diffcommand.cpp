#include "cli/diffcommand.h"

#include "app/messages.h"
#include "cli/clicommand.h"
#include "cli/clitext.h"
#include "cli/devicesession.h"
#include "cli/devicesubcommands.h"
#include "cli/exitstatus.h"
#include "cli/listcommand.h"
#include "cli/listprint.h"
#include "gateway/gatewayfile.h"
#include "gateway/listdiff.h"
#include "gateway/snvtlist.h"
#include "optlist/xmldocument.h"

namespace {

const char kUsage[] =
    "usage: vr7lon diff A B [--port NAME] [--ip HOST] [--tcp-port N] [--speed N] [--number N]\n"
    "                       [--trace]\n"
    "Compares two gateway settings files as SNVT lists, not as text, and prints a line for each\n"
    "variable that differs, in the order of B:\n"
    "  added NAME at row N: its columns\n"
    "  removed NAME from row N (of A)\n"
    "  moved NAME from row N to row M\n"
    "  changed NAME: COLUMN OLD → NEW, ... (\"none\": the row has no flags companion)\n"
    "  moved NAME from row N to row M; changed: COLUMN OLD → NEW, ...\n"
    "A variable is its name; a name listed more than once is matched occurrence by occurrence.\n"
    "Moved means outside the longest order both lists share, so that one variable inserted\n"
    "marks nothing else as moved. A removed variable is printed after the variable that came\n"
    "before it in A. Either side may be \"device:\", the connected device's duxgate.cfg,\n"
    "downloaded into memory; the device options are those of \"vr7lon device\".\n"
    "Exit status: 0 the lists are the same; 1 they differ; 2 a side cannot be read (a file, or\n"
    "the device did not answer, is too old, has no duxgate.cfg, or the download broke);\n"
    "64 wrong usage.\n";

constexpr char kDeviceSide[] = "device:";

// Loads one side into list; prints why on err and returns false when it cannot be read.
bool LoadSide(const CliContext& ctx, const std::string& side, DeviceSession& session,
              SnvtList& list) {
    if (side != kDeviceSide) return LoadSettingsFile(ctx, list, side);
    std::string bytes;
    if (!DownloadGatewaySettings(ctx, session, bytes)) return false;
    if (const Status loaded = LoadGatewayBytes(list, bytes); !loaded) {
        ctx.err << "vr7lon: " << side << " " << usertext::FailureReason(loaded.failure()) << '\n';
        return false;
    }
    return true;
}

}  // namespace

int RunDiffCommand(const CliContext& ctx, const std::vector<std::string>& args) {
    CliArgs parsed;
    int status = 0;
    if (!ParseCommandArgs(ctx, args, DeviceOptions(), kUsage, parsed, status)) return status;
    if (parsed.Positionals().size() != 2)
        return UsageError(ctx, clitext::UsageText(clitext::Usage::DiffNeedsTwo), kUsage);
    const std::string& a = parsed.Positionals()[0];
    const std::string& b = parsed.Positionals()[1];

    DeviceSession session;
    if (a == kDeviceSide || b == kDeviceSide) {
        std::string error;
        if (!session.SetUp(ctx, parsed, error)) return UsageError(ctx, error, kUsage);
    }
    XmlDocument noCatalogue;  // comparing never looks variables up
    SnvtList before(noCatalogue), after(noCatalogue);
    if (!LoadSide(ctx, a, session, before) || !LoadSide(ctx, b, session, after))
        return exitstatus::Input;

    const std::vector<ListDiffEntry> entries = DiffLists(before.Rows(), after.Rows());
    PrintListDiff(entries, ctx.out);
    return entries.empty() ? exitstatus::Ok : exitstatus::Differs;
}
