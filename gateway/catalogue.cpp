#include "gateway/catalogue.h"

#include "base/installpaths.h"
#include "optlist/xmldocument.h"

CatalogueLoad LoadCatalogue(XmlDocument& doc, const std::string& path) {
    CatalogueLoad result;
    doc.SetFileName(path.empty() ? LocateDataFile(kCatalogueName) : path);
    result.document = doc.Load();
    if (!result.document) return result;
    const Result<unsigned> capacity = LoadMaxVariables(doc);
    if (capacity) {
        result.maxVariables = capacity.value();
    } else {
        result.capacity = capacity.failure();
    }
    return result;
}
