#pragma once
// The SNVT variable list: the device variables the gateway publishes, with the gateway's capacity,
// the register references and the order of the rows. It holds no toolkit objects: the window
// mirrors it through ISnvtListObserver and serves its messages and progress through IMessageSink
// and IProgressSink. Any of the three may be left unset.
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/messagesink.h"
#include "base/progresssink.h"
#include "gateway/snvtlistobserver.h"
#include "gateway/snvtrow.h"

class XmlDocument;

class SnvtList {
  public:
    enum class AddResult {
        Added,
        Duplicate,  // a row with this caption exists (letter case ignored); nothing shown
        NoRoom,     // the capacity message was shown; nothing changed
    };

    // Rows the list holds at most, whatever a settings file brings; keeps a damaged or foreign
    // file from exhausting memory.
    static constexpr size_t kDefaultRowLimit = 65535;

    // The catalogue document must outlive the list; it may be unloaded (an empty catalogue).
    explicit SnvtList(const XmlDocument& catalogue, size_t rowLimit = kDefaultRowLimit);
    SnvtList(const SnvtList&) = delete;
    SnvtList& operator=(const SnvtList&) = delete;

    void SetObserver(ISnvtListObserver* observer) { observer_ = observer; }
    void SetMessageSink(IMessageSink* messages) { messages_ = messages; }
    void SetProgressSink(IProgressSink* progress) { progress_ = progress; }

    // The gateway's capacity in SNVT variables (see LoadMaxVariables).
    unsigned MaxVariables() const { return maxVariables_; }
    void SetMaxVariables(unsigned value) {
        maxVariables_ = value;
        capacity_ = Capacity::Known;
    }
    // No capacity is known (no catalogue, or one whose capacity is unusable): nothing can be
    // added, and the counters say why instead of counting against 0.
    enum class Capacity { Known, NoCatalogue, Unusable };
    void SetCapacityUnknown(Capacity why) {
        maxVariables_ = 0;
        capacity_ = why;
    }
    Capacity CapacityState() const { return capacity_; }
    // SNVT variables in the list: always the number of rows plus the rows with a flags variable.
    unsigned UsedVariables() const { return usedVariables_; }

    size_t RowCount() const { return rows_.size(); }
    size_t RowLimit() const { return rowLimit_; }
    // Makes room for this many rows in all (at most the row limit) before they come, so that
    // adding them moves no row and rebuilds no caption index. Rows read from a file enter the
    // caption index only when a caption is first looked up (a list that is only read and
    // written never builds it).
    void Reserve(size_t rows);
    // How often the caption index was rebuilt to grow: lets tests see that Reserve took.
    uint64_t CaptionRehashes() const { return captionRehashes_; }
    const SnvtRow& Row(size_t index) const { return rows_[index]; }
    const std::vector<SnvtRow>& Rows() const { return rows_; }
    // The row's current index, or -1 when it is no longer in the list.
    int IndexOf(SnvtRowId id) const;

    // Adds the tree variable nodeText of system `system` at index (-1: at the end): caption
    // "<system><nodeText>", SNVT data and dimension from the catalogue, a flags variable when the
    // catalogue gives one; refuses with the capacity message when it does not fit. Renumbers.
    AddResult AddVariable(int index, const std::string& nodeText, uint8_t system);

    // Register references from 40001: two per variable, one more per flags variable.
    void RenumberRefs();
    // Rows whose references were worked out since the list was made: lets tests and benchmarks
    // see how much renumbering a change costs.
    uint64_t RowsRenumbered() const { return rowsRenumbered_; }

    // A drop within the list: the row at `moved` (the selected row, -1: none) goes before the row
    // at `target` (-1: to the end). The row is recreated there with its texts and check state and
    // the original removed; returns the new row's index, which becomes the selected row, or -1
    // when nothing moved (no selected row, or the target is the moved row). Renumbers.
    int MoveRow(int moved, int target);

    void SetChecked(size_t index, bool checked);
    // The tool bar's "Отметить всё" and "Снять отметки".
    void SetAll() { SetAllChecked(true); }
    void ClearAll() { SetAllChecked(false); }
    // "Удалить выбранное": removes the checked rows in one pass and tells the observer in one
    // call. The progress sink sees the work start, the first checked row, and the end.
    void DeleteChecked();

    // Sends the counters line to the observer.
    void UpdateCounters();
    // "SNVT переменных <max>, задействовано: <used>, доступно: <max - used>" (Windows-1251), or
    // without a known capacity "SNVT переменных задействовано: <used>, ёмкость неизвестна: ...".
    std::string CountersText() const;

    // A device command works on a list of its own, away from the window's: these hand rows
    // between two lists in one step. CopyRowsFrom makes this list hold what other holds (rows,
    // counts, references, capacity), so that the copy's counters are other's; TakeRowsFrom moves
    // other's rows here and leaves other empty, the capacity staying this list's. Either tells
    // the observer once (ListReplaced). Every row gets an id of this list's.
    void CopyRowsFrom(const SnvtList& other);
    void TakeRowsFrom(SnvtList&& other);

    // For the settings file reader.
    // Removes every row and sets UsedVariables to 0.
    void Clear();
    // Appends a row read from a file, counting its SNVT variables before the row appears so the
    // insert notification already shows them. References stay as given until the next renumber.
    // Returns false, with the counts unchanged, when no row can be created.
    bool AppendRowFromFile(std::string caption, std::vector<std::string> subItems);

  private:
    void SetAllChecked(bool checked);
    // Gives every row a new id of this list's and tells the observer that the rows were replaced.
    void RowsReplaced();
    bool HasCaption(const std::string& caption);
    // Brings the caption index up to date with every row; false when memory ran out (the index
    // is left empty and unbuilt then).
    bool IndexCaptions();
    // Inserts at index (-1 or beyond the end: at the end); returns the row's index or -1.
    int InsertRow(int index, SnvtRow row);
    void RemoveRow(size_t index);
    // One row fewer carries this caption in the caption index.
    void ForgetCaption(const std::string& caption);
    void SetSubItem(size_t index, size_t subItem, const std::string& text, bool& changed);
    // Gives the row at index the references following nextRef_ and moves nextRef_ past them;
    // true when a reference changed.
    bool NumberRow(size_t index);
    void Notify(void (ISnvtListObserver::*what)(size_t), size_t index);
    void Progress(const std::string& text, float fraction);

    const XmlDocument& catalogue_;
    size_t rowLimit_;
    ISnvtListObserver* observer_ = nullptr;
    IMessageSink* messages_ = nullptr;
    IProgressSink* progress_ = nullptr;
    unsigned maxVariables_ = 0;
    Capacity capacity_ = Capacity::Known;
    unsigned usedVariables_ = 0;
    std::vector<SnvtRow> rows_;
    SnvtRowId nextId_ = 1;
    // Every row holds the references RenumberRefs gives it, and nextRef_ follows the last row's:
    // a row appended then needs only its own. False once rows come from a file as given.
    bool numbered_ = true;
    uint16_t nextRef_;
    uint64_t rowsRenumbered_ = 0;
    uint64_t captionRehashes_ = 0;
    // Lower-cased captions of the rows and how many rows carry each (a file may repeat one);
    // kept only while captionsIndexed_, built again on the next lookup after rows came from a file.
    std::unordered_map<std::string, unsigned> captions_;
    bool captionsIndexed_ = true;
};
