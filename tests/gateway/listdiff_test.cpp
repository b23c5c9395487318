// The rules of comparing two SNVT lists: what is added, removed, moved and changed, and in which
// order the entries come.
#include "gateway/listdiff.h"

#include <algorithm>
#include <sstream>

#include <gtest/gtest.h>

namespace {

// A row from "NAME REF SNVT_ID" or "NAME REF SNVT_ID FLAGSNAME FLAGSREF FLAGSID".
SnvtRow Row(const std::string& spec) {
    std::istringstream in(spec);
    std::vector<std::string> t;
    for (std::string word; in >> word;) t.push_back(word);
    SnvtRow row;
    row.caption = t.at(0);
    row.subItems = {t.at(1), "F", t.at(2), "C"};
    if (t.size() == 6) row.subItems.insert(row.subItems.end(), {t[3], t[4], "B", t[5]});
    return row;
}

std::vector<SnvtRow> List(const std::vector<std::string>& specs) {
    std::vector<SnvtRow> rows;
    for (const auto& spec : specs) rows.push_back(Row(spec));
    return rows;
}

// "NAME" alone stands for "NAME 1 1": a variable whose columns never change.
std::vector<SnvtRow> Names(const std::string& names) {
    std::vector<std::string> specs;
    std::istringstream in(names);
    for (std::string name; in >> name;) specs.push_back(name + " 1 1");
    return List(specs);
}

// Each entry as one short line: "+NAME@AFTER", "-NAME@BEFORE", "NAME@BEFORE>AFTER[ moved]" with
// " COLUMN:OLD>NEW" per change ("none" for a column the row does not have).
std::vector<std::string> Describe(const std::vector<ListDiffEntry>& entries) {
    std::vector<std::string> lines;
    for (const ListDiffEntry& e : entries) {
        std::string line;
        switch (e.kind) {
            case ListEntryKind::Added:
                line = "+" + e.after->caption + "@" + std::to_string(e.afterIndex);
                break;
            case ListEntryKind::Removed:
                line = "-" + e.before->caption + "@" + std::to_string(e.beforeIndex);
                break;
            case ListEntryKind::Kept:
                line = e.after->caption + "@" + std::to_string(e.beforeIndex) + ">" +
                       std::to_string(e.afterIndex) + (e.moved ? " moved" : "");
                for (const ColumnChange& c : e.changes) {
                    line += " " + SnvtColumnName(c.column) + ":" +
                            (c.hadBefore ? c.before : "none") + ">" +
                            (c.hasAfter ? c.after : "none");
                }
                break;
        }
        lines.push_back(line);
    }
    return lines;
}

struct DiffCase {
    const char* name;
    std::vector<SnvtRow> before;
    std::vector<SnvtRow> after;
    std::vector<std::string> expected;
};

TEST(ListDiff, Rules) {
    const DiffCase cases[] = {
        {"both empty", {}, {}, {}},
        {"the same",
         List({"a 40001 105", "b 40003 28 bf 40005 83"}),
         List({"a 40001 105", "b 40003 28 bf 40005 83"}),
         {}},
        {"all added", {}, Names("a b"), {"+a@0", "+b@1"}},
        {"all removed", Names("a b"), {}, {"-a@0", "-b@1"}},
        {"added in the middle", Names("a b c"), Names("a x b c"), {"+x@1"}},
        // A removed variable follows its predecessor's place, whether or not that has an entry.
        {"removed where it was", Names("a b c d"), Names("x a c d y"), {"+x@0", "-b@1", "+y@4"}},
        {"removed before everything", Names("a b"), Names("c b"), {"-a@0", "+c@0"}},
        {"removed runs keep their order", Names("a b c d"), Names("a d"), {"-b@1", "-c@2"}},
        {"first to last", Names("a b c d"), Names("b c d a"), {"a@0>3 moved"}},
        {"last to first", Names("a b c d"), Names("d a b c"), {"d@3>0 moved"}},
        {"two swapped", Names("a b"), Names("b a"), {"a@0>1 moved"}},
        {"reversed", Names("a b c"), Names("c b a"), {"b@1>1 moved", "a@0>2 moved"}},
        {"SNVT id", List({"a 40001 105"}), List({"a 40001 28"}), {"a@0>0 SNVT_ID:105>28"}},
        {"references",
         List({"a 40001 105", "b 40003 28"}),
         List({"b 40001 28", "a 40003 105"}),
         {"b@1>0 Ref:40003>40001", "a@0>1 moved Ref:40001>40003"}},
        {"flags companion appears",
         List({"a 40001 15"}),
         List({"a 40001 15 af 40003 83"}),
         {"a@0>0 Flags Name:none>af Flags Ref:none>40003 Flags Type:none>B "
          "Flags SNVT_ID:none>83"}},
        {"flags companion renamed",
         List({"a 40001 15 af 40003 83"}),
         List({"a 40001 15 ag 40003 83"}),
         {"a@0>0 Flags Name:af>ag"}},
        {"flags companion goes",
         List({"a 40001 15 af 40003 83"}),
         List({"a 40001 15"}),
         {"a@0>0 Flags Name:af>none Flags Ref:40003>none Flags Type:B>none "
          "Flags SNVT_ID:83>none"}},
        // A repeated name is matched occurrence by occurrence.
        {"second occurrence removed",
         List({"a 40001 1", "a 40003 2"}),
         List({"a 40001 1"}),
         {"-a@1"}},
        {"second occurrence added",
         List({"a 40001 1"}),
         List({"a 40001 1", "a 40003 2"}),
         {"+a@1"}},
        {"occurrences keep their pairing",
         List({"a 1 1", "b 1 1", "a 1 2"}),
         List({"a 1 2", "b 1 1", "a 1 1"}),
         {"a@0>0 SNVT_ID:1>2", "a@2>2 SNVT_ID:2>1"}},
        // Names are compared byte for byte.
        {"letter case", Names("a"), Names("A"), {"-a@0", "+A@0"}},
    };
    for (const DiffCase& c : cases) {
        EXPECT_EQ(Describe(DiffLists(c.before, c.after)), c.expected) << c.name;
    }
}

TEST(ListDiff, OneChangeInALongListMarksOnlyItself) {
    std::string names;
    for (int i = 0; i < 3000; ++i) names += "v" + std::to_string(i) + " ";
    const std::vector<SnvtRow> before = Names(names);

    std::vector<SnvtRow> inserted = before;
    inserted.insert(inserted.begin() + 7, Row("new 1 1"));
    EXPECT_EQ(Describe(DiffLists(before, inserted)), std::vector<std::string>{"+new@7"});

    std::vector<SnvtRow> moved = before;
    std::rotate(moved.begin() + 10, moved.begin() + 11, moved.begin() + 2900);
    EXPECT_EQ(Describe(DiffLists(before, moved)), std::vector<std::string>{"v10@10>2899 moved"});

    std::vector<SnvtRow> removed = before;
    removed.erase(removed.begin() + 1500);
    EXPECT_EQ(Describe(DiffLists(before, removed)), std::vector<std::string>{"-v1500@1500"});
}

TEST(ListDiff, ColumnNames) {
    const std::pair<int, const char*> cases[] = {
        {colVarName, "Var Name"},     {colRef, "Ref"},
        {colSnvtId, "SNVT_ID"},       {colDimension, "Dimention"},
        {colFlagsName, "Flags Name"}, {colFlagsRef, "Flags Ref"},
        {colFlagsType, "Flags Type"}, {colFlagsSnvtId, "Flags SNVT_ID"},
        {kSnvtColumnCount, ""},
    };
    for (const auto& [column, name] : cases) EXPECT_EQ(SnvtColumnName(column), name) << column;
}

}  // namespace
