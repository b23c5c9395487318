#include "app/ui/snvtlistview.h"

#include <utility>

#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>

#include "app/ui/dragpayload.h"
#include "base/ui/qcp1251.h"

SnvtListView::SnvtListView(QWidget* parent) : QTableWidget(parent) {
    setColumnCount(kSnvtColumnCount);
    QStringList captions;
    for (const char* caption : kSnvtColumnCaptions) captions << QString::fromLatin1(caption);
    setHorizontalHeaderLabels(captions);
    for (int column = 0; column < kSnvtColumnCount; ++column) {
        if (kSnvtColumnWidths[static_cast<size_t>(column)] > 0) {
            setColumnWidth(column, kSnvtColumnWidths[static_cast<size_t>(column)]);
        }
    }
    verticalHeader()->hide();
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
    connect(this, &QTableWidget::itemChanged, this, &SnvtListView::OnItemChanged);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this,
            &SnvtListView::KeepNameColumnWidth);
}

void SnvtListView::InsertRow(int index, const SnvtRow& row) {
    mirroring_ = true;
    insertRow(index);
    for (int column = 0; column < kSnvtColumnCount; ++column) {
        auto* item = new QTableWidgetItem;
        Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
        if (column == colVarName) flags |= Qt::ItemIsUserCheckable;
        item->setFlags(flags);
        setItem(index, column, item);
    }
    mirroring_ = false;
    UpdateRow(index, row);
}

void SnvtListView::UpdateRow(int index, const SnvtRow& row) {
    mirroring_ = true;
    for (int column = 0; column < kSnvtColumnCount; ++column) {
        QTableWidgetItem* cell = item(index, column);
        if (cell == nullptr) continue;
        cell->setText(FromCp1251(Cp1251String(row.Text(column))));
        if (column == colVarName) cell->setCheckState(row.checked ? Qt::Checked : Qt::Unchecked);
    }
    mirroring_ = false;
}

void SnvtListView::RemoveRows(const std::vector<size_t>& indices) {
    // Runs of neighbouring rows, each removed in one step from the last run up.
    std::vector<std::pair<int, int>> runs;  // first row, count
    for (size_t index : indices) {
        const int row = static_cast<int>(index);
        if (!runs.empty() && runs.back().first + runs.back().second == row)
            ++runs.back().second;
        else
            runs.emplace_back(row, 1);
    }
    // Each step shifts the rows below it; past a few runs, moving the kept rows' cells up once
    // and cutting the tail is cheaper.
    constexpr size_t kRunsRemovedOneByOne = 32;
    mirroring_ = true;
    if (runs.size() <= kRunsRemovedOneByOne) {
        for (auto run = runs.rbegin(); run != runs.rend(); ++run)
            model()->removeRows(run->first, run->second);
    } else {
        const int rows = rowCount();
        int kept = 0;
        size_t next = 0;  // the next index to drop
        for (int row = 0; row < rows; ++row) {
            if (next < indices.size() && static_cast<int>(indices[next]) == row) {
                ++next;
                continue;
            }
            if (kept != row) {
                for (int column = 0; column < kSnvtColumnCount; ++column)
                    setItem(kept, column, takeItem(row, column));
            }
            ++kept;
        }
        setRowCount(kept);
    }
    mirroring_ = false;
}

int SnvtListView::SelectedRow() const {
    const QList<QTableWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? -1 : selected.constFirst()->row();
}

void SnvtListView::SelectRow(int index) {
    if (index < 0 || index >= rowCount()) return;
    setCurrentCell(index, colVarName);
    selectRow(index);
}

int SnvtListView::RowAtPoint(const QPoint& viewportPoint) const {
    return rowAt(viewportPoint.y());
}

bool SnvtListView::IsChecked(int index) const {
    const QTableWidgetItem* cell = item(index, colVarName);
    return cell != nullptr && cell->checkState() == Qt::Checked;
}

void SnvtListView::OnItemChanged(QTableWidgetItem* cell) {
    if (mirroring_ || cell == nullptr || cell->column() != colVarName) return;
    emit CheckToggled(cell->row(), cell->checkState() == Qt::Checked);
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
        const int row = currentRow() >= 0 ? currentRow() : SelectedRow();
        if (QTableWidgetItem* cell = row >= 0 ? item(row, colVarName) : nullptr) {
            // The change goes out as CheckToggled, as a click on the box does.
            cell->setCheckState(cell->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
        }
        event->accept();
        return;
    }
    QTableWidget::keyPressEvent(event);
}
