#include "app/ui/usermessages.h"

#include <QMessageBox>
#include <QPushButton>

#include "app/ui/storedialogs.h"
#include "base/apptitle.h"

namespace {

void ShowBox(QWidget* parent, const QString& title, const QString& text, QMessageBox::Icon icon) {
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace

void MessageBoxes::Message(const QString& text) {
    ShowBox(parent_, QStringLiteral("Внимание"), text, QMessageBox::NoIcon);
}

void MessageBoxes::GeneralError(const QString& text) {
    ShowBox(parent_, QString::fromUtf8(kApplicationTitle), text, QMessageBox::Critical);
}

bool MessageBoxes::Question(const QString& text) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Внимание"), text,
                    QMessageBox::Yes | QMessageBox::No, parent_);
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Нет"));
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

bool MessageBoxes::ConfirmStore(const StorePreview& preview) {
    StorePreviewDialog dialog(preview, parent_);
    return dialog.exec() == QDialog::Accepted;
}

std::optional<BackupSummary> MessageBoxes::ChooseBackup(const std::vector<BackupSummary>& backups) {
    RestoreDialog dialog(backups, parent_);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Chosen();
}
