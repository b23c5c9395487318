#pragma once
// The SNVT list as a CSV table for the integrator on the LON side: one line per SNVT variable the
// gateway publishes, in the gateway's order, so the variables can be bound without retyping them.
// UTF-8 with a byte order mark, ';' between fields and CR LF line ends, as spreadsheets set up for
// Russian expect; a header line first.
//
// Columns: the gateway's number of the variable (1 for the first line of duxgate.cfg, counting
// every main and flags line), its name, register reference, type ("F", or "B" for a flags
// variable), SNVT id and unit. A flags variable has a line of its own right after its row's, with
// the flags columns of the row and no unit; a flags variable without a name has none, as the
// gateway does not publish it.
#include <string>
#include <string_view>

#include "base/result.h"

class SnvtList;

// The bytes of the table.
std::string ListCsvText(const SnvtList& list);

// A field as CSV carries it, safe to open in a spreadsheet:
// - a field a spreadsheet would run as a formula gets a leading apostrophe, which makes it text:
//   one beginning with '=', '+', '-', '@', a tab or a CR, unless it is a plain number (an
//   optional sign, digits, at most one '.' or ',' among them: "-5", "+1,5");
// - a control character other than tab, CR and LF (NUL, ESC, the rest of C0, DEL) is written as
//   its Unicode picture ("␀", "␛", ... "␡"), which Windows-1251 text never holds;
// - the field is then enclosed in double quotes, with each quote doubled, when it holds ';', '"',
//   CR or LF.
std::string CsvField(std::string_view utf8);

// Writes the table to path as a whole (AtomicFileWriter): a failing step gives a File failure and
// leaves an existing file as it was.
Status SaveListCsv(const SnvtList& list, const std::string& path);
