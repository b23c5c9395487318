#include "cli/buildcommand.h"

#include <memory>

#include "app/messages.h"
#include "base/cp1251.h"
#include "cfgtree/cfgtreemodel.h"
#include "cli/clicommand.h"
#include "cli/clitext.h"
#include "cli/exitstatus.h"
#include "cli/listcommand.h"
#include "gateway/gatewayfile.h"
#include "gateway/snvtlist.h"
#include "optlist/optlist.h"

namespace {

const char kUsage[] =
    "usage: vr7lon build --out FILE [--catalog FILE] [--from FILE] SYS:NAME...\n"
    "Starts from an empty SNVT list (or from the rows of --from), adds each variable NAME of\n"
    "system SYS as a double-click on its tree node does, and writes FILE as Save to disk does.\n"
    "  --out FILE      the gateway settings file to write\n"
    "  --catalog FILE  variable catalogue (default: calcbank.xml of the working directory)\n"
    "  --from FILE     a gateway settings file whose rows come first\n"
    "NAME is taken lower-cased, as the tree shows it. A variable that does not fit, is already\n"
    "listed, is not in the catalogue or has no node the window could add (system 0 has no\n"
    "folder in the tree) is reported on stderr and left out; the file is still written with\n"
    "the rest.\n"
    "Exit status: 0 every variable was added; 2 an input cannot be loaded or FILE cannot be\n"
    "written (or the list is empty); 3 a variable was left out; 64 wrong usage.\n";

struct Variable {
    uint8_t system = 0;
    std::string name;  // Windows-1251, lower-cased as the configuration readers do
};

// "SYS:NAME" with SYS a system number 0..255 and a non-empty NAME.
bool ParseVariable(const std::string& text, Variable& variable) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0 || colon > 3 || colon + 1 == text.size())
        return false;
    unsigned system = 0;
    for (size_t i = 0; i < colon; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        system = system * 10 + static_cast<unsigned>(text[i] - '0');
    }
    if (system > 255) return false;
    variable.system = static_cast<uint8_t>(system);
    variable.name = cp1251::FromUtf8Lower(text.substr(colon + 1));
    return true;
}

// Adds one variable; false, with the reason on err, when it was left out.
bool Add(const CliContext& ctx, SnvtList& list, MessageLog& messages, const XmlDocument& catalogue,
         const std::string& arg, const Variable& variable) {
    // A tree only ever shows the variables the catalogue publishes.
    if (GetVarOptions(catalogue, variable.name).count == 0) {
        ctx.err << "vr7lon: " << clitext::NotPublished(arg) << '\n';
        return false;
    }
    // The variable's node as the window's tree shows it, in a tree of its own below a system
    // folder without a name; the list takes it only when the window could add that node.
    CfgTree tree;
    tree.AddRoot(std::string(), std::make_unique<SVR7_Info>());
    const TreeNode* node =
        AddCalcLeaf(tree, SConfigInfo{}, kWindowTreeOptions, variable.system, variable.name);
    if (!MayAddToList(node, AddGesture::DoubleClick)) {
        ctx.err << "vr7lon: " << clitext::NotAListNode(arg) << '\n';
        return false;
    }
    switch (list.AddVariable(-1, node->Text, node->Info()->System)) {
        case SnvtList::AddResult::Added:
            return true;
        case SnvtList::AddResult::Duplicate:
            ctx.err << "vr7lon: " << clitext::AlreadyInList(arg) << '\n';
            return false;
        case SnvtList::AddResult::NoRoom:
            ctx.err << "vr7lon: " << arg << ": ";
            messages.PrintTo(ctx.err);
            return false;
    }
    return false;
}

}  // namespace

int RunBuildCommand(const CliContext& ctx, const std::vector<std::string>& args) {
    CliArgs parsed;
    int status = 0;
    if (!ParseCommandArgs(ctx, args, {{"--out", true}, {"--catalog", true}, {"--from", true}},
                          kUsage, parsed, status))
        return status;
    const std::string out = parsed.Value("--out");
    if (out.empty())
        return UsageError(ctx, clitext::UsageText(clitext::Usage::BuildNeedsOut), kUsage);
    if (parsed.Positionals().empty() && !parsed.Has("--from"))
        return UsageError(ctx, clitext::UsageText(clitext::Usage::BuildNeedsVariable), kUsage);
    std::vector<Variable> variables;
    for (const std::string& arg : parsed.Positionals()) {
        Variable v;
        if (!ParseVariable(arg, v)) return UsageError(ctx, clitext::NotSysName(arg), kUsage);
        variables.push_back(v);
    }

    CommandList held(ctx);
    XmlDocument& catalogue = held.Catalogue();
    SnvtList& list = held.List();
    if (LoadCommandCatalogue(ctx, parsed.Value("--catalog"), catalogue, &list) !=
        CatalogueStatus::Loaded)
        return exitstatus::Input;
    MessageLog messages;
    list.SetMessageSink(&messages);
    if (parsed.Has("--from") && !LoadSettingsFile(ctx, list, parsed.Value("--from")))
        return exitstatus::Input;

    bool leftOut = false;
    for (size_t i = 0; i < variables.size(); ++i) {
        if (!Add(ctx, list, messages, catalogue, parsed.Positionals()[i], variables[i]))
            leftOut = true;
    }

    // As Save to disk: an empty list is never written.
    if (list.RowCount() == 0) {
        ctx.err << "vr7lon: ";
        ctx.Err(usertext::EmptyList());
        ctx.err << '\n';
        return exitstatus::Input;
    }
    const Status saved = SaveGatewayFile(list, out);
    if (!saved) {
        ctx.err << "vr7lon: " << out << ": ";
        ctx.Err(usertext::FileFailureReason(usertext::FileStep::NotSaved, saved.failure()));
        ctx.err << '\n';
        return exitstatus::Input;
    }
    return leftOut ? exitstatus::Refused : exitstatus::Ok;
}
