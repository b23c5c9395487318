#include "cli/listcommand.h"

#include <cerrno>
#include <filesystem>

#include "app/messages.h"
#include "cli/clicommand.h"
#include "cli/clitext.h"
#include "cli/exitstatus.h"
#include "cli/jsonprint.h"
#include "cli/listprint.h"
#include "gateway/gatewayfile.h"
#include "gateway/listcsv.h"
#include "gateway/snvtlist.h"
#include "link/resulttext.h"
#include "optlist/xmldocument.h"

namespace {

const char kUsage[] =
    "usage: vr7lon list FILE [--catalog FILE] [--json | --csv]\n"
    "Loads the gateway settings file FILE as the window does and prints the SNVT list: one line\n"
    "per row with the caption and the columns separated by tabs, then the counters line.\n"
    "  --catalog FILE  variable catalogue, for the capacity (default: calcbank.xml of the\n"
    "                  working directory)\n"
    "  --json          print the list as JSON instead (its schema is in the README)\n"
    "  --csv           print the list as CSV instead, for the LON side: UTF-8 with a byte order\n"
    "                  mark, ';' between fields, CR LF line ends, a header line, then one line\n"
    "                  per SNVT variable the gateway publishes (its number, name, register,\n"
    "                  type, SNVT id, unit), a flags variable on a line of its own\n"
    "A catalogue without a usable LonCfg size is reported on stderr and, as in the window,\n"
    "gives capacity 0; the list is still printed.\n"
    "Exit status: 0 done; 2 FILE or the catalogue cannot be loaded, or the catalogue has no\n"
    "capacity (the list is printed all the same); 64 wrong usage.\n";

}  // namespace

bool LoadSettingsFile(const CliContext& ctx, SnvtList& list, const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        ctx.err << "vr7lon: " << clitext::NotASettingsFile(path) << '\n';
        return false;
    }
    if (const Status loaded = LoadGatewayFileAt(list, path); !loaded) {
        ctx.err << "vr7lon: " << usertext::FailureLine(loaded.failure()) << '\n';
        return false;
    }
    return true;
}

int RunListCommand(const CliContext& ctx, const std::vector<std::string>& args) {
    CliArgs parsed;
    int status = 0;
    if (!ParseCommandArgs(ctx, args, {{"--catalog", true}, {"--json", false}, {"--csv", false}},
                          kUsage, parsed, status))
        return status;
    if (parsed.Positionals().size() != 1)
        return UsageError(ctx, clitext::UsageText(clitext::Usage::ListNeedsFile), kUsage);
    if (parsed.Has("--json") && parsed.Has("--csv"))
        return UsageError(ctx, clitext::UsageText(clitext::Usage::JsonOrCsv), kUsage);

    CommandList held(ctx);
    XmlDocument& catalogue = held.Catalogue();
    SnvtList& list = held.List();
    const CatalogueStatus loaded =
        LoadCommandCatalogue(ctx, parsed.Value("--catalog"), catalogue, &list);
    if (loaded == CatalogueStatus::NotLoaded) return exitstatus::Input;
    if (!LoadSettingsFile(ctx, list, parsed.Positionals()[0])) return exitstatus::Input;
    if (parsed.Has("--json")) {
        PrintListJson(list, ctx.out);
    } else if (parsed.Has("--csv")) {
        ctx.out << ListCsvText(list);
    } else {
        PrintList(list, ctx.out);
    }
    // The list is what the window would show; the status still tells a script that the
    // catalogue it named gives no capacity.
    return loaded == CatalogueStatus::Loaded ? exitstatus::Ok : exitstatus::Input;
}
