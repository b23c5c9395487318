#include <gtest/gtest.h>

#include "app/messages.h"
#include "gateway/gatewayfile.h"
#include "gateway/maxvariables.h"
#include "tests/gateway/support/listfixture.h"

namespace {

using Items = std::vector<std::string>;

// Rows as the window shows them: the mirror kept from notifications must equal the model.
void ExpectMirrorMatches(const ListFixture& f) {
    ASSERT_EQ(f.rec.mirror.size(), f.list.RowCount());
    for (size_t i = 0; i < f.list.RowCount(); ++i) {
        EXPECT_EQ(f.rec.mirror[i].id, f.list.Row(i).id) << i;
        EXPECT_EQ(f.rec.mirror[i].caption, f.list.Row(i).caption) << i;
        EXPECT_EQ(f.rec.mirror[i].subItems, f.list.Row(i).subItems) << i;
        EXPECT_EQ(f.rec.mirror[i].checked, f.list.Row(i).checked) << i;
    }
}

unsigned Invariant(const SnvtList& list) {
    unsigned n = 0;
    for (const SnvtRow& row : list.Rows()) n += row.HasFlags() ? 2 : 1;
    return n;
}

TEST(AddVariable, BuildsRowsFromTheCatalogue) {
    ListFixture f;
    EXPECT_EQ(f.list.AddVariable(-1, "t1", 2), SnvtList::AddResult::Added);
    EXPECT_EQ(f.list.AddVariable(-1, "p3", 2), SnvtList::AddResult::Added);
    EXPECT_EQ(f.list.AddVariable(-1, "e4", 12), SnvtList::AddResult::Added);
    EXPECT_EQ(f.list.AddVariable(-1, "q5", 1), SnvtList::AddResult::Added);
    EXPECT_EQ(f.list.AddVariable(-1, "unknown", 3), SnvtList::AddResult::Added);

    // Flags name from the pattern with the system number; without a pattern (or an empty one)
    // the caption itself.
    EXPECT_EQ(f.list.Row(0).caption, "2t1");
    EXPECT_EQ(f.list.Row(0).subItems,
              (Items{"40001", "F", "105", W("°C"), "2t1f", "40003", "B", "83"}));
    EXPECT_EQ(f.list.Row(1).subItems,
              (Items{"40004", "F", "30", W("бар"), "2p3", "40006", "B", "83"}));
    EXPECT_EQ(f.list.Row(2).subItems, (Items{"40007", "F", "1", "", "12e4", "40009", "B", "2"}));
    EXPECT_EQ(f.list.Row(3).subItems, (Items{"40010", "F", "15", W("м3/ч")}));
    // Unknown to the catalogue: empty id and dimension, one SNVT variable.
    EXPECT_EQ(f.list.Row(4).subItems, (Items{"40012", "F", "", ""}));
    EXPECT_EQ(f.list.UsedVariables(), 8u);
    // The counts already include a row when the window is told of it.
    EXPECT_EQ(f.rec.usedAtInsert, (std::vector<unsigned>{2, 4, 6, 7, 8}));
    EXPECT_EQ(f.rec.counters, usertext::Counters(10, 8, 2).bytes());
    ExpectMirrorMatches(f);
}

TEST(AddVariable, InsertsAtTheIndexAndRenumbersFromTheTop) {
    ListFixture f;
    f.list.AddVariable(-1, "q1", 1);
    f.list.AddVariable(-1, "q2", 1);
    f.list.AddVariable(1, "t1", 1);
    f.list.AddVariable(0, "q3", 1);
    EXPECT_EQ(Captions(f.list), (Items{"1q3", "1q1", "1t1", "1q2"}));
    EXPECT_EQ(f.list.Row(0).Text(colRef), "40001");
    EXPECT_EQ(f.list.Row(1).Text(colRef), "40003");
    EXPECT_EQ(f.list.Row(2).Text(colRef), "40005");
    EXPECT_EQ(f.list.Row(2).Text(colFlagsRef), "40007");
    EXPECT_EQ(f.list.Row(3).Text(colRef), "40008");
    ExpectMirrorMatches(f);
}

TEST(AddVariable, IgnoresDuplicateCaptionsWhateverTheirCase) {
    ListFixture f;
    f.list.AddVariable(-1, "t1", 2);
    EXPECT_EQ(f.list.AddVariable(-1, "t1", 2), SnvtList::AddResult::Duplicate);
    EXPECT_EQ(f.list.AddVariable(-1, "T1", 2), SnvtList::AddResult::Duplicate);
    EXPECT_EQ(f.list.AddVariable(-1, W("Тв1"), 1), SnvtList::AddResult::Added);
    EXPECT_EQ(f.list.AddVariable(0, W("тВ1"), 1), SnvtList::AddResult::Duplicate);
    // The same node text under another system is another variable; "1"+"1t1" and "11"+"t1"
    // are one caption.
    EXPECT_EQ(f.list.AddVariable(-1, "t1", 3), SnvtList::AddResult::Added);
    EXPECT_EQ(f.list.AddVariable(-1, "t1", 11), SnvtList::AddResult::Added);
    EXPECT_EQ(f.list.AddVariable(-1, "1t1", 1), SnvtList::AddResult::Duplicate);
    EXPECT_EQ(Captions(f.list), (Items{"2t1", W("1Тв1"), "3t1", "11t1"}));
    EXPECT_EQ(f.list.UsedVariables(), 7u);
    EXPECT_TRUE(f.rec.messages.empty());

    // A deleted caption can be added again.
    f.list.SetChecked(0, true);
    f.list.DeleteChecked();
    EXPECT_EQ(f.list.AddVariable(-1, "T1", 2), SnvtList::AddResult::Added);
}

// Captions read from a file are taken as added ones are, letter case ignored, through deletes
// and re-adds; one the file repeats stays taken until its last row goes; a new load starts over.
TEST(AddVariable, CaptionsReadFromAFileAreTakenUntilTheirLastRowGoes) {
    using R = SnvtList::AddResult;
    struct Step {
        int deleteRow;  // checked and deleted first; -1: none
        const char* node;
        uint8_t system;
        R result;
        Items captions;  // after the step
    };
    const Step steps[] = {
        {-1, "t1", 2, R::Duplicate, {"2T1", "1q1", "2t1"}},
        {0, "t1", 2, R::Duplicate, {"1q1", "2t1"}},
        {1, "t1", 2, R::Added, {"1q1", "2t1"}},
        {-1, "Q1", 1, R::Duplicate, {"1q1", "2t1"}},
        {0, "Q1", 1, R::Added, {"2t1", "1Q1"}},
        {-1, "q5", 1, R::Added, {"2t1", "1Q1", "1q5"}},
    };
    ListFixture f;
    const std::string file = "F 40001 105 2T1 d\r\nF 40003 105 1q1 d\r\nF 40005 105 2t1 d\r\n";
    for (int pass = 0; pass < 2; ++pass) {
        ASSERT_TRUE(LoadGatewayBytes(f.list, file).ok());
        for (size_t i = 0; i < std::size(steps); ++i) {
            const Step& step = steps[i];
            SCOPED_TRACE(testing::Message() << "pass " << pass << " step " << i);
            if (step.deleteRow >= 0) {
                f.list.SetChecked(static_cast<size_t>(step.deleteRow), true);
                f.list.DeleteChecked();
            }
            EXPECT_EQ(f.list.AddVariable(-1, step.node, step.system), step.result);
            EXPECT_EQ(Captions(f.list), step.captions);
        }
    }
    EXPECT_EQ(f.list.CaptionRehashes(), 0u);
}

TEST(AddVariable, RefusesWhatExceedsTheCapacity) {
    ListFixture f("10");
    for (int system = 1; system <= 9; ++system) f.list.AddVariable(-1, "q1", uint8_t(system));
    ASSERT_EQ(f.list.UsedVariables(), 9u);

    EXPECT_EQ(f.list.AddVariable(-1, "t1", 1), SnvtList::AddResult::NoRoom);
    ASSERT_EQ(f.rec.messages.size(), 1u);
    EXPECT_EQ(f.rec.messages[0], usertext::NoRoom(2).bytes());
    EXPECT_EQ(f.list.RowCount(), 9u);
    EXPECT_EQ(f.list.UsedVariables(), 9u);

    // Filling up to the capacity exactly is allowed.
    EXPECT_EQ(f.list.AddVariable(-1, "q2", 1), SnvtList::AddResult::Added);
    EXPECT_EQ(f.rec.counters, usertext::Counters(10, 10, 0).bytes());
    EXPECT_EQ(f.list.AddVariable(-1, "q3", 1), SnvtList::AddResult::NoRoom);
    EXPECT_EQ(f.rec.messages.back(), usertext::NoRoom(1).bytes());
}

TEST(AddVariable, CapacityAbove255DoesNotWrap) {
    ListFixture f("300");
    EXPECT_EQ(f.list.MaxVariables(), 300u);
    for (int system = 1; system <= 150; ++system) {
        ASSERT_EQ(f.list.AddVariable(-1, "t1", uint8_t(system)), SnvtList::AddResult::Added);
    }
    EXPECT_EQ(f.list.UsedVariables(), 300u);
    EXPECT_EQ(f.list.AddVariable(-1, "q1", 1), SnvtList::AddResult::NoRoom);
    EXPECT_EQ(f.rec.counters, usertext::Counters(300, 300, 0).bytes());
    // 150 rows of three references each: the last flags variable is 40001 + 449.
    EXPECT_EQ(f.list.Row(149).Text(colFlagsRef), "40450");
}

TEST(RenumberRefs, CountsFlagsVariablesOnlyOfTypeB) {
    ListFixture f;
    // Rows as a file may give them: references as read, a flags type other than "B".
    f.list.AppendRowFromFile("1a", {"7", "F", "1", "x", "1fa", "8", "Bx", "2"});
    f.list.AppendRowFromFile("1b", {"9", "F", "1", "x", "1fb", "10", "B", "2"});
    f.list.AppendRowFromFile("1c", {"11", "F", "1", "x"});
    EXPECT_EQ(f.list.Row(0).Text(colRef), "7");  // kept until the next change
    f.list.RenumberRefs();
    EXPECT_EQ(f.list.Row(0).Text(colRef), "40001");
    EXPECT_EQ(f.list.Row(0).Text(colFlagsRef), "8");
    EXPECT_EQ(f.list.Row(1).Text(colRef), "40003");
    EXPECT_EQ(f.list.Row(1).Text(colFlagsRef), "40005");
    EXPECT_EQ(f.list.Row(2).Text(colRef), "40006");
    ExpectMirrorMatches(f);
}

TEST(RenumberRefs, WrapsAtSixteenBits) {
    ListFixture f;
    // 12767 rows reach 65535; the next two wrap to 1 and 3.
    for (int i = 0; i < 12770; ++i)
        f.list.AppendRowFromFile("v" + std::to_string(i), {"", "F", "1", "x"});
    f.list.RenumberRefs();
    EXPECT_EQ(f.list.Row(12767).Text(colRef), "65535");
    EXPECT_EQ(f.list.Row(12768).Text(colRef), "1");
    EXPECT_EQ(f.list.Row(12769).Text(colRef), "3");
}

// How many rows' references a change works out: an append to a numbered list only its own row,
// anything that moves rows or leaves file references in place every row once.
TEST(RenumberRefs, WorkPerChangeIsWhatMoved) {
    struct Case {
        const char* name;
        size_t fileRows;  // rows read from a file first, references as given
        size_t appended;  // variables then added at the end
        int insertAt;     // then one more added here (-2: none)
        uint64_t work;    // rows renumbered by the additions
    };
    const Case cases[] = {
        {"appends only", 0, 300, -2, 300},
        {"appends after file rows", 50, 300, -2, 51 + 299},
        {"insert at the top", 0, 300, 0, 300 + 301},
        {"insert in the middle", 0, 300, 150, 300 + 301},
        {"insert at the end", 0, 300, 300, 300 + 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ListFixture f("2000");
        for (size_t i = 0; i < c.fileRows; ++i)
            ASSERT_TRUE(f.list.AppendRowFromFile("2f" + std::to_string(i), {"9", "F", "1", "x"}));
        const uint64_t before = f.list.RowsRenumbered();
        for (size_t i = 0; i < c.appended; ++i) {
            // Every third one brings a flags variable, which takes a reference of its own.
            const std::string name = (i % 3 == 0 ? "t" : "q") + std::to_string(i);
            ASSERT_EQ(f.list.AddVariable(-1, name, 1), SnvtList::AddResult::Added);
        }
        if (c.insertAt != -2) {
            ASSERT_EQ(f.list.AddVariable(c.insertAt, "q9999", 1), SnvtList::AddResult::Added);
        }
        EXPECT_EQ(f.list.RowsRenumbered() - before, c.work);

        // The references are those a full renumber gives, and the view shows them.
        std::vector<SnvtRow> incremental = f.list.Rows();
        f.list.RenumberRefs();
        for (size_t i = 0; i < incremental.size(); ++i)
            ASSERT_EQ(incremental[i].subItems, f.list.Row(i).subItems) << i;
        ExpectMirrorMatches(f);
    }
}

TEST(RenumberRefs, AppendsAfterAnyRemovalContinueFromTheRightReference) {
    ListFixture f("100");
    for (int i = 0; i < 6; ++i) f.list.AddVariable(-1, "t" + std::to_string(i), 1);
    f.list.SetChecked(1, true);
    f.list.DeleteChecked();
    f.list.MoveRow(0, -1);
    f.list.AddVariable(-1, "q1", 1);
    EXPECT_EQ(f.list.Row(5).Text(colRef), "40016");  // five rows of three references before it
    f.list.Clear();
    f.list.AddVariable(-1, "q2", 1);
    EXPECT_EQ(f.list.Row(0).Text(colRef), "40001");
    ExpectMirrorMatches(f);
}

TEST(MoveRow, PutsTheRowBeforeTheTargetAndRenumbers) {
    ListFixture f;
    f.list.AddVariable(-1, "q1", 1);
    f.list.AddVariable(-1, "t1", 1);
    f.list.AddVariable(-1, "q2", 1);
    f.list.SetChecked(2, true);
    const unsigned used = f.list.UsedVariables();
    const SnvtRowId oldId = f.list.Row(2).id;

    // The last row onto the first: it comes first, keeps its check box, is a new row.
    EXPECT_EQ(f.list.MoveRow(2, 0), 0);
    EXPECT_EQ(Captions(f.list), (Items{"1q2", "1q1", "1t1"}));
    EXPECT_TRUE(f.list.Row(0).checked);
    EXPECT_NE(f.list.Row(0).id, oldId);
    EXPECT_EQ(f.list.IndexOf(oldId), -1);
    EXPECT_EQ(f.list.Row(0).Text(colRef), "40001");
    EXPECT_EQ(f.list.Row(1).Text(colRef), "40003");
    EXPECT_EQ(f.list.Row(2).Text(colRef), "40005");
    EXPECT_EQ(f.list.UsedVariables(), used);

    // Dragged downward it still lands before the target.
    EXPECT_EQ(f.list.MoveRow(0, 2), 1);
    EXPECT_EQ(Captions(f.list), (Items{"1q1", "1q2", "1t1"}));
    // No target: to the end.
    EXPECT_EQ(f.list.MoveRow(0, -1), 2);
    EXPECT_EQ(Captions(f.list), (Items{"1q2", "1t1", "1q1"}));
    EXPECT_EQ(f.list.Row(1).Text(colFlagsRef), "40005");
    EXPECT_EQ(f.list.Row(2).Text(colRef), "40006");
    ExpectMirrorMatches(f);

    // Onto itself, or with no selected row: nothing at all.
    const size_t events = f.rec.events.size();
    EXPECT_EQ(f.list.MoveRow(1, 1), -1);
    EXPECT_EQ(f.list.MoveRow(-1, 0), -1);
    EXPECT_EQ(f.rec.events.size(), events);
}

TEST(MoveRow, WorksInAFullList) {
    ListFixture f("10", 3);
    f.list.AddVariable(-1, "q1", 1);
    f.list.AddVariable(-1, "q2", 1);
    f.list.AddVariable(-1, "q3", 1);
    EXPECT_EQ(f.list.MoveRow(0, 2), 1);
    EXPECT_EQ(Captions(f.list), (Items{"1q2", "1q1", "1q3"}));
    EXPECT_EQ(f.list.MoveRow(2, 0), 0);
    EXPECT_EQ(Captions(f.list), (Items{"1q3", "1q2", "1q1"}));
    ExpectMirrorMatches(f);
}

TEST(RowsHandedOver, ArriveInOneNotificationAndBehaveAsTheirOwn) {
    // A device command's list is filled away from the window's, then handed over in one step.
    ListFixture f;
    f.list.AddVariable(-1, "q1", 1);
    SnvtList read(f.catalogue);
    ASSERT_TRUE(LoadGatewayBytes(read, "F 40001 105 1t1 C\r\nF 40002 15 1Q5 C\r\n").ok());
    f.rec.events.clear();
    f.list.TakeRowsFrom(std::move(read));
    EXPECT_EQ(f.rec.events, (std::vector<std::string>{"replaced"}));
    EXPECT_EQ(Captions(f.list), (Items{"1t1", "1Q5"}));
    EXPECT_EQ(read.RowCount(), 0u);
    EXPECT_EQ(read.UsedVariables(), 0u);
    EXPECT_EQ(f.list.UsedVariables(), 2u);
    ExpectMirrorMatches(f);
    // The captions came along: a duplicate in another letter case is still refused, and a new
    // row gets an id no row has.
    EXPECT_EQ(f.list.AddVariable(-1, "q5", 1), SnvtList::AddResult::Duplicate);
    EXPECT_EQ(f.list.AddVariable(-1, "t2", 1), SnvtList::AddResult::Added);
    EXPECT_NE(f.list.Row(2).id, f.list.Row(0).id);
    EXPECT_NE(f.list.Row(2).id, f.list.Row(1).id);

    // A copy leaves its source as it was and can be stored on its own.
    SnvtList copy(f.catalogue);
    copy.CopyRowsFrom(f.list);
    EXPECT_EQ(Captions(copy), Captions(f.list));
    EXPECT_EQ(copy.UsedVariables(), f.list.UsedVariables());
    EXPECT_EQ(copy.CountersText(), f.list.CountersText());  // the store's report counts these
    EXPECT_EQ(GatewayFileText(copy), GatewayFileText(f.list));
    EXPECT_EQ(f.list.RowCount(), 3u);
}

TEST(CheckAll, SetsAndClearsEveryRow) {
    ListFixture f;
    f.list.AddVariable(-1, "q1", 1);
    f.list.AddVariable(-1, "q2", 1);
    f.list.SetChecked(1, true);
    f.rec.events.clear();
    f.list.SetAll();
    EXPECT_TRUE(f.list.Row(0).checked && f.list.Row(1).checked);
    EXPECT_EQ(f.rec.events, (Items{"~0"}));  // only the row that changed
    f.list.ClearAll();
    EXPECT_FALSE(f.list.Row(0).checked || f.list.Row(1).checked);
    EXPECT_EQ(f.rec.progress.back(), std::make_pair(std::string(), 0.0f));
    ExpectMirrorMatches(f);
}

TEST(DeleteChecked, RemovesCheckedRowsWithProgress) {
    ListFixture f;
    f.list.AddVariable(-1, "t1", 1);
    f.list.AddVariable(-1, "q1", 1);
    f.list.AddVariable(-1, "q2", 1);
    f.list.AddVariable(-1, "q3", 1);
    f.list.SetChecked(0, true);
    f.list.SetChecked(1, true);  // the row after a deleted one is not skipped
    f.list.SetChecked(3, true);
    f.rec.progress.clear();
    f.rec.events.clear();
    f.list.DeleteChecked();

    EXPECT_EQ(Captions(f.list), (Items{"1q2"}));
    EXPECT_EQ(f.list.Row(0).Text(colRef), "40001");
    EXPECT_EQ(f.list.UsedVariables(), 1u);
    // One notification for the removed rows, then the moved row's new reference.
    EXPECT_EQ(f.rec.events, (Items{"-[0,1,3]", "~0"}));
    // The work is over before a paint could show more than its start and first row.
    const std::vector<std::pair<std::string, float>> expected = {
        {usertext::DeletingChecked().bytes(), 0.0f},
        {usertext::DeletingRow().bytes() + "1t1", 0.0f / 4},
        {"", 0.0f},
    };
    EXPECT_EQ(f.rec.progress, expected);
    EXPECT_EQ(f.rec.counters, usertext::Counters(10, 1, 9).bytes());
    ExpectMirrorMatches(f);

    f.list.SetAll();
    f.list.DeleteChecked();
    EXPECT_EQ(f.list.RowCount(), 0u);
    EXPECT_EQ(f.list.UsedVariables(), 0u);
}

// Whatever rows are checked, the observer hears of the removal once and the progress sink three
// times, and the rows left keep their order and get references from the top.
TEST(DeleteChecked, OneNotificationWhateverIsChecked) {
    struct Case {
        const char* name;
        bool (*checked)(size_t);
    };
    const Case cases[] = {
        {"every row", [](size_t) { return true; }},
        {"every other row", [](size_t i) { return i % 2 == 0; }},
        {"a block in the middle", [](size_t i) { return i >= 500 && i < 1500; }},
        {"the last row", [](size_t i) { return i == 1999; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ListFixture f("5000");
        Items left;
        for (size_t i = 0; i < 2000; ++i) {
            ASSERT_EQ(f.list.AddVariable(-1, "q" + std::to_string(i), 1),
                      SnvtList::AddResult::Added);
            if (c.checked(i))
                f.list.SetChecked(i, true);
            else
                left.push_back("1q" + std::to_string(i));
        }
        f.rec.events.clear();
        f.rec.progress.clear();
        const uint64_t renumbered = f.list.RowsRenumbered();
        f.list.DeleteChecked();

        EXPECT_EQ(Captions(f.list), left);
        EXPECT_EQ(f.list.UsedVariables(), left.size());
        ASSERT_FALSE(f.rec.events.empty());
        EXPECT_EQ(f.rec.events[0].substr(0, 2), "-[");
        for (size_t e = 1; e < f.rec.events.size(); ++e)
            EXPECT_EQ(f.rec.events[e][0], '~') << f.rec.events[e];
        EXPECT_EQ(f.rec.progress.size(), 3u);
        EXPECT_EQ(f.list.RowsRenumbered() - renumbered, left.size());
        for (size_t i = 0; i < left.size(); ++i)
            ASSERT_EQ(f.list.Row(i).Text(colRef), std::to_string(40001 + 2 * i));
        ExpectMirrorMatches(f);
        // Deleted captions may be added again; kept ones are still taken.
        if (!left.empty()) {
            EXPECT_EQ(f.list.AddVariable(-1, left[0].substr(1), 1), SnvtList::AddResult::Duplicate);
        }
    }
}

TEST(DeleteChecked, WithNothingCheckedOnlyShowsProgress) {
    ListFixture f;
    f.list.AddVariable(-1, "q1", 1);
    f.list.AddVariable(-1, "q2", 1);
    f.rec.events.clear();
    f.rec.progress.clear();
    f.list.DeleteChecked();
    EXPECT_EQ(f.list.RowCount(), 2u);
    EXPECT_TRUE(f.rec.events.empty());
    const std::vector<std::pair<std::string, float>> expected = {
        {usertext::DeletingChecked().bytes(), 0.0f}, {"", 0.0f}};
    EXPECT_EQ(f.rec.progress, expected);
}

TEST(Counters, ShowANegativeRemainderWhenAFileBroughtTooMany) {
    ListFixture f("2");
    f.list.AppendRowFromFile("1a", {"40001", "F", "1", "x", "1fa", "40003", "B", "2"});
    f.list.AppendRowFromFile("1b", {"40004", "F", "1", "x"});
    EXPECT_EQ(f.list.UsedVariables(), Invariant(f.list));
    EXPECT_EQ(f.rec.counters, usertext::Counters(2, 3, -1).bytes());
    EXPECT_EQ(f.list.AddVariable(-1, "q1", 1), SnvtList::AddResult::NoRoom);
    EXPECT_EQ(f.list.RowCount(), 2u);
}

TEST(AppendRowFromFile, TakesTheCountsBackWhenNoRowCanBeCreated) {
    ListFixture f("10", 2);
    EXPECT_TRUE(f.list.AppendRowFromFile("1a", {"1", "F", "1", "x", "1fa", "2", "B", "2"}));
    EXPECT_TRUE(f.list.AppendRowFromFile("1b", {"3", "F", "1", "x"}));
    EXPECT_FALSE(f.list.AppendRowFromFile("1c", {"4", "F", "1", "x", "1fc", "5", "B", "2"}));
    EXPECT_FALSE(f.list.AppendRowFromFile("1d", {"4", "F", "1"}));  // neither 4 nor 8 sub-items
    EXPECT_EQ(f.list.UsedVariables(), 3u);
    EXPECT_EQ(f.list.UsedVariables(), Invariant(f.list));
}

TEST(MaxVariables, ConvertsTheWholeTextOrFails) {
    EXPECT_EQ(ParseMaxVariables("10").value_or(0), 10u);
    EXPECT_EQ(ParseMaxVariables("+255").value_or(0), 255u);
    EXPECT_EQ(ParseMaxVariables("-0").value_or(1), 0u);
    // Above 8 bits the capacity is what the catalogue says, not its low byte.
    EXPECT_EQ(ParseMaxVariables("256").value_or(0), 256u);
    EXPECT_EQ(ParseMaxVariables("12767").value_or(0), 12767u);
    EXPECT_TRUE(ParseMaxVariables("12767").ok());

    for (const char* bad :
         {"", " 10", "10 ", "1e2", "0x10", "abc", "+", "-1", "12768", "99999999999999999999999"}) {
        const Result<unsigned> r = ParseMaxVariables(bad);
        ASSERT_FALSE(r.ok()) << bad;
        EXPECT_EQ(r.value_or(0), 0u) << bad;
        const std::string& error = r.failure().detail;
        EXPECT_NE(error.find(std::string("'") + bad + "'"), std::string::npos) << error;
    }
    EXPECT_EQ(ParseMaxVariables("abc").failure().detail, "'abc' is not a valid integer value");
    // A catalogue without "LonCfg" (or not loaded at all) has no capacity.
    XmlDocument unloaded;
    EXPECT_FALSE(LoadMaxVariables(unloaded).ok());
}

}  // namespace
