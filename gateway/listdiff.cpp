#include "gateway/listdiff.h"

#include <algorithm>
#include <unordered_map>

#include "base/cp1251.h"

namespace {

constexpr size_t kNone = static_cast<size_t>(-1);

// Pairs the rows of the same name occurrence by occurrence: pairOf[i] is the index in `after` of
// before[i]'s partner, or kNone.
std::vector<size_t> MatchByName(const std::vector<SnvtRow>& before,
                                const std::vector<SnvtRow>& after) {
    std::unordered_map<std::string, std::vector<size_t>> occurrences;  // name -> indexes in after
    for (size_t j = 0; j < after.size(); ++j) occurrences[after[j].caption].push_back(j);
    std::unordered_map<std::string, size_t> used;
    std::vector<size_t> pairOf(before.size(), kNone);
    for (size_t i = 0; i < before.size(); ++i) {
        const auto found = occurrences.find(before[i].caption);
        if (found == occurrences.end()) continue;
        size_t& k = used[before[i].caption];
        if (k < found->second.size()) pairOf[i] = found->second[k++];
    }
    return pairOf;
}

// Marks the members of one longest increasing subsequence of values (all distinct); with the
// values being the partners' places in the second list taken in the first list's order, that is
// a longest common order of the two lists. Patience sorting: O(n log n).
std::vector<bool> LongestIncreasing(const std::vector<size_t>& values) {
    std::vector<size_t> tails;  // tails[k]: index of the smallest end of a run of length k + 1
    std::vector<size_t> previous(values.size(), kNone);
    for (size_t i = 0; i < values.size(); ++i) {
        const auto at = std::lower_bound(tails.begin(), tails.end(), values[i],
                                         [&](size_t t, size_t v) { return values[t] < v; });
        if (at != tails.begin()) previous[i] = *(at - 1);
        if (at == tails.end()) {
            tails.push_back(i);
        } else {
            *at = i;
        }
    }
    std::vector<bool> member(values.size(), false);
    for (size_t i = tails.empty() ? kNone : tails.back(); i != kNone; i = previous[i])
        member[i] = true;
    return member;
}

std::vector<ColumnChange> ChangedColumns(const SnvtRow& before, const SnvtRow& after) {
    std::vector<ColumnChange> changes;
    for (int column = colRef; column < kSnvtColumnCount; ++column) {
        const bool had = static_cast<size_t>(column) <= before.subItems.size();
        const bool has = static_cast<size_t>(column) <= after.subItems.size();
        const std::string& a = before.Text(column);
        const std::string& b = after.Text(column);
        if (had == has && a == b) continue;
        changes.push_back({column, had, has, a, b});
    }
    return changes;
}

}  // namespace

std::vector<ListDiffEntry> DiffLists(const std::vector<SnvtRow>& before,
                                     const std::vector<SnvtRow>& after) {
    const std::vector<size_t> pairOf = MatchByName(before, after);
    std::vector<size_t> partnerOfAfter(after.size(), kNone);
    std::vector<size_t> kept;  // partners' places in `after`, in the order of `before`
    std::vector<size_t> keptFrom;
    for (size_t i = 0; i < before.size(); ++i) {
        if (pairOf[i] == kNone) continue;
        partnerOfAfter[pairOf[i]] = i;
        kept.push_back(pairOf[i]);
        keptFrom.push_back(i);
    }
    std::vector<bool> inOrder(before.size(), false);
    const std::vector<bool> member = LongestIncreasing(kept);
    for (size_t k = 0; k < kept.size(); ++k) inOrder[keptFrom[k]] = member[k];

    // Removed rows go after the entry of their nearest predecessor still present (kNone: first).
    std::vector<std::vector<size_t>> removedAfter(after.size());
    std::vector<size_t> removedFirst;
    size_t predecessor = kNone;
    for (size_t i = 0; i < before.size(); ++i) {
        if (pairOf[i] != kNone) {
            predecessor = pairOf[i];
        } else if (predecessor == kNone) {
            removedFirst.push_back(i);
        } else {
            removedAfter[predecessor].push_back(i);
        }
    }

    std::vector<ListDiffEntry> entries;
    const auto addRemoved = [&](const std::vector<size_t>& rows) {
        for (size_t i : rows) {
            ListDiffEntry e;
            e.kind = ListEntryKind::Removed;
            e.before = &before[i];
            e.beforeIndex = i;
            entries.push_back(std::move(e));
        }
    };
    addRemoved(removedFirst);
    for (size_t j = 0; j < after.size(); ++j) {
        ListDiffEntry e;
        e.after = &after[j];
        e.afterIndex = j;
        const size_t i = partnerOfAfter[j];
        if (i == kNone) {
            e.kind = ListEntryKind::Added;
            entries.push_back(std::move(e));
        } else {
            e.kind = ListEntryKind::Kept;
            e.before = &before[i];
            e.beforeIndex = i;
            e.moved = !inOrder[i];
            e.changes = ChangedColumns(before[i], after[j]);
            if (e.moved || !e.changes.empty()) entries.push_back(std::move(e));
        }
        addRemoved(removedAfter[j]);
    }
    return entries;
}

std::string SnvtColumnName(int column) {
    if (column < 0 || column >= kSnvtColumnCount) return std::string();
    const std::string caption = kSnvtColumnCaptions[static_cast<size_t>(column)];
    if (column < colFlagsName || caption.rfind("Flags", 0) == 0) return caption;
    return "Flags " + caption;
}

namespace {

// A field of the list (Windows-1251) for people.
std::string FieldText(const std::string& field) {
    return field.empty() ? "\"\"" : cp1251::ToUtf8(Cp1251String(field));
}

}  // namespace

std::string ColumnsText(const SnvtRow& row) {
    std::string text;
    for (size_t column = 1; column <= row.subItems.size(); ++column) {
        if (!text.empty()) text += ", ";
        text +=
            SnvtColumnName(static_cast<int>(column)) + " " + FieldText(row.subItems[column - 1]);
    }
    return text;
}

std::string ChangesText(const std::vector<ColumnChange>& changes, const std::string& none) {
    std::string text;
    for (const ColumnChange& c : changes) {
        if (!text.empty()) text += ", ";
        text += SnvtColumnName(c.column) + " " + (c.hadBefore ? FieldText(c.before) : none) +
                " → " + (c.hasAfter ? FieldText(c.after) : none);
    }
    return text;
}
