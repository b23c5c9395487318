#include "gateway/snvtlist.h"

#include <algorithm>
#include <new>
#include <utility>

#include "app/messages.h"
#include "base/cp1251.h"
#include "optlist/optlist.h"

namespace {

// The first register reference of the list; the gateway's register map starts here.
constexpr uint16_t kFirstRef = 40001;

}  // namespace

SnvtList::SnvtList(const XmlDocument& catalogue, size_t rowLimit)
    : catalogue_(catalogue), rowLimit_(rowLimit), nextRef_(kFirstRef) {}

int SnvtList::IndexOf(SnvtRowId id) const {
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].id == id) return static_cast<int>(i);
    }
    return -1;
}

SnvtList::AddResult SnvtList::AddVariable(int index, const std::string& nodeText, uint8_t system) {
    const std::string number = std::to_string(system);
    const std::string caption = number + nodeText;
    if (HasCaption(caption)) return AddResult::Duplicate;

    const SOptions options = GetVarOptions(catalogue_, nodeText);
    const unsigned need = options.items[1].name == "FSNVTid" ? 2 : 1;
    // Counts are compared in full width: a list read from a file may already hold more than the
    // capacity, and then nothing more fits.
    if (static_cast<unsigned long long>(usedVariables_) + need > maxVariables_) {
        if (messages_) messages_->ShowMessage(usertext::NoRoom(need));
        return AddResult::NoRoom;
    }

    SnvtRow row;
    row.caption = caption;
    row.subItems = {std::string(), "F", options.items[0].value, GetVarNote(catalogue_, nodeText)};
    if (need == 2) {
        const SOption& flags = options.items[2];
        std::string flagsName =
            flags.name == "flags" && !flags.value.empty() ? number + flags.value : caption;
        row.subItems.insert(row.subItems.end(),
                            {std::move(flagsName), std::string(), "B", options.items[1].value});
    }

    usedVariables_ += need;
    const int at = InsertRow(index, std::move(row));
    if (at < 0) {
        usedVariables_ -= need;
        UpdateCounters();
        return AddResult::NoRoom;
    }
    // A row appended to a numbered list moves no other row: only its own references are new.
    if (numbered_ && static_cast<size_t>(at) + 1 == rows_.size()) {
        if (NumberRow(static_cast<size_t>(at)))
            Notify(&ISnvtListObserver::RowChanged, static_cast<size_t>(at));
    } else {
        RenumberRefs();
    }
    return AddResult::Added;
}

void SnvtList::RenumberRefs() {
    nextRef_ = kFirstRef;
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (NumberRow(i)) Notify(&ISnvtListObserver::RowChanged, i);
    }
    numbered_ = true;
}

bool SnvtList::NumberRow(size_t index) {
    // 16 bits as the gateway's register numbers are; beyond 65535 they wrap.
    bool changed = false;
    SetSubItem(index, colRef - 1, std::to_string(nextRef_), changed);
    nextRef_ = static_cast<uint16_t>(nextRef_ + 2);
    const SnvtRow& row = rows_[index];
    if (row.HasFlags() && row.subItems[colFlagsType - 1] == "B") {
        SetSubItem(index, colFlagsRef - 1, std::to_string(nextRef_), changed);
        nextRef_ = static_cast<uint16_t>(nextRef_ + 1);
    }
    ++rowsRenumbered_;
    return changed;
}

int SnvtList::MoveRow(int moved, int target) {
    const int count = static_cast<int>(rows_.size());
    if (moved < 0 || moved >= count || target == moved) return -1;
    if (target >= count) target = -1;

    SnvtRow copy = rows_[static_cast<size_t>(moved)];
    copy.id = 0;
    const SnvtRowId originalId = rows_[static_cast<size_t>(moved)].id;
    int placed;
    if (rows_.size() < rowLimit_) {
        // The copy lands before the target, then the original goes wherever it now stands.
        placed = InsertRow(target, std::move(copy));
        if (placed < 0) return -1;
        const SnvtRowId copyId = rows_[static_cast<size_t>(placed)].id;
        RemoveRow(static_cast<size_t>(IndexOf(originalId)));
        placed = IndexOf(copyId);
    } else {
        // A full list has no room for the copy: take the original out first, to the same result.
        int at = target < 0 ? -1 : (target > moved ? target - 1 : target);
        RemoveRow(static_cast<size_t>(moved));
        placed = InsertRow(at, std::move(copy));
        if (placed < 0) return -1;
    }
    RenumberRefs();
    return placed;
}

void SnvtList::SetChecked(size_t index, bool checked) {
    if (index >= rows_.size() || rows_[index].checked == checked) return;
    rows_[index].checked = checked;
    Notify(&ISnvtListObserver::RowChanged, index);
}

void SnvtList::SetAllChecked(bool checked) {
    for (size_t i = rows_.size(); i-- > 0;) SetChecked(i, checked);
    Progress(std::string(), 0.0f);
}

void SnvtList::DeleteChecked() {
    Progress(usertext::DeletingChecked().bytes(), 0.0f);
    std::vector<size_t> removed;
    removed.reserve(static_cast<size_t>(
        std::count_if(rows_.begin(), rows_.end(), [](const SnvtRow& row) { return row.checked; })));
    size_t kept = 0;
    for (size_t i = 0; i < rows_.size(); ++i) {
        SnvtRow& row = rows_[i];
        if (!row.checked) {
            if (kept != i) rows_[kept] = std::move(row);
            ++kept;
            continue;
        }
        if (removed.empty()) {
            // Removing the rows takes no noticeable time: the first one stands for them all.
            const float fraction = static_cast<float>(i) / static_cast<float>(rows_.size());
            Progress(usertext::DeletingRow().bytes() + row.caption, fraction);
        }
        ForgetCaption(row.caption);
        const unsigned count = row.SnvtCount();
        usedVariables_ = usedVariables_ >= count ? usedVariables_ - count : 0;
        removed.push_back(i);
    }
    if (!removed.empty()) {
        rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(kept), rows_.end());
        numbered_ = false;
        if (observer_) {
            observer_->RowsRemoved(removed);
            UpdateCounters();
        }
        RenumberRefs();
    }
    Progress(std::string(), 0.0f);
    UpdateCounters();
}

void SnvtList::UpdateCounters() {
    if (observer_) observer_->CountersChanged(CountersText());
}

std::string SnvtList::CountersText() const {
    if (capacity_ != Capacity::Known)
        return usertext::CountersWithoutCapacity(usedVariables_,
                                                 capacity_ == Capacity::NoCatalogue
                                                     ? usertext::CapacityUnknown::NoCatalogue
                                                     : usertext::CapacityUnknown::Unusable)
            .bytes();
    const long long available =
        static_cast<long long>(maxVariables_) - static_cast<long long>(usedVariables_);
    return usertext::Counters(maxVariables_, usedVariables_, available).bytes();
}

void SnvtList::Reserve(size_t rows) {
    rows = std::min(rows, rowLimit_);
    // Without room the rows come in as before, only slower.
    try {
        rows_.reserve(rows);
    } catch (const std::bad_alloc&) {
    }
}

void SnvtList::Clear() {
    usedVariables_ = 0;
    rows_.clear();
    captions_.clear();
    captionsIndexed_ = true;
    numbered_ = true;
    nextRef_ = kFirstRef;
    if (observer_) observer_->ListCleared();
    UpdateCounters();
}

void SnvtList::CopyRowsFrom(const SnvtList& other) {
    if (&other == this) return;
    rows_ = other.rows_;
    usedVariables_ = other.usedVariables_;
    maxVariables_ = other.maxVariables_;
    capacity_ = other.capacity_;
    numbered_ = other.numbered_;
    nextRef_ = other.nextRef_;
    captions_ = other.captions_;
    captionsIndexed_ = other.captionsIndexed_;
    RowsReplaced();
}

void SnvtList::TakeRowsFrom(SnvtList&& other) {
    if (&other == this) return;
    rows_ = std::move(other.rows_);
    usedVariables_ = other.usedVariables_;
    numbered_ = other.numbered_;
    nextRef_ = other.nextRef_;
    captions_ = std::move(other.captions_);
    captionsIndexed_ = other.captionsIndexed_;
    other.rows_.clear();
    other.captions_.clear();
    other.captionsIndexed_ = true;
    other.usedVariables_ = 0;
    other.numbered_ = true;
    other.nextRef_ = kFirstRef;
    RowsReplaced();
}

void SnvtList::RowsReplaced() {
    for (SnvtRow& row : rows_) row.id = nextId_++;
    if (observer_) observer_->ListReplaced();
    UpdateCounters();
}

bool SnvtList::AppendRowFromFile(std::string caption, std::vector<std::string> subItems) {
    if (subItems.size() != kPlainSubItems && subItems.size() != kFlagsSubItems) return false;
    SnvtRow row;
    row.caption = std::move(caption);
    row.subItems = std::move(subItems);
    // The caption index is built when a caption is first looked up, not row by row.
    if (captionsIndexed_) {
        captions_.clear();
        captionsIndexed_ = false;
    }
    const unsigned count = row.SnvtCount();
    usedVariables_ += count;
    if (InsertRow(-1, std::move(row)) < 0) {
        usedVariables_ -= count;
        return false;
    }
    numbered_ = false;  // the file's references stand until the next renumber
    return true;
}

bool SnvtList::HasCaption(const std::string& caption) {
    const std::string lower = cp1251::Lower(caption);
    if (!IndexCaptions()) {
        // Without the index, the same answer row by row.
        return std::any_of(rows_.begin(), rows_.end(), [&lower](const SnvtRow& row) {
            return cp1251::Lower(row.caption) == lower;
        });
    }
    auto it = captions_.find(lower);
    return it != captions_.end() && it->second > 0;
}

bool SnvtList::IndexCaptions() {
    if (captionsIndexed_) return true;
    try {
        captions_.clear();
        captions_.reserve(rows_.size());
        for (const SnvtRow& row : rows_) ++captions_[cp1251::Lower(row.caption)];
        captionsIndexed_ = true;
    } catch (const std::bad_alloc&) {
        captions_.clear();
    }
    return captionsIndexed_;
}

int SnvtList::InsertRow(int index, SnvtRow row) {
    if (rows_.size() >= rowLimit_) return -1;
    const size_t at =
        index < 0 || static_cast<size_t>(index) > rows_.size() ? rows_.size() : size_t(index);
    // Out of memory means no row can be created: the list and its caption index stay as they were.
    try {
        unsigned* count = nullptr;
        if (captionsIndexed_) {
            const size_t buckets = captions_.bucket_count();
            auto slot = captions_.try_emplace(cp1251::Lower(row.caption), 0u).first;
            if (captions_.bucket_count() != buckets) ++captionRehashes_;
            count = &slot->second;
            row.id = nextId_;
            try {
                rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(at), std::move(row));
            } catch (const std::bad_alloc&) {
                if (slot->second == 0) captions_.erase(slot);
                throw;
            }
        } else {
            row.id = nextId_;
            rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(at), std::move(row));
        }
        if (count) ++*count;
        ++nextId_;
    } catch (const std::bad_alloc&) {
        return -1;
    }
    if (at + 1 != rows_.size()) numbered_ = false;
    Notify(&ISnvtListObserver::RowInserted, at);
    return static_cast<int>(at);
}

void SnvtList::ForgetCaption(const std::string& caption) {
    if (!captionsIndexed_) return;  // built from the rows left when it is next needed
    auto it = captions_.find(cp1251::Lower(caption));
    if (it != captions_.end() && --it->second == 0) captions_.erase(it);
}

void SnvtList::RemoveRow(size_t index) {
    ForgetCaption(rows_[index].caption);
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(index));
    numbered_ = false;
    Notify(&ISnvtListObserver::RowRemoved, index);
}

void SnvtList::SetSubItem(size_t index, size_t subItem, const std::string& text, bool& changed) {
    std::string& current = rows_[index].subItems[subItem];
    if (current == text) return;
    current = text;
    changed = true;
}

void SnvtList::Notify(void (ISnvtListObserver::*what)(size_t), size_t index) {
    if (!observer_) return;
    (observer_->*what)(index);
    // Every change of a row brings the counters line up to date.
    UpdateCounters();
}

void SnvtList::Progress(const std::string& text, float fraction) {
    if (progress_) progress_->ShowProgress(text, fraction);
}
