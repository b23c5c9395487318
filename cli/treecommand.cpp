#include "cli/treecommand.h"

#include <filesystem>

#include "app/messages.h"
#include "base/parseuint.h"
#include "cfgtree/configfolder.h"
#include "cfgtree/treetext.h"
#include "cli/clicommand.h"
#include "cli/clitext.h"
#include "cli/exitstatus.h"
#include "cli/jsonprint.h"
#include "cli/terminaltext.h"
#include "link/connection.h"

namespace {

const char kUsage[] =
    "usage: vr7lon tree FOLDER [--catalog FILE] [--number N] [--json]\n"
    "Builds the configuration tree of FOLDER (the device folder holding CONFIG, its path naming\n"
    "the device as vr7_NUMBER) as the window's Open does, and prints it: one line per node, two\n"
    "spaces of indent per level, the caption, a tab and image=N.\n"
    "  --catalog FILE  variable catalogue (default: calcbank.xml of the working directory)\n"
    "  --number N      device number (default: the digits after \"vr7_\" in FOLDER's path)\n"
    "  --json          print the tree as JSON instead (its schema is in the README)\n"
    "Exit status: 0 the whole configuration was read; 1 a system file could not be read (the\n"
    "tree built is still printed); 2 no \"vr7_\" in the path, or main.xmc or the catalogue\n"
    "cannot be loaded; 64 wrong usage.\n";

}  // namespace

int RunTreeCommand(const CliContext& ctx, const std::vector<std::string>& args) {
    CliArgs parsed;
    int status = 0;
    if (!ParseCommandArgs(ctx, args, {{"--catalog", true}, {"--number", true}, {"--json", false}},
                          kUsage, parsed, status))
        return status;
    if (parsed.Positionals().size() != 1)
        return UsageError(ctx, clitext::UsageText(clitext::Usage::TreeNeedsFolder), kUsage);
    const std::string& folder = parsed.Positionals()[0];

    // The folder as the window's folder dialog names it: a whole path, so that "." or a path
    // relative to a device folder finds the "vr7_" of that folder.
    std::error_code ec;
    std::string picked = std::filesystem::absolute(folder, ec).lexically_normal().string();
    if (ec) picked = folder;

    uint32_t number = 0;
    if (parsed.Has("--number")) {
        if (!ParseUint32(parsed.Value("--number"), number))
            return UsageError(ctx, clitext::UsageText(clitext::Usage::NumberRange), kUsage);
    } else if (FolderDeviceNumber(picked, number) == FolderNumber::NoVr7) {
        ctx.err << "vr7lon: " << folder << ": ";
        ctx.Err(usertext::NoConfiguration());
        ctx.err << '\n';
        return exitstatus::Input;
    }

    XmlDocument catalogue;
    if (LoadCommandCatalogue(ctx, parsed.Value("--catalog"), catalogue) != CatalogueStatus::Loaded)
        return exitstatus::Input;
    XmlDocument scratch;
    const FolderTree opened = BuildConfigTree(FolderConfigDir(folder), number, &catalogue, scratch);
    if (!opened.loaded) {
        ctx.err << "vr7lon: " << folder << ": " << usertext::FailureReason(opened.loaded.failure())
                << '\n';
        return exitstatus::Input;
    }
    if (parsed.Has("--json")) {
        PrintTreeJson(opened.tree, ctx.out, opened.build == TreeBuild::Complete);
    } else {
        PrintTree(opened.tree, ctx.out, terminaltext::ShownCp1251);
    }
    if (opened.build == TreeBuild::Partial) {
        ctx.err << "vr7lon: " << clitext::PartialTree(folder) << '\n';
        return exitstatus::Partial;
    }
    return exitstatus::Ok;
}
