#include "listprint.h"

#include "cp1251.h"
#include "snvtlist.h"

void PrintList(const CSnvtList& list, std::ostream& out) {
    for (const SnvtRow& row : list.Rows()) {
        out << cp1251::ToUtf8(row.caption);
        for (const std::string& item : row.subItems) out << '\t' << cp1251::ToUtf8(item);
        out << '\n';
    }
    out << cp1251::ToUtf8(list.CountersText()) << '\n';
}
