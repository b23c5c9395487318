#pragma once
// vr7lon's printouts as JSON for scripts (strings UTF-8), one document each, and the parts of them
// that a larger document can embed. The README's "JSON output" section documents the schemas.
#include <ostream>

#include "base/jsonwriter.h"
#include "cfgtree/cfgtreemodel.h"
#include "link/vr7types.h"

class SnvtList;

// The version of the documents' layout, their first member "schema": it grows only when a key is
// renamed or removed or its meaning changes, so that a script can refuse a layout it does not know.
inline constexpr int kJsonSchema = 1;

// Opens a document's top-level object with its "schema" member.
JsonWriter& BeginJsonDocument(JsonWriter& json);

// The tree's top-level nodes as an array: each node an object with "caption", "image" (the text
// printout's image=N), "kind" (the node's kind, null for a folder without one) and "children".
void WriteTreeNodes(JsonWriter& json, const CfgTree& tree);
// Every document begins with "schema": kJsonSchema; its keys are lower-case (snake_case).
// {"schema", "complete": bool, "nodes": [...]}: complete is false for a tree a failure cut short.
void PrintTreeJson(const CfgTree& tree, std::ostream& out, bool complete = true);

// {"schema", "capacity", "used", "available", "rows": [...]}: the counters line's numbers, then
// each row as {"name", "ref", "type", "snvt_id", "unit", "flags"}, where "flags" is the flags
// companion's {"name", "ref", "type", "snvt_id"}, or null for a row without one. Every column's
// value is a string, as the list shows it.
void PrintListJson(const SnvtList& list, std::ostream& out);

// {"schema", "version": "MAJOR.MINOR.BUILD", "major", "minor", "build", "number"}.
void PrintDeviceInfoJson(const DeviceInfo& info, std::ostream& out);
