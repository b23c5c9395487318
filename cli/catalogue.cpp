#include "catalogue.h"

#include "maxvariables.h"

bool LoadCatalogue(const CliContext& ctx, const std::string& path, XmlDocument& doc,
                   CSnvtList* list) {
    doc.SetFileName(path.empty() ? std::string(kDefaultCatalogue) : path);
    try {
        doc.Activate();
    } catch (const XmlLoadError& error) {
        ctx.err << "vr7lon: catalogue " << doc.FileName() << ": " << error.what() << '\n';
        return false;
    }
    if (list != nullptr) {
        const MaxVariablesResult capacity = LoadMaxVariables(doc);
        if (!capacity.ok) {
            ctx.err << "vr7lon: catalogue " << doc.FileName() << ": ";
            ctx.Err(capacity.error);
            ctx.err << '\n';
            return false;
        }
        list->SetMaxVariables(capacity.value);
    }
    return true;
}
