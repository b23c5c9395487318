#pragma once
// The dialogs that guard a store: the preview of what it changes on the device, asked before the
// upload, and the choice of a backup to store back.
#include <QDialog>
#include <optional>
#include <vector>

#include "device/backups.h"
#include "device/storepreview.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

// The changes a store makes, one line a variable, with "Да" (store) and "Нет". "Нет" is the
// default button, and the one of Esc: nothing is stored unless asked for.
class StorePreviewDialog : public QDialog {
    Q_OBJECT
  public:
    explicit StorePreviewDialog(const StorePreview& preview, QWidget* parent = nullptr);

    QLabel* Headline = nullptr;
    QPlainTextEdit* Changes = nullptr;  // hidden when there is none to show
    QLabel* Backup = nullptr;
    QPushButton* YesButton = nullptr;
    QPushButton* NoButton = nullptr;
};

// The device's backups, newest selected, and the list the chosen one holds; "Записать в VR-7"
// takes a backup that reads as a list, "Отмена" none.
class RestoreDialog : public QDialog {
    Q_OBJECT
  public:
    RestoreDialog(std::vector<BackupSummary> backups, QWidget* parent = nullptr);

    // The chosen backup once accepted.
    std::optional<BackupSummary> Chosen() const;
    // Selects the backup at index of the table (oldest first) and shows its list.
    void Select(int index);

    QTableWidget* Backups = nullptr;
    QTableWidget* Rows = nullptr;  // the chosen backup's list, as the window shows a list
    QLabel* Problem = nullptr;     // why the chosen one is no list, when it is not
    QPushButton* RestoreButton = nullptr;
    QPushButton* CancelButton = nullptr;

  private:
    void ShowChosen();

    std::vector<BackupSummary> backups_;
};
