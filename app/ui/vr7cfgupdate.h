#pragma once
// The main window: the configuration tree on the left, the SNVT variable list on the right, the
// commands that open a configuration folder, save the list, read the configuration from a live
// device and store the list into it; the connection settings and the device number are kept in the
// program's ini file.
#include <QMainWindow>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/ui/devicerunner.h"
#include "app/ui/progresspacing.h"
#include "app/ui/sharesplitter.h"
#include "app/ui/snvtlistview.h"
#include "app/windowcontroller.h"
#include "base/messagesink.h"
#include "base/progresssink.h"
#include "cfgtree/cfgtreemodel.h"
#include "device/backups.h"
#include "device/devicecommands.h"
#include "device/failurecause.h"
#include "gateway/snvtlist.h"
#include "gateway/snvtlistobserver.h"
#include "link/connection.h"
#include "optlist/xmldocument.h"

struct CommissioningRecord;
struct VerificationSummary;
class QAction;
class QDialog;
class QLineEdit;
class QMenu;
class QProgressBar;
class QTimer;
class QPushButton;
class QToolBar;
class TAboutBox;
class ReportDialog;
class ConfigTreeView;
class ExchangeLogDock;
class TSetPortDlg;
class StatusPanelLabel;
class IShellServices;
class IUserMessages;

// What the window uses from its surroundings. Every member may be left empty: the program's
// directory then is the executable's, and messages and dialogs are the real ones. Tests put their
// own in place before the window is created, since creating it already reads the ini file and may
// report a broken catalogue.
struct WindowEnvironment {
    QString programDir;
    IUserMessages* messages = nullptr;
    IShellServices* shell = nullptr;
};

class TVR7CfgUpdate : public QMainWindow,
                      public IProgressSink,
                      private IMessageSink,
                      private ISnvtListObserver,
                      private ISnvtListDropHandler {
    Q_OBJECT
  public:
    using Environment = WindowEnvironment;

    explicit TVR7CfgUpdate(const Environment& environment = Environment(),
                           QWidget* parent = nullptr);
    ~TVR7CfgUpdate() override;

    // The window's state and its decisions: what the list came from (ListSource), the device
    // number (DeviceNumber), unsaved changes, which commands may run, the report.
    WindowController Controller;
    unsigned MaxVariables() const { return List.MaxVariables(); }
    unsigned UsedVariables() const { return List.UsedVariables(); }
    // The program's directory, ending in '/': where the ini files live.
    const QString& ProgramDir() const { return programDir_; }
    // The one way to the device, for the window's whole life; its link is open only while a
    // device command runs.
    connection Connection;

    // The status text of the status bar's last panel and the progress bar: a fraction above 0
    // shows the bar at that fraction (capped at 1), 0 or less hides it. Text is Windows-1251.
    // The bar and the panel are painted at once, and only when what they show changes, since a
    // command of the window's own thread (deleting rows) holds its event loop meanwhile. Called
    // from a device command's worker thread, it is handed to the window's thread.
    void ShowProgress(const std::string& text, float fraction) override;

    // A device command (read, store) runs on a worker thread; meanwhile every command that could
    // start another is disabled and the Cancel button shows beside the progress bar.
    bool DeviceCommandRunning() const { return runner_.Running(); }
    // Stops the running device command between two exchanges (the Cancel button).
    void CancelDeviceCommand();
    // The status bar says that Qt's own dialogs speak English: its translations are missing.
    void SayQtTranslationsMissing();
    // The list changed since it was loaded, saved or stored.
    bool ListModified() const { return Controller.Unsaved(); }

    // Controls.
    QToolBar* LeftToolBar = nullptr;
    QLineEdit* Edit1 = nullptr;
    ConfigTreeView* TreeView1 = nullptr;
    ShareSplitter* Splitter1 = nullptr;  // keeps the tree pane's share as the window resizes
    QToolBar* RightToolBar = nullptr;
    QLineEdit* Edit2 = nullptr;
    SnvtListView* ListView1 = nullptr;
    StatusPanelLabel* HintPanel = nullptr;    // the status bar's first panel: hints
    StatusPanelLabel* StatusPanel = nullptr;  // the last panel: status texts
    QProgressBar* ProgressBar = nullptr;
    QPushButton* CancelButton = nullptr;  // beside the progress bar while a device command runs
    // The About box and the port dialog, made the first time they are needed, not at start.
    TAboutBox& AboutBox();
    TSetPortDlg& PortDialog();
    QDialog* ManualWindow = nullptr;         // the HTML manual, when no browser shows it
    ExchangeLogDock* ExchangeLog = nullptr;  // docked under the list, hidden at first
    ReportDialog* ReportWindow = nullptr;    // the report last shown, while it is open

    // Commands; each is shared by its menu item and its tool button.
    QAction* Open1 = nullptr;
    QAction* Load1 = nullptr;
    QAction* Store1 = nullptr;
    QAction* Save1 = nullptr;
    QAction* ExportList1 = nullptr;  // the list as CSV for the LON side
    QAction* FileExit1 = nullptr;
    QAction* Port1 = nullptr;
    QAction* HelpAbout1 = nullptr;
    QAction* Help2 = nullptr;
    QAction* ClearAll1 = nullptr;
    QAction* SetAll1 = nullptr;
    QAction* DelSelected1 = nullptr;
    QAction* ExchangeLog1 = nullptr;  // shows or hides the exchange log (Ctrl+L)
    // Compares the device's gateway settings with what a store of the list sends.
    QAction* Verify1 = nullptr;
    // The report of the last store or check; enabled only while the list is what they saw.
    QAction* Report1 = nullptr;
    QAction* Restore1 = nullptr;  // a backup of the device's settings stored back
    QAction* Backup1 = nullptr;   // setting: keep the device's settings before a store
    QAction* Preview1 = nullptr;  // setting: show what a store changes and ask first
    QMenu* File1 = nullptr;
    QMenu* Settings1 = nullptr;
    QMenu* View1 = nullptr;
    QMenu* Help1 = nullptr;

    // The model behind the controls.
    XmlDocument CfgFilter;  // the catalogue "calcbank.xml"
    CfgTree Tree;
    SnvtList List;

  public slots:
    void FormActivate();
    void Open1Click();
    void Save1Click();
    void ExportList1Click();
    void Load1Click();
    void Store1Click();
    void Restore1Click();
    void Verify1Click();
    void Report1Click();
    void Port1Click();
    void Help2Click();
    void HelpAbout1Execute();
    void FileExit1Execute();
    void TreeView1DblClick();
    void TreeView1Enter();
    void ListView1Delete();
    void Panel2_ClearAll_Click();
    void Panel2_SetAll_Click();
    void DelSelected_R_ButtonClick();

  public:
    // Drag and drop onto the list (the tree accepts nothing).
    bool DragOver(const QMimeData* data) override;
    void DragDrop(const QMimeData* data, int targetRow) override;

  protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    TAboutBox* aboutBox_ = nullptr;
    TSetPortDlg* portDialog_ = nullptr;
    // The controls, made once by the constructor (vr7cfgupdatelayout.cpp).
    void CreateControls();
    void CreateActions();
    void CreateMenus();
    QWidget* CreateLeftPane();
    QWidget* CreateRightPane();
    void CreateStatusBar();
    int HintPanelWidth() const;
    void FormCreate();
    void FormClose();
    void LoadCatalogue();
    // The connection settings are loaded once, at the first activation, and saved at close.
    void LoadConnectionSettings();
    // The HTML manual in a window of the program.
    void ShowManualWindow(const QString& indexPage);
    bool SaveConnectionSettings();
    std::string NativeProgramDir() const;
    // Mirrors a tree read from the device; the view must never point into a tree that is gone.
    void ShowReadTree(CfgTree&& tree);
    // Adds the tree's selected node at index when the gesture may add it.
    void AddFromTree(int index, AddGesture gesture);
    // A read from the device: its own copy of the device number, and the tree and the list it
    // reads into, away from the window's; applied to the window in one step when it has ended.
    struct ReadJob;
    void FinishRead(ReadJob& read);
    // The messages a device command gave, shown once it has ended; HoldMessage puts the words of
    // a command's message with its next step among them.
    static void HoldMessage(HeldMessages& held, const CommandMessage& message,
                            const NextStepAdvice& next);
    void ShowHeldMessages(const HeldMessages& held);
    // Ends the exchange log's command and names a failure's cause in the status panel; code is
    // the command's result when it is known, otherwise the frames decide it.
    void ShowFailureCause(LinkResult code, bool framesDecide,
                          FileOpenFor openFor = FileOpenFor::Unknown);
    // The bar hidden and the status panel showing text, whatever progress waited to be shown:
    // a command starting (no text) or cancelled (what was cancelled).
    void ReplaceStatus(const Cp1251String& text, bool paintNow);
    // A command starts: the previous command's status text and bar go.
    void ClearStatus();
    // A device command ended: its log, its cause and its status as the controller says.
    void ShowEnding(const CommandEnding& ending);
    // The list may be replaced, or the program end: nothing unsaved would be lost, or the user
    // agreed to lose it.
    bool MayLeaveList(ListLeaving leaving);

    // The device command: work runs on the runner's worker, done on the window's thread
    // afterwards, once the commands are enabled again.
    void StartDeviceCommand(std::function<void()> work, std::function<void()> done);
    // The commands, the tree, the list and Cancel enabled as the controller says.
    void ShowCommandState();
    // paintNow: painted before returning, for a caller that keeps the window's thread busy;
    // otherwise the window paints what changed when it next can.
    void ApplyProgress(const std::string& text, float fraction, bool paintNow);
    // The worker's progress as the pacing lets it through; FlushProgress shows what waits at once.
    void PaceProgress(const std::string& text, float fraction);
    void FlushProgress(bool paintNow);

    // The [WINDOW] section: size, splitter, columns and folders, taken at creation and kept at
    // close; a first start fits the window into the screen.
    void LoadWindowState();
    void SaveWindowState();
    void FitIntoScreen();
    bool StillFitted(const QSize& normal) const;
    // The folder the save dialog starts in.
    QString SaveFolder() const;
    // Save and export: the file to write the list to (the list must not be empty, which is said
    // otherwise), empty when there is none; then the outcome of writing it, in a message or in
    // the status bar. True when it was written.
    QString ChooseListFile(const QString& folder, const QString& suffix, const QString& filter);
    bool TellListWritten(const QString& path, const Status& saved);

    // IMessageSink: the messages of the list, as "Внимание" boxes.
    void ShowMessage(const Cp1251String& text) override;
    // ISnvtListObserver: the list control mirrors the model.
    void RowInserted(size_t index) override;
    void RowRemoved(size_t index) override;
    void RowsRemoved(const std::vector<size_t>& indices) override;
    void RowChanged(size_t index) override;
    void ListCleared() override;
    void ListReplaced() override;
    void CountersChanged(const std::string& text) override;
    // The window's model is written only on the window's thread (checked in debug builds).
    void AssertWindowThread() const;

    QString programDir_;
    IUserMessages* messages_ = nullptr;
    IShellServices* shell_ = nullptr;
    std::unique_ptr<IUserMessages> ownMessages_;
    std::unique_ptr<IShellServices> ownShell_;
    bool activated_ = false;
    bool connectionSettingsLoaded_ = false;
    bool centred_ = false;

    DeviceRunner runner_{Connection};
    ProgressPacing pacing_;
    QTimer* progressTimer_ = nullptr;  // shows the progress that waits for its turn

    int backupsKept_ = kDefaultBackupsKept;
    // Where the backups go: the program's folder for a portable copy, the user's data folder for
    // an installed one.
    BackupPolicy StoreBackupPolicy() const;
    // Stores a copy of list (the window's own, or a backup's) into device number, keeping the
    // device's file first when takeBackup; taken: the backup a preview already took.
    // restoredFrom: the backup stored back, said in the status bar once stored, and asIs its
    // bytes, uploaded as they are. When the device's file cannot be downloaded for the backup,
    // the user is asked whether to store without one (default "Нет").
    void StoreList(const SnvtList& list, uint32_t number, bool takeBackup, DeviceBackup taken,
                   const std::string& restoredFrom = {},
                   std::optional<std::string> asIs = std::nullopt);
    // The preview: reads the device's file (keeping it, when the backup is on), shows what the
    // store changes and stores on "Да".
    void PreviewThenStore();
    // A store (stored) or a check (verification) of rows ended with the device identified as
    // info; backupFile: the backup the store took first. The report is kept by the controller.
    void KeepReport(const DeviceInfo& info, bool stored, const VerificationSummary& verification,
                    const SnvtList& rows, const std::string& backupFile = {});
    // The user changed the list: unsaved, and the report no longer describes it.
    void ListEdited();
    QString lastOpenFolder_;
    bool stateLoaded_ = false;  // the [WINDOW] section gave a size
    int savedTreeWidth_ = -1;   // the tree pane's width kept by earlier versions (pixels)
    // The size the window was asked to come up in (the [WINDOW] section's, else the default), and
    // whether fitting it into a smaller screen shrank it: a window closed still filling the screen
    // keeps the size it was asked for, so that one start on a small or scaled screen does not
    // shrink it.
    QSize wantedSize_;
    bool fitted_ = false;
    // The window manager frames the window after it is shown: it is fitted again, frame and all,
    // once the frame is known.
    bool awaitFrame_ = false;
};
