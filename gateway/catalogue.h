#pragma once
// The variable catalogue "calcbank.xml" and the gateway's capacity it gives, loaded as the window
// loads it at start and as vr7lon loads it for a command.
#include <string>

#include "base/result.h"
#include "gateway/maxvariables.h"

class XmlDocument;

// The catalogue's name in the working directory.
inline constexpr char kCatalogueName[] = "calcbank.xml";

struct CatalogueLoad {
    Status document;            // the XML library could not load the file (Invalid, its text)
    Status capacity;            // when loaded: the "LonCfg" "size" is unusable (Invalid, why)
    unsigned maxVariables = 0;  // 0 unless both are ok
};

// Loads doc from path (empty: kCatalogueName of the working directory, or of the installed data
// folder when the working directory has none) and reads its capacity. A catalogue without a
// usable "LonCfg" "size" is still loaded, with capacity 0: lookups work, nothing can be added.
CatalogueLoad LoadCatalogue(XmlDocument& doc, const std::string& path);
