#pragma once
// One row of the SNVT variable list: a device variable published by the gateway and, when the
// catalogue gives it one, its companion flags variable.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Columns of the list. Column 0 is the row's caption; column n > 0 is sub-item n - 1.
enum SnvtColumn : int {
    colVarName = 0,
    colRef = 1,
    colType = 2,
    colSnvtId = 3,
    colDimension = 4,
    colFlagsName = 5,
    colFlagsRef = 6,
    colFlagsType = 7,
    colFlagsSnvtId = 8,
};

inline constexpr int kSnvtColumnCount = 9;
inline constexpr std::array<const char*, kSnvtColumnCount> kSnvtColumnCaptions = {
    "Var Name", "Ref", "Type", "SNVT_ID", "Dimention", "Flags Name", "Ref", "Type", "SNVT_ID"};
// Widths in pixels at 96 dpi; -1 leaves the toolkit's default. Column 0 is never below 50.
inline constexpr std::array<int, kSnvtColumnCount> kSnvtColumnWidths = {80, 60, -1, -1, -1,
                                                                        80, 60, -1, -1};
inline constexpr int kSnvtVarNameMinWidth = 50;

// Sub-item counts: a plain variable has columns 1-4, one with a flags variable columns 1-8.
inline constexpr size_t kPlainSubItems = 4;
inline constexpr size_t kFlagsSubItems = 8;

using SnvtRowId = uint64_t;

struct SnvtRow {
    SnvtRowId id = 0;     // unique for the list's life; a moved row is a new row with a new id
    std::string caption;  // Windows-1251
    std::vector<std::string> subItems;  // 4 or 8, Windows-1251
    bool checked = false;

    // A flags variable occupies a second SNVT variable of the gateway.
    bool HasFlags() const { return subItems.size() > 6; }
    // The text under a column; empty for a column the row does not have.
    const std::string& Text(int column) const;
    // SNVT variables the row occupies: 1, or 2 with a flags variable.
    unsigned SnvtCount() const { return HasFlags() ? 2 : 1; }
};
