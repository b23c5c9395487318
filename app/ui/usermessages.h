#pragma once
// Every message the window shows to the user goes through this one interface, so that tests can
// capture the messages instead of blocking on a modal box.
#include <QString>
#include <optional>
#include <vector>

#include "device/backups.h"

struct StorePreview;
class QWidget;

class IUserMessages {
  public:
    virtual ~IUserMessages() = default;
    // A notice: a modal box captioned "Внимание" with a single OK button.
    virtual void Message(const QString& text) = 0;
    // The general error display (a document that cannot be loaded, a text that is not a number):
    // a modal box titled with the application's title, carrying the error's own text.
    virtual void GeneralError(const QString& text) = 0;
    // A question in a box captioned "Внимание" with the buttons "Да" and "Нет": true for "Да".
    virtual bool Question(const QString& text) = 0;
    // What a store changes on the device, asked before it goes on: true for "Да".
    virtual bool ConfirmStore(const StorePreview& preview) = 0;
    // The backup to store back, chosen from backups (oldest first); none when the user cancels.
    virtual std::optional<BackupSummary> ChooseBackup(
        const std::vector<BackupSummary>& backups) = 0;
};

// The boxes themselves, owned by a parent widget.
class MessageBoxes : public IUserMessages {
  public:
    explicit MessageBoxes(QWidget* parent) : parent_(parent) {}
    void Message(const QString& text) override;
    void GeneralError(const QString& text) override;
    bool Question(const QString& text) override;
    bool ConfirmStore(const StorePreview& preview) override;
    std::optional<BackupSummary> ChooseBackup(const std::vector<BackupSummary>& backups) override;

  private:
    QWidget* parent_;
};
