#include "app/ui/snvtlistview.h"

#include <algorithm>
#include <utility>

#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>

#include "app/ui/dragpayload.h"
#include "base/ui/qcp1251.h"

SnvtListModel::SnvtListModel(QObject* parent) : QAbstractTableModel(parent) {}

int SnvtListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int SnvtListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kSnvtColumnCount;
}

QVariant SnvtListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const SnvtRow& row = Row(index.row());
    switch (role) {
        case Qt::DisplayRole:
            return FromCp1251(Cp1251String(row.Text(index.column())));
        case Qt::CheckStateRole:
            if (index.column() == colVarName) return row.checked ? Qt::Checked : Qt::Unchecked;
            return {};
        default:
            return {};
    }
}

bool SnvtListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !index.isValid() || index.column() != colVarName ||
        index.row() >= rowCount())
        return false;
    // The list decides; its notification then changes the row here.
    emit CheckToggled(index.row(), value.value<Qt::CheckState>() == Qt::Checked);
    return true;
}

Qt::ItemFlags SnvtListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::ItemIsDropEnabled;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
    if (index.column() == colVarName) flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QVariant SnvtListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kSnvtColumnCount) return {};
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(kSnvtColumnCaptions[static_cast<size_t>(section)]);
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

void SnvtListModel::InsertRow(int index, const SnvtRow& row) {
    const int at = std::clamp(index, 0, rowCount());
    beginInsertRows(QModelIndex(), at, at);
    rows_.insert(rows_.begin() + at, row);
    endInsertRows();
}

void SnvtListModel::UpdateRow(int index, const SnvtRow& row) {
    if (index < 0 || index >= rowCount()) return;
    rows_[static_cast<size_t>(index)] = row;
    emit dataChanged(this->index(index, 0), this->index(index, kSnvtColumnCount - 1));
}

void SnvtListModel::RemoveRows(const std::vector<size_t>& indices) {
    // Runs of neighbouring rows, each removed in one step from the last run up.
    std::vector<std::pair<int, int>> runs;  // first row, count
    for (size_t index : indices) {
        if (index >= rows_.size()) continue;
        const int row = static_cast<int>(index);
        if (!runs.empty() && runs.back().first + runs.back().second == row)
            ++runs.back().second;
        else
            runs.emplace_back(row, 1);
    }
    // Each step shifts the rows below it; past a few runs, closing the kept rows up once is
    // cheaper, and the view then takes the rows anew.
    constexpr size_t kRunsRemovedOneByOne = 32;
    if (runs.size() <= kRunsRemovedOneByOne) {
        for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
            beginRemoveRows(QModelIndex(), run->first, run->first + run->second - 1);
            rows_.erase(rows_.begin() + run->first, rows_.begin() + run->first + run->second);
            endRemoveRows();
        }
        return;
    }
    beginResetModel();
    size_t kept = 0;
    size_t next = 0;  // the next index to drop
    for (size_t row = 0; row < rows_.size(); ++row) {
        if (next < indices.size() && indices[next] == row) {
            ++next;
            continue;
        }
        if (kept != row) rows_[kept] = std::move(rows_[row]);
        ++kept;
    }
    rows_.resize(kept);
    endResetModel();
}

void SnvtListModel::ReplaceRows(const std::vector<SnvtRow>& rows) {
    beginResetModel();
    rows_ = rows;
    endResetModel();
}

SnvtListView::SnvtListView(QWidget* parent) : QTableView(parent) {
    setModel(&rows_);
    for (int column = 0; column < kSnvtColumnCount; ++column) {
        if (kSnvtColumnWidths[static_cast<size_t>(column)] > 0) {
            setColumnWidth(column, kSnvtColumnWidths[static_cast<size_t>(column)]);
        }
    }
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setSortIndicatorShown(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setSortingEnabled(false);
    setShowGrid(true);
    setWordWrap(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setDragEnabled(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDragDropOverwriteMode(false);
    setDropIndicatorShown(false);
    connect(&rows_, &SnvtListModel::CheckToggled, this, &SnvtListView::CheckToggled);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this,
            &SnvtListView::KeepNameColumnWidth);
}

void SnvtListView::InsertRow(int index, const SnvtRow& row) {
    rows_.InsertRow(index, row);
}

void SnvtListView::UpdateRow(int index, const SnvtRow& row) {
    rows_.UpdateRow(index, row);
}

void SnvtListView::RemoveRows(const std::vector<size_t>& indices) {
    rows_.RemoveRows(indices);
}

void SnvtListView::ReplaceRows(const std::vector<SnvtRow>& rows) {
    rows_.ReplaceRows(rows);
}

QString SnvtListView::Text(int row, int column) const {
    return rows_.data(rows_.index(row, column), Qt::DisplayRole).toString();
}

bool SnvtListView::IsChecked(int index) const {
    return index >= 0 && index < rowCount() && rows_.Row(index).checked;
}

QRect SnvtListView::CaptionRect(int row) const {
    return visualRect(rows_.index(row, colVarName));
}

int SnvtListView::SelectedRow() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.constFirst().row();
}

void SnvtListView::SelectRow(int index) {
    if (index < 0 || index >= rowCount()) return;
    setCurrentIndex(rows_.index(index, colVarName));
    selectRow(index);
}

int SnvtListView::RowAtPoint(const QPoint& viewportPoint) const {
    return rowAt(viewportPoint.y());
}

void SnvtListView::KeepNameColumnWidth(int column, int, int newSize) {
    if (column == colVarName && newSize < kSnvtVarNameMinWidth) {
        setColumnWidth(colVarName, kSnvtVarNameMinWidth);
    }
}

void SnvtListView::startDrag(Qt::DropActions) {
    if (SelectedRow() < 0) return;
    auto* drag = new QDrag(this);
    drag->setMimeData(dragpayload::Make(dragpayload::Origin::SnvtList, this));
    drag->exec(Qt::MoveAction);
}

void SnvtListView::dragEnterEvent(QDragEnterEvent* event) {
    if (handler_ != nullptr && handler_->DragOver(event->mimeData())) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void SnvtListView::dragMoveEvent(QDragMoveEvent* event) {
    if (handler_ != nullptr && handler_->DragOver(event->mimeData())) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void SnvtListView::dropEvent(QDropEvent* event) {
    if (handler_ == nullptr || !handler_->DragOver(event->mimeData())) {
        event->ignore();
        return;
    }
    const int target = RowAtPoint(event->position().toPoint());
    event->acceptProposedAction();
    handler_->DragDrop(event->mimeData(), target);
}

void SnvtListView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        emit DeletePressed();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        const int row = currentIndex().isValid() ? currentIndex().row() : SelectedRow();
        // The change goes out as CheckToggled, as a click on the box does.
        if (row >= 0 && row < rowCount()) emit CheckToggled(row, !IsChecked(row));
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}
