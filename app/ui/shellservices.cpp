#include "shellservices.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QUrl>

QString TQtShellServices::ChooseFolder(QWidget* parent, const QString& title) {
    // No root folder and no preselection: the dialog opens where the platform's dialog starts.
    QFileDialog dialog(parent, title);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return QDir::cleanPath(dialog.selectedFiles().constFirst());
}

QString TQtShellServices::ChooseSaveFile(QWidget* parent, const SaveRequest& request) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(request.filter);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.initialFolder.isEmpty()) dialog.setDirectory(request.initialFolder);
    dialog.selectFile(request.defaultName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().constFirst();
}

bool TQtShellServices::OpenDocument(const QString& path) {
    // The desktop starts the viewer detached; false when there is none to start.
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
