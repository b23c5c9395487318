#pragma once
// Shared by the window's tests: a QApplication on the offscreen platform, messages and desktop
// services that record instead of blocking, and a scratch working folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <ostream>
#include <string>

#include "app/ui/shellservices.h"
#include "app/ui/usermessages.h"
#include "app/ui/vr7cfgupdate.h"
#include "device/storepreview.h"
#include "tests/common/testtext.h"

// The application object, created on first use.
QApplication& TestApplication();

class RecordingMessages : public IUserMessages {
  public:
    void Message(const QString& text) override { messages << text; }
    void GeneralError(const QString& text) override { errors << text; }
    bool Question(const QString& text) override {
        questions << text;
        return answer;
    }
    bool ConfirmStore(const StorePreview& preview) override {
        previews.push_back(preview);
        return storeAnswer;
    }
    std::optional<BackupSummary> ChooseBackup(const std::vector<BackupSummary>& backups) override {
        backupChoices.push_back(backups);
        if (chosenBackup < 0 || chosenBackup >= static_cast<int>(backups.size()))
            return std::nullopt;
        return backups[static_cast<size_t>(chosenBackup)];
    }
    QStringList messages;
    QStringList errors;
    QStringList questions;
    bool answer = true;  // "Да"
    std::vector<StorePreview> previews;
    bool storeAnswer = true;  // the preview's "Да"
    std::vector<std::vector<BackupSummary>> backupChoices;
    int chosenBackup = -1;  // the backup chosen by its index; -1: "Отмена"
};

class ScriptedShell : public IShellServices {
  public:
    QString ChooseFolder(QWidget*, const QString& title, const QString& startFolder) override {
        folderTitles << title;
        folderStarts << startFolder;
        return folder;
    }
    QString ChooseSaveFile(QWidget*, const SaveRequest& request) override {
        saveRequests.push_back(request);
        return saveFile;
    }
    bool OpenDocument(const QString& path) override {
        opened << path;
        return canOpen;
    }

    QString folder;    // answer of the folder dialog; empty = cancel
    QString saveFile;  // answer of the save dialog; empty = cancel
    QStringList folderTitles;
    QStringList folderStarts;  // where each folder dialog started
    std::vector<SaveRequest> saveRequests;
    QStringList opened;
    bool canOpen = true;  // a viewer is there
};

// A window in a scratch working folder (the current directory while the test runs) with its own
// program folder, recording its messages and answering its dialogs from `shell`.
class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the window; put files into Work()/Program() first.
    TVR7CfgUpdate& CreateWindow();
    QString Work() const { return work_.path(); }
    QString Program() const { return program_.path(); }
    // Writes bytes into a file of the working folder (relative) or at an absolute path.
    void WriteFile(const QString& path, const std::string& bytes) const;
    std::string ReadFile(const QString& path) const;
    // Copies the demo catalogue into the working folder as calcbank.xml.
    void UseDemoCatalogue() const;

    RecordingMessages messages;
    ScriptedShell shell;
    std::unique_ptr<TVR7CfgUpdate> window;

  private:
    QTemporaryDir work_;
    QTemporaryDir program_;
    QString previousDir_;
};

// Copies a folder tree.
void CopyTree(const QString& from, const QString& to);
// The demo configuration folder of the sources (device 12).
QString DemoFolder();

// Lets the window's event loop run until its device command (read, store) has ended and the
// window has taken its result; fails the test if that takes longer than a generous bound.
void FinishDeviceCommand(TVR7CfgUpdate& window);

// Lets the widgets handle what is already queued for them (layout requests, resizes, updates):
// what a test waits for after a change of size or of what shows, instead of a time.
void HandleQueuedEvents();

// The window's state as after a read from the device (the list came from it).
void ListReadFromTheDevice(TVR7CfgUpdate& window);

// The user clicks a row's check box in the list, leaving it checked or not.
void ClickCheckBox(SnvtListView* list, int row, bool checked);

// Readable failure output for Qt strings.
void PrintTo(const QString& text, std::ostream* out);
void PrintTo(const QStringList& texts, std::ostream* out);

// Windows-1251 from a UTF-8 literal, for comparing with file bytes.
