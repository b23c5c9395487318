#pragma once
// The variable catalogue of a command: "calcbank.xml" of the working directory, as the window
// takes it, unless the command line names another file.
#include <string>

#include "clicontext.h"
#include "snvtlist.h"
#include "xmldocument.h"

inline constexpr char kDefaultCatalogue[] = "calcbank.xml";

// Loads the catalogue and, when a list working on it is given, sets the list's capacity from it.
// On failure prints the XML library's or the capacity's error on err and returns false: without
// its catalogue a command's answer would be silently empty.
bool LoadCatalogue(const CliContext& ctx, const std::string& path, XmlDocument& doc,
                   CSnvtList* list = nullptr);
