#pragma once
// The window's view of the SNVT list mirrors the model row for row through these notifications.
// Indices are positions at the moment of the call: mirror each call as it comes.
#include <cstddef>
#include <string>
#include <vector>

class ISnvtListObserver {
  public:
    // A row now stands at index; the rows from index on moved down by one.
    virtual void RowInserted(size_t index) = 0;
    // The row at index is gone; the rows after it moved up by one.
    virtual void RowRemoved(size_t index) = 0;
    // The rows that stood at these indices (ascending, positions before the call) are gone; the
    // others closed up in their order. One call for rows removed together.
    virtual void RowsRemoved(const std::vector<size_t>& indices) = 0;
    // Texts or the check state of the row at index changed.
    virtual void RowChanged(size_t index) = 0;
    // Every row is gone.
    virtual void ListCleared() = 0;
    // Every row was replaced in one step: the list now holds other rows (possibly none).
    virtual void ListReplaced() = 0;
    // The counters line (Windows-1251) for the list's caption field. Sent after every one of the
    // notifications above, once the counts already include the change.
    virtual void CountersChanged(const std::string& text) = 0;

  protected:
    ~ISnvtListObserver() = default;
};
