#pragma once
// The SNVT variable list on the screen: a report view with nine columns, grid lines, a check box
// per row, read-only texts, no sorting and rows that can be dragged. It shows rows of a SnvtList
// and passes drags that reach it to a handler (the window) that decides and acts. The rows are
// drawn from a model, not held as widgets, so that a list of any length is shown in one step.
#include <QAbstractTableModel>
#include <QTableView>
#include <cstddef>
#include <vector>

#include "gateway/snvtrow.h"

class QMimeData;

class ISnvtListDropHandler {
  public:
    virtual ~ISnvtListDropHandler() = default;
    // Whether data may be dropped on the list.
    virtual bool DragOver(const QMimeData* data) = 0;
    // data was dropped on the row targetRow (-1: below the last row).
    virtual void DragDrop(const QMimeData* data, int targetRow) = 0;
};

// The rows as the view shows them: a copy of the list's rows that the window keeps in step with
// the list through its notifications. A check box the user clicks is not set here but passed on
// (CheckToggled); the list decides and the mirror follows its notification.
class SnvtListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit SnvtListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const SnvtRow& Row(int index) const { return rows_[static_cast<size_t>(index)]; }
    void InsertRow(int index, const SnvtRow& row);
    void UpdateRow(int index, const SnvtRow& row);
    void RemoveRows(const std::vector<size_t>& indices);
    void ReplaceRows(const std::vector<SnvtRow>& rows);

  signals:
    void CheckToggled(int index, bool checked);

  private:
    std::vector<SnvtRow> rows_;
};

class SnvtListView : public QTableView {
    Q_OBJECT
  public:
    explicit SnvtListView(QWidget* parent = nullptr);

    void SetDropHandler(ISnvtListDropHandler* handler) { handler_ = handler; }

    // Mirrors the model: one row's texts of the nine columns and its check state, rows removed
    // (indices ascending), or every row at once.
    void InsertRow(int index, const SnvtRow& row);
    void UpdateRow(int index, const SnvtRow& row);
    void RemoveRows(const std::vector<size_t>& indices);
    void ReplaceRows(const std::vector<SnvtRow>& rows);

    int rowCount() const { return rows_.rowCount(); }
    int columnCount() const { return rows_.columnCount(); }
    // The text shown in a cell, and whether a row's check box is checked.
    QString Text(int row, int column) const;
    bool IsChecked(int index) const;
    // The row as the view holds it.
    const SnvtRow& ShownRow(int index) const { return rows_.Row(index); }
    // The rectangle of a row's caption cell in the viewport.
    QRect CaptionRect(int row) const;

    // The selected row, or -1.
    int SelectedRow() const;
    void SelectRow(int index);
    // The row under a point of the viewport, or -1.
    int RowAtPoint(const QPoint& viewportPoint) const;

  signals:
    // The user changed a row's check box.
    void CheckToggled(int index, bool checked);
    // The Delete key was pressed.
    void DeletePressed();

  protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // Space toggles the current row's check box, whichever column is current; Delete is handed
    // to the window.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void KeepNameColumnWidth(int column, int oldSize, int newSize);

    ISnvtListDropHandler* handler_ = nullptr;
    SnvtListModel rows_;
};
