#pragma once
// The SNVT list as text: one line per row, the caption and the sub-items separated by tabs (the
// check state is not shown), then the counters line the window shows above the list. UTF-8.
#include <ostream>

class CSnvtList;

void PrintList(const CSnvtList& list, std::ostream& out);
