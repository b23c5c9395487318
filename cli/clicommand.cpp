#include "cli/clicommand.h"

#include <vector>

#include "app/messages.h"
#include "base/cp1251.h"
#include "cli/clitext.h"
#include "cli/exitstatus.h"
#include "gateway/catalogue.h"
#include "gateway/snvtlist.h"
#include "optlist/xmldocument.h"

bool ParseCommandArgs(const CliContext& ctx, const std::vector<std::string>& args,
                      std::vector<CliOption> options, const char* usage, CliArgs& parsed,
                      int& status, bool stopAtPositional) {
    options.push_back({"--help", false});
    std::string error;
    if (!parsed.Parse(args, options, error, stopAtPositional)) {
        status = UsageError(ctx, error, usage);
        return false;
    }
    if (parsed.Has("--help")) {
        ctx.out << usage;
        status = exitstatus::Ok;
        return false;
    }
    return true;
}

int UsageError(const CliContext& ctx, const std::string& message, const char* usage) {
    ctx.err << "vr7lon: " << message << '\n' << usage;
    return exitstatus::Usage;
}

void MessageLog::PrintTo(std::ostream& out) {
    for (const Cp1251String& text : texts_) out << cp1251::ToUtf8(text) << '\n';
    texts_.clear();
}

CatalogueStatus LoadCommandCatalogue(const CliContext& ctx, const std::string& path,
                                     XmlDocument& doc, SnvtList* list) {
    const CatalogueLoad loaded = LoadCatalogue(doc, path);
    if (!loaded.document) {
        ctx.err << "vr7lon: "
                << clitext::CatalogueProblem(
                       doc.FileName(), usertext::FailureReason(loaded.document.failure()).str())
                << '\n';
        return CatalogueStatus::NotLoaded;
    }
    if (list == nullptr) return CatalogueStatus::Loaded;
    list->SetMaxVariables(loaded.maxVariables);
    if (!loaded.capacity) {
        ctx.err << "vr7lon: "
                << clitext::CatalogueProblem(
                       doc.FileName(), usertext::FailureReason(loaded.capacity.failure()).str())
                << '\n';
        return CatalogueStatus::NoCapacity;
    }
    return CatalogueStatus::Loaded;
}

namespace {

// What is left for the end of the process: never freed, always reachable.
std::vector<const void*>& KeptUntilExit() {
    static auto* kept = new std::vector<const void*>;
    return *kept;
}

}  // namespace

CommandList::CommandList(const CliContext& ctx)
    : catalogue_(std::make_unique<XmlDocument>()),
      list_(std::make_unique<SnvtList>(*catalogue_)),
      keep_(ctx.env.exitsAfterCommand) {}

bool KeepUntilExit(const void* object) {
    try {
        KeptUntilExit().push_back(object);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

CommandList::~CommandList() {
    if (!keep_) return;
    // The catalogue first: the list refers to it, so it goes only with the list.
    if (KeepUntilExit(catalogue_.get())) {
        (void)catalogue_.release();
        if (KeepUntilExit(list_.get())) (void)list_.release();
    }
}
