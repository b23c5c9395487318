#pragma once
// The gateway settings file "duxgate.cfg": one CR LF line per SNVT variable, a main line
// "F <ref> <SNVT id padded to 22> <name> <dimension>" per row and a flags line
// "B <ref> <SNVT id padded to 22> <flags name>" after it for a flags variable.
#include <string>
#include <string_view>

#include "base/result.h"

class SnvtList;
struct SnvtRow;

// Whether the row's entry has a flags line: the row has a flags variable and it is named. Only
// then does the gateway publish the flags variable.
bool WritesFlagsLine(const SnvtRow& row);

// Writes every row of the list to path. A row whose fields would read back differently (white
// space in a field, an empty field other than the dimension) is refused before anything is
// written: an Invalid failure with the row's index in at and why in detail. The file is written
// beside path under a temporary name, synced and renamed over path, so an existing file is either
// fully replaced or left as it was; a failing file step gives a File failure.
Status SaveGatewayFile(const SnvtList& list, const std::string& path);

// The bytes SaveGatewayFile writes for the list (whose rows it does not refuse).
std::string GatewayFileText(const SnvtList& list);

// What a store of the rows of a gateway settings file holding these bytes puts into the device:
// the rows read from them and written as SaveGatewayFile writes them. For a file the window or
// vr7lon wrote, the bytes themselves. Invalid when the file holds more rows than a list can: no
// store sends it whole.
Result<std::string> StoredGatewayText(std::string_view bytes);

// Replaces the list's rows with the entries of prefix + "duxgate.cfg" (prefix: a folder ending in
// '/', or empty for the working directory). In a folder, when the exact path is absent, one
// spelled in another letter case is used; the working directory's file is taken by its exact name
// only. A missing file leaves the list empty. A file with more rows than the list holds keeps the
// first ones and gives an Invalid failure saying how many it has (as LoadGatewayFileAt).
Status LoadGatewayFile(SnvtList& list, const std::string& prefix);

// The same for a file at any path, taken by its exact name. A File failure, with the list empty,
// when the file cannot be opened; an Invalid failure, with the rows that fit kept, when the file
// has more rows than the list holds.
Status LoadGatewayFileAt(SnvtList& list, const std::string& path);

// The same for the bytes of a file already in memory (a download), path left empty.
Status LoadGatewayBytes(SnvtList& list, std::string_view bytes);
