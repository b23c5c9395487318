#pragma once
// The variable catalogue "calcbank.xml" and the gateway's capacity it gives, loaded as the window
// loads it at start and as vr7lon loads it for a command.
#include <string>

#include "app/maxvariables.h"

class XmlDocument;

// The catalogue's name in the working directory.
inline constexpr char kCatalogueName[] = "calcbank.xml";

struct CatalogueLoad {
    bool loaded = false;          // false: the XML library could not load the file
    std::string error;            // then its text (UTF-8)
    MaxVariablesResult capacity;  // when loaded: value 0 and the error text when !capacity.ok
};

// Loads doc from path (empty: kCatalogueName of the working directory, or of the installed data
// folder when the working directory has none) and reads its capacity. A catalogue without a
// usable "LonCfg" "size" is still loaded, with capacity 0: lookups work, nothing can be added.
CatalogueLoad LoadCatalogue(XmlDocument& doc, const std::string& path);
