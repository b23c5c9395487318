#pragma once
// The SNVT list as text: one line per row, the caption and the sub-items separated by tabs (the
// check state is not shown), then the counters line the window shows above the list. UTF-8.
#include <ostream>
#include <vector>

class SnvtList;
struct ListDiffEntry;

void PrintList(const SnvtList& list, std::ostream& out);

// The differences between two lists, one line per entry (UTF-8, rows counted from 1):
//   added NAME at row N: COLUMN VALUE, ...
//   removed NAME from row N
//   moved NAME from row N to row M
//   changed NAME: COLUMN OLD → NEW, ...
//   moved NAME from row N to row M; changed: COLUMN OLD → NEW, ...
// An empty value is shown as "", a column the row does not have (no flags companion) as none.
void PrintListDiff(const std::vector<ListDiffEntry>& entries, std::ostream& out);
