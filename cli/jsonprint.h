#pragma once
// vr7lon's printouts as JSON for scripts (strings UTF-8), one document each, and the parts of them
// that a larger document can embed. The README's "JSON output" section documents the schemas.
#include <ostream>

#include "base/jsonwriter.h"
#include "cfgtree/cfgtreemodel.h"
#include "link/vr7types.h"

class SnvtList;

// The tree's top-level nodes as an array: each node an object with "caption", "image" (the text
// printout's image=N), "kind" (the node's kind, null for a folder without one) and "children".
void WriteTreeNodes(JsonWriter& json, const CfgTree& tree);
// {"complete": bool, "nodes": [...]}: complete is false for a tree a failure cut short.
void PrintTreeJson(const CfgTree& tree, std::ostream& out, bool complete = true);

// {"capacity", "used", "available", "rows": [...]}: the counters line's numbers, then each row as
// an object with every column by name (SnvtColumnName); a row without a flags companion has null
// in the flags columns.
void PrintListJson(const SnvtList& list, std::ostream& out);

// {"version": "MAJOR.MINOR.BUILD", "major", "minor", "build", "number"}.
void PrintDeviceInfoJson(const DeviceInfo& info, std::ostream& out);
