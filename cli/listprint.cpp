#include "cli/listprint.h"

#include "app/listdiff.h"
#include "app/snvtlist.h"
#include "base/cp1251.h"

namespace {

// A field of the list (the core's bytes) for the terminal.
std::string Value(const std::string& field) {
    return field.empty() ? "\"\"" : cp1251::ToUtf8(Cp1251String(field));
}

// "COLUMN VALUE, ..." for every column of the row but its name.
std::string Columns(const SnvtRow& row) {
    std::string text;
    for (size_t column = 1; column <= row.subItems.size(); ++column) {
        if (!text.empty()) text += ", ";
        text += SnvtColumnName(static_cast<int>(column)) + " " + Value(row.subItems[column - 1]);
    }
    return text;
}

std::string Changes(const std::vector<ColumnChange>& changes) {
    std::string text;
    for (const ColumnChange& c : changes) {
        if (!text.empty()) text += ", ";
        text += SnvtColumnName(c.column) + " " + (c.hadBefore ? Value(c.before) : "none") + " → " +
                (c.hasAfter ? Value(c.after) : "none");
    }
    return text;
}

}  // namespace

void PrintList(const SnvtList& list, std::ostream& out) {
    for (const SnvtRow& row : list.Rows()) {
        out << cp1251::ToUtf8(Cp1251String(row.caption));
        for (const std::string& item : row.subItems)
            out << '\t' << cp1251::ToUtf8(Cp1251String(item));
        out << '\n';
    }
    out << cp1251::ToUtf8(Cp1251String(list.CountersText())) << '\n';
}

void PrintListDiff(const std::vector<ListDiffEntry>& entries, std::ostream& out) {
    for (const ListDiffEntry& e : entries) {
        switch (e.kind) {
            case ListEntryKind::Added:
                out << "added " << Value(e.after->caption) << " at row " << e.afterIndex + 1 << ": "
                    << Columns(*e.after) << '\n';
                break;
            case ListEntryKind::Removed:
                out << "removed " << Value(e.before->caption) << " from row " << e.beforeIndex + 1
                    << '\n';
                break;
            case ListEntryKind::Kept:
                if (e.moved) {
                    out << "moved " << Value(e.after->caption) << " from row " << e.beforeIndex + 1
                        << " to row " << e.afterIndex + 1;
                    if (!e.changes.empty()) out << "; changed: " << Changes(e.changes);
                } else {
                    out << "changed " << Value(e.after->caption) << ": " << Changes(e.changes);
                }
                out << '\n';
                break;
        }
    }
}
