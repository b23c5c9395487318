#include "app/catalogue.h"

#include "base/installpaths.h"
#include "optlist/xmldocument.h"

CatalogueLoad LoadCatalogue(XmlDocument& doc, const std::string& path) {
    CatalogueLoad result;
    doc.SetFileName(path.empty() ? LocateDataFile(kCatalogueName) : path);
    try {
        doc.Activate();
    } catch (const XmlLoadError& error) {
        result.error = error.what();
        return result;
    }
    result.loaded = true;
    result.capacity = LoadMaxVariables(doc);
    return result;
}
