#pragma once
// Two SNVT lists compared as lists rather than as text: which variables the second one adds,
// removes, moves and changes.
//
// A variable is its name (the "Var Name" column, compared byte for byte). A name that occurs more
// than once is matched occurrence by occurrence: the k-th row of that name in the first list with
// the k-th in the second; occurrences beyond the other list's count are added or removed.
//
// Moved: the variables both lists hold keep a longest common order (a longest common subsequence
// of the two orders); every variable outside it is moved. So one variable inserted, removed or
// taken elsewhere marks only itself, never every row after it.
//
// Changed: any column other than the name differs (references, SNVT id, dimension, type, and the
// flags companion's name, reference, type and SNVT id; a companion that appears or goes is a
// change of its columns).
//
// Order of the entries: the second list's order; a removed variable follows the entry of the
// variable that preceded it in the first list (the nearest one still present), removed variables
// with no such predecessor come first, each group in the first list's order.
#include <cstddef>
#include <string>
#include <vector>

#include "gateway/snvtrow.h"

enum class ListEntryKind { Added, Removed, Kept };

struct ColumnChange {
    int column = 0;          // a SnvtColumn other than colVarName
    bool hadBefore = false;  // the first list's row has the column (flags columns may be absent)
    bool hasAfter = false;
    std::string before;  // Windows-1251
    std::string after;
};

struct ListDiffEntry {
    ListEntryKind kind = ListEntryKind::Kept;
    const SnvtRow* before = nullptr;  // the first list's row, unless Added
    const SnvtRow* after = nullptr;   // the second list's row, unless Removed
    size_t beforeIndex = 0;           // 0-based row indexes, each valid with its row
    size_t afterIndex = 0;
    bool moved = false;                 // Kept only
    std::vector<ColumnChange> changes;  // Kept only, in column order
};

// The differences from `before` to `after`; only variables that differ have an entry, so an empty
// result means the lists are the same. The entries point into the two row vectors, which must
// outlive them.
std::vector<ListDiffEntry> DiffLists(const std::vector<SnvtRow>& before,
                                     const std::vector<SnvtRow>& after);

// A column's name for people and scripts: its caption, the flags companion's columns with
// "Flags " before it ("Flags Name", "Flags Ref", "Flags Type", "Flags SNVT_ID").
std::string SnvtColumnName(int column);

// The texts of a difference for people (UTF-8; an empty field as ""):
// "COLUMN VALUE, ..." for every column of the row but its name,
std::string ColumnsText(const SnvtRow& row);
// and "COLUMN OLD → NEW, ..." for the changes, `none` standing for a flags column the row lacks.
std::string ChangesText(const std::vector<ColumnChange>& changes, const std::string& none);
