#include "app/ui/shellservices.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

QString QtShellServices::ChooseFolder(QWidget* parent, const QString& title,
                                      const QString& startFolder) {
    QFileDialog dialog(parent, title, startFolder);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return QDir::cleanPath(dialog.selectedFiles().constFirst());
}

QString QtShellServices::ChooseSaveFile(QWidget* parent, const SaveRequest& request) {
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

namespace {

// Whether the desktop has a program for compiled help: the desktop would otherwise "open" the
// file with nothing to show it. A known viewer on the PATH, or one the desktop's MIME database
// names, will do.
bool HasHelpViewer() {
    for (const char* viewer : {"xchm", "kchmviewer", "chmsee"})
        if (!QStandardPaths::findExecutable(QString::fromLatin1(viewer)).isEmpty()) return true;
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-mime")).isEmpty()) return false;
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                             QStringLiteral("application/vnd.ms-htmlhelp")});
    if (!query.waitForFinished(2000)) {
        query.kill();
        return false;
    }
    return !query.readAllStandardOutput().trimmed().isEmpty();
}

}  // namespace

bool QtShellServices::OpenDocument(const QString& path) {
    if (path.endsWith(QStringLiteral(".chm"), Qt::CaseInsensitive) && !HasHelpViewer())
        return false;
    // The desktop starts the viewer detached; false when there is none to start.
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
