#pragma once
// The services of the desktop that the window's commands use: the folder and save dialogs and
// opening a document with its application. Behind an interface so that tests answer them without
// showing a dialog or starting a program.
#include <QString>

class QWidget;

class IShellServices {
  public:
    virtual ~IShellServices() = default;
    // The chosen folder's full path, or an empty string when the user cancels. The dialog starts
    // in startFolder (empty: where the platform's dialog starts).
    virtual QString ChooseFolder(QWidget* parent, const QString& title,
                                 const QString& startFolder) = 0;

    struct SaveRequest {
        QString initialFolder;  // empty: the dialog's own default
        QString defaultName;    // without the suffix
        QString defaultSuffix;  // appended when the user types a name without one
        QString filter;         // "caption (*.ext)"
    };
    // The chosen file's path, or an empty string when the user cancels.
    virtual QString ChooseSaveFile(QWidget* parent, const SaveRequest& request) = 0;

    // Opens the document with the application the desktop associates with it; returns at once.
    // False when no application could be started for it (for compiled help: when the desktop
    // knows no viewer for it).
    virtual bool OpenDocument(const QString& path) = 0;
};

// QFileDialog and QDesktopServices.
class QtShellServices : public IShellServices {
  public:
    QString ChooseFolder(QWidget* parent, const QString& title,
                         const QString& startFolder) override;
    QString ChooseSaveFile(QWidget* parent, const SaveRequest& request) override;
    bool OpenDocument(const QString& path) override;
};
