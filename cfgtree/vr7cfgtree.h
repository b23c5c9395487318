#pragma once
// The two builders of the configuration tree: from a configuration folder and from the device.
#include <cstdint>
#include <string>

#include "base/progresssink.h"
#include "base/result.h"
#include "cfgtree/cfgtreemodel.h"
#include "optlist/xmldocument.h"

class connection;

// How far a tree build got: the whole configuration, or only part of it (a system file that
// failed to load, an entry the device did not give). A partial tree keeps what was read.
enum class TreeBuild { Complete, Partial };

// Builds the tree from a CONFIG folder (configDir ends with '/'): Complete when the whole
// configuration was read, Partial when a system file failed to load. A main.xmc that cannot be
// loaded gives its load failure (Invalid, the XML library's text); the tree is then empty.
Result<TreeBuild> BuildTreeFromDir(CfgTree& tree, const std::string& configDir,
                                   uint32_t deviceNumber, IProgressSink* progress,
                                   const XmlDocument* catalog, STreeOptions options,
                                   XmlDocument& scratch);

// Builds the tree from the device over an open connection. A failing exchange gives its Link
// failure (the link's result), a configuration too large to read an Invalid one; the tree keeps
// what was read.
Status BuildTreeFromDevice(CfgTree& tree, connection& conn, uint32_t deviceNumber,
                           IProgressSink* progress, const XmlDocument* catalog,
                           STreeOptions options);
