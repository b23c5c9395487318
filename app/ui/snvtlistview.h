#pragma once
// The SNVT variable list on the screen: a report view with nine columns, grid lines, a check box
// per row, read-only texts, no sorting and rows that can be dragged. It shows rows of a SnvtList
// and passes drags that reach it to a handler (the window) that decides and acts.
#include <QTableWidget>
#include <cstddef>
#include <vector>

#include "app/snvtrow.h"

class QMimeData;

class ISnvtListDropHandler {
  public:
    virtual ~ISnvtListDropHandler() = default;
    // Whether data may be dropped on the list.
    virtual bool DragOver(const QMimeData* data) = 0;
    // data was dropped on the row targetRow (-1: below the last row).
    virtual void DragDrop(const QMimeData* data, int targetRow) = 0;
};

class SnvtListView : public QTableWidget {
    Q_OBJECT
  public:
    explicit SnvtListView(QWidget* parent = nullptr);

    void SetDropHandler(ISnvtListDropHandler* handler) { handler_ = handler; }

    // Mirrors one row of the model: texts of the nine columns and the check state.
    void InsertRow(int index, const SnvtRow& row);
    void UpdateRow(int index, const SnvtRow& row);
    // Removes the rows at these indices (ascending) in as few steps as their runs allow.
    void RemoveRows(const std::vector<size_t>& indices);

    // The selected row, or -1.
    int SelectedRow() const;
    void SelectRow(int index);
    // The row under a point of the viewport, or -1.
    int RowAtPoint(const QPoint& viewportPoint) const;
    bool IsChecked(int index) const;

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
    void OnItemChanged(QTableWidgetItem* item);
    void KeepNameColumnWidth(int column, int oldSize, int newSize);

    ISnvtListDropHandler* handler_ = nullptr;
    bool mirroring_ = false;
};
