#include "app/ui/vr7cfgupdate.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusTipEvent>
#include <QTimer>
#include <algorithm>

#include "app/catalogue.h"
#include "app/connectionsettings.h"
#include "app/devicecommands.h"
#include "app/failurecause.h"
#include "app/gatewayfile.h"
#include "app/listcsv.h"
#include "app/messages.h"
#include "app/report/commissioningreport.h"
#include "app/storepreview.h"
#include "app/ui/aboutbox.h"
#include "app/ui/configtreeview.h"
#include "app/ui/dragpayload.h"
#include "app/ui/exchangelog.h"
#include "app/ui/portchoices.h"
#include "app/ui/reportdialog.h"
#include "app/ui/shellservices.h"
#include "app/ui/statuspanel.h"
#include "app/ui/usermessages.h"
#include "base/cp1251.h"
#include "base/installpaths.h"
#include "base/ui/qcp1251.h"
#include "cfgtree/configfolder.h"
#include "link/connectionkeys.h"
#include "link/ui/portcombo.h"
#include "link/ui/setportdlg.h"

namespace {

const char* const kHelpName = "Help.chm";

std::string NativePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

TVR7CfgUpdate::TVR7CfgUpdate(const Environment& environment, QWidget* parent)
    : QMainWindow(parent), List(CfgFilter) {
    messages_ = environment.messages;
    if (messages_ == nullptr) {
        ownMessages_ = std::make_unique<MessageBoxes>(this);
        messages_ = ownMessages_.get();
    }
    shell_ = environment.shell;
    if (shell_ == nullptr) {
        ownShell_ = std::make_unique<QtShellServices>();
        shell_ = ownShell_.get();
    }
    programDir_ = environment.programDir.isEmpty() ? QCoreApplication::applicationDirPath()
                                                   : environment.programDir;
    if (!programDir_.endsWith(QLatin1Char('/'))) programDir_ += QLatin1Char('/');

    CreateControls();

    List.SetObserver(this);
    List.SetMessageSink(this);
    List.SetProgressSink(this);
    ListView1->SetDropHandler(this);
    connect(ListView1, &SnvtListView::CheckToggled, this,
            [this](int row, bool checked) { List.SetChecked(static_cast<size_t>(row), checked); });
    connect(TreeView1, &QTreeWidget::itemDoubleClicked, this, &TVR7CfgUpdate::TreeView1DblClick);
    connect(TreeView1, &ConfigTreeView::EnterPressed, this, &TVR7CfgUpdate::TreeView1Enter);
    connect(ListView1, &SnvtListView::DeletePressed, this, &TVR7CfgUpdate::ListView1Delete);
    FormCreate();
    LoadWindowState();
}

TAboutBox& TVR7CfgUpdate::AboutBox() {
    if (aboutBox_ == nullptr) aboutBox_ = new TAboutBox(this);
    return *aboutBox_;
}

TSetPortDlg& TVR7CfgUpdate::PortDialog() {
    if (portDialog_ == nullptr) {
        portDialog_ = new TSetPortDlg(this);
        portDialog_->SetErrorDisplay(
            [this](const QString& text) { messages_->GeneralError(text); });
        portDialog_->CB_Port->SetDescribedPortLister(
            [] { return DescribedPorts(DescribeSerialPorts()); });
    }
    return *portDialog_;
}

TVR7CfgUpdate::~TVR7CfgUpdate() {
    // A command still running (the window destroyed without closing) is cancelled and waited
    // for; from now on nothing it reports reaches the window.
    runner_.Abandon();
    delete ReportWindow;  // before the window's members it points back into go
    // The list's observer is this window; stop notifications before the controls go.
    List.SetObserver(nullptr);
    List.SetMessageSink(nullptr);
    List.SetProgressSink(nullptr);
}

// ---------------------------------------------------------------------------------------------
// Life of the window

void TVR7CfgUpdate::FormCreate() {
    DeviceNumber = LoadDeviceNumber(NativeProgramDir());
    LoadCatalogue();
    ListSource = 0;
}

void TVR7CfgUpdate::LoadCatalogue() {
    List.SetMaxVariables(0);
    // The working folder's catalogue, or the installed one when the working folder has none.
    const CatalogueLoad catalogue = ::LoadCatalogue(CfgFilter, "");
    if (!catalogue.document) {
        // A missing file is said in words, with where it was looked for and where it may go; a
        // broken one gets the XML library's own text.
        const QString path =
            QDir::current().absoluteFilePath(QFile::decodeName(CfgFilter.FileName().c_str()));
        if (!QFileInfo::exists(path)) {
            List.SetCapacityUnknown(SnvtList::Capacity::NoCatalogue);
            const usertext::AroundPath text = usertext::CatalogueNotFound();
            const usertext::AroundPath where = usertext::CatalogueWhereWork();
            QString message = FromCp1251(text.before) + QDir::toNativeSeparators(path) +
                              FromCp1251(text.after) + FromCp1251(where.before) +
                              QDir::toNativeSeparators(QDir::currentPath());
            const std::string dataDir = InstalledDataDir();
            if (!dataDir.empty())
                message +=
                    FromCp1251(usertext::CatalogueWhereData()) +
                    QDir::toNativeSeparators(QDir::cleanPath(QFile::decodeName(dataDir.c_str())));
            messages_->GeneralError(message + FromCp1251(usertext::CatalogueWhereEnd()));
        } else {
            List.SetCapacityUnknown(SnvtList::Capacity::Unusable);
            messages_->GeneralError(
                QString::fromStdString(usertext::FailureReason(catalogue.document.failure())));
        }
        return;
    }
    if (!catalogue.capacity) {
        messages_->GeneralError(
            QString::fromStdString(usertext::FailureReason(catalogue.capacity.failure())));
        List.SetCapacityUnknown(SnvtList::Capacity::Unusable);
        return;
    }
    List.SetMaxVariables(catalogue.maxVariables);
}

void TVR7CfgUpdate::FormActivate() {
    LoadConnectionSettings();
    Edit1->setText(QStringLiteral("Конфигурация VR-7"));
    Edit2->setText(QStringLiteral("Список SNVT переменных"));
}

void TVR7CfgUpdate::FormClose() {
    // A setting that cannot be saved is said, never dropped in silence. The connection settings
    // go first: saving them makes the user's settings folder when it is not there yet.
    const bool saved =
        SaveConnectionSettings() && ::SaveDeviceNumber(NativeProgramDir(), DeviceNumber);
    SaveWindowState();
    if (!saved) {
        const usertext::AroundPath text = usertext::SettingsNotSaved();
        messages_->Message(FromCp1251(text.before) +
                           QDir::toNativeSeparators(
                               QFile::decodeName(MainSettingsFile(NativeProgramDir()).c_str())) +
                           FromCp1251(text.after));
    }
}

void TVR7CfgUpdate::LoadConnectionSettings() {
    ::LoadConnectionSettings(Connection, NativeProgramDir());
    connectionSettingsLoaded_ = true;
}

bool TVR7CfgUpdate::SaveConnectionSettings() {
    // A window closed before it was ever activated has not taken the settings yet; saving the
    // connection's defaults would throw away the port the user chose.
    if (!connectionSettingsLoaded_) LoadConnectionSettings();
    return ::SaveConnectionSettings(Connection, NativeProgramDir());
}

std::string TVR7CfgUpdate::NativeProgramDir() const {
    return NativePath(programDir_);
}

bool TVR7CfgUpdate::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::WindowActivate:
            // Qt reports every activation (after each dialog, each focus change between windows);
            // the settings are taken once, so edits made since are never thrown away.
            if (!activated_) {
                activated_ = true;
                FormActivate();
            }
            break;
        case QEvent::Move:
        case QEvent::Resize:
            if (awaitFrame_ && frameGeometry().size() != size()) {
                awaitFrame_ = false;
                FitIntoScreen();
            }
            break;
        case QEvent::StatusTip:
            HintPanel->setText(static_cast<QStatusTipEvent*>(event)->tip());
            return true;
        default:
            break;
    }
    return QMainWindow::event(event);
}

void TVR7CfgUpdate::closeEvent(QCloseEvent* event) {
    // A device command is cancelled first; the window closes when it has ended.
    if (DeviceCommandRunning()) {
        closeWhenDone_ = true;
        CancelDeviceCommand();
        event->ignore();
        return;
    }
    if (listModified_ && !messages_->Question(FromCp1251(usertext::LeaveUnsaved()))) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TVR7CfgUpdate::FileExit1Execute() {
    close();
}

// ---------------------------------------------------------------------------------------------
// Commands

bool TVR7CfgUpdate::MayReplaceList() {
    // The same question as on exit; "Нет" leaves everything as it is.
    return !listModified_ || messages_->Question(FromCp1251(usertext::LeaveUnsaved()));
}

void TVR7CfgUpdate::ClearStatus() {
    ReplaceStatus(Cp1251String(), false);
}

void TVR7CfgUpdate::Open1Click() {
    if (!MayReplaceList()) return;
    ClearStatus();
    // The dialog starts beside the folder opened last, where the site's other devices are.
    const QString start =
        lastOpenFolder_.isEmpty() ? QString() : QFileInfo(lastOpenFolder_).absolutePath();
    const QString path =
        shell_->ChooseFolder(this, QStringLiteral("Открыть конфигурацию VR-7"), start);
    if (path.isEmpty()) return;

    // The device number follows "vr7_" in the folder's path, in any letter case.
    const std::string folder = NativePath(path);
    uint32_t number = 0;
    if (FolderDeviceNumber(folder, number) == FolderNumber::NoVr7) {
        messages_->Message(FromCp1251(usertext::NoConfiguration()) + QLatin1Char('\n') +
                           FromCp1251(usertext::NoVr7InPath()));
        return;
    }

    // The tree is built aside, so that a main.xmc that cannot be loaded leaves the window showing
    // the configuration it showed before, with its device number and list. A system file that
    // cannot be read still gives the systems read so far. The items showing the old tree go
    // first and come back as they were should the new one fail: a large tree is replaced with
    // one set of items alive, not two. The documents read go with the build.
    const std::string configDir = FolderConfigDir(folder);
    TreeView1->ReleaseItems();
    FolderTree opened;
    {
        XmlDocument scratch;
        opened = BuildConfigTree(configDir, number, &CfgFilter, scratch);
    }
    if (!opened.loaded) {
        TreeView1->RestoreItems(Tree);
        QString text = QString::fromStdString(usertext::FailureReason(opened.loaded.failure()));
        // Without main.xmc the folder is no configuration at all: say what one holds.
        const QDir config(QFile::decodeName(QByteArray::fromStdString(configDir)));
        if (config.entryList({QStringLiteral("main.xmc")}, QDir::Files).isEmpty()) {
            const usertext::AroundPath second = usertext::NoMainXmc();
            text += QLatin1Char('\n') + FromCp1251(second.before) +
                    QDir::toNativeSeparators(config.absolutePath()) + FromCp1251(second.after);
        }
        messages_->GeneralError(text);
        return;
    }
    DeviceNumber = number;
    // The old tree goes before the new one's items are made.
    Tree = std::move(opened.tree);
    TreeView1->ShowTree(Tree);

    if (const Status loaded = LoadGatewayFile(List, configDir); !loaded)
        ShowMessage(cp1251::FromUtf8(usertext::FailureLine(loaded.failure())));
    Edit1->setText(path);
    ListSource = 2;
    listModified_ = false;
    openedConfigDir_ = QDir::cleanPath(QFile::decodeName(QByteArray::fromStdString(configDir)));
    lastOpenFolder_ = path;
}

QString TVR7CfgUpdate::ChooseListFile(const QString& folder, const QString& suffix,
                                      const QString& filter) {
    ClearStatus();
    if (List.RowCount() == 0) {
        messages_->Message(FromCp1251(usertext::EmptyList()));
        return {};
    }
    IShellServices::SaveRequest request;
    request.initialFolder = folder;
    request.defaultName = QStringLiteral("duxgate");
    request.defaultSuffix = suffix;
    request.filter = filter;
    return shell_->ChooseSaveFile(this, request);
}

bool TVR7CfgUpdate::TellListWritten(const QString& path, const Status& saved) {
    if (!saved) {
        const usertext::FileStep step = usertext::FileStep::NotSaved;
        messages_->Message(FromCp1251(usertext::FileFailureBefore()) +
                           QDir::toNativeSeparators(path) +
                           FromCp1251(usertext::FileFailureAfter(step)) +
                           FromCp1251(usertext::FileFailureReason(step, saved.failure())));
        return false;
    }
    const usertext::AroundPath where = usertext::SavedTo();
    StatusPanel->setText(FromCp1251(where.before) +
                         QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()) +
                         FromCp1251(where.after));
    return true;
}

void TVR7CfgUpdate::Save1Click() {
    const QString path = ChooseListFile(SaveFolder(), QStringLiteral("cfg"),
                                        QStringLiteral("Настройка DUX шлюза (*.cfg)"));
    if (path.isEmpty()) return;
    if (!TellListWritten(path, SaveGatewayFile(List, NativePath(path)))) return;
    listModified_ = false;
    lastSaveFolder_ = QFileInfo(path).absolutePath();
}

void TVR7CfgUpdate::ExportList1Click() {
    // Refused as Save is: an empty table binds nothing on the LON side.
    const QString path = ChooseListFile(QDir::currentPath(), QStringLiteral("csv"),
                                        FromCp1251(usertext::ExportListFilter()));
    if (path.isEmpty()) return;
    TellListWritten(path, SaveListCsv(List, NativePath(path)));
}

QString TVR7CfgUpdate::SaveFolder() const {
    // Where Open reads the list back from: the opened folder's CONFIG folder.
    if (ListSource == 2 && !openedConfigDir_.isEmpty()) return openedConfigDir_;
    return lastSaveFolder_;
}

void TVR7CfgUpdate::Help2Click() {
    // The compiled help of the working folder (or the installed one) in the desktop's viewer;
    // else the HTML manual in the browser, or in a window of our own; else a message that names
    // the help file. When the file is missing, no viewer is started only to report that.
    const QString path =
        QDir::current().absoluteFilePath(QFile::decodeName(LocateDataFile(kHelpName).c_str()));
    const bool exists = QFileInfo::exists(path);
    if (exists && shell_->OpenDocument(path)) return;
    const QString manual = QFile::decodeName(LocateManual().c_str());
    if (!manual.isEmpty()) {
        if (!shell_->OpenDocument(manual)) ShowManualWindow(manual);
        return;
    }
    const usertext::AroundPath text = exists ? usertext::HelpNotShown() : usertext::HelpNotFound();
    messages_->Message(FromCp1251(text.before) + QDir::toNativeSeparators(path) +
                       FromCp1251(text.after));
}

void TVR7CfgUpdate::HelpAbout1Execute() {
    AboutBox().exec();
}

void TVR7CfgUpdate::Load1Click() {
    if (DeviceCommandRunning()) return;
    if (!MayReplaceList()) return;
    ClearStatus();
    // The device's tree is read aside: the view keeps pointing into the tree it shows until the
    // read is over, and a device that never got as far as the tree leaves that one on show.
    auto read = std::make_shared<CfgTree>();
    auto result = std::make_shared<DeviceReadResult>();
    StartDeviceCommand(
        [this, read, result] {
            *result =
                ReadFromDevice({Connection, DeviceNumber, *this}, *read, List, &CfgFilter, this);
        },
        [this, read, result] {
            FinishRead(std::move(*read), *result);
            if (result->cancelled) {
                ShowFailureCause(lr::Cancelled, false);
                ReplaceStatus(usertext::ReadCancelledStatus(), true);
            } else if (result->outcome == DeviceReadOutcome::NotConnected)
                ShowFailureCause(result->code, false);
            else if (result->outcome == DeviceReadOutcome::ReadFailed ||
                     (result->outcome == DeviceReadOutcome::Read &&
                      result->download == GatewayDownload::Broken))
                ShowFailureCause(lr::Ok, true);
            else
                ShowFailureCause(lr::Ok, false);
        });
}

void TVR7CfgUpdate::FinishRead(CfgTree&& read, const DeviceReadResult& result) {
    // A read the user cancelled leaves the tree, the list and the caption as they were.
    if (result.cancelled) return;
    switch (result.outcome) {
        case DeviceReadOutcome::NotConnected:
        case DeviceReadOutcome::UnsupportedVersion:
            return;
        case DeviceReadOutcome::ReadFailed:
            // The entries read whole before the failure stay on show; list and caption stay as
            // they were, and so does the progress bar.
            ShowReadTree(std::move(read));
            return;
        case DeviceReadOutcome::Read:
            break;
    }
    ShowReadTree(std::move(read));
    Edit1->setText(
        FromCp1251(usertext::DeviceConfigurationCaption(Connection.PortName, DeviceNumber)));
    ListSource = 1;
    listModified_ = false;
    ShowProgress("", 0);
}

void TVR7CfgUpdate::ShowFailureCause(LinkResult code, bool framesDecide, FileOpenFor openFor) {
    const Cp1251String cause =
        FailureCause(Connection, code, framesDecide, DeviceNumber, ExchangeLog->Tail(), openFor);
    ExchangeLog->End(Connection, code, framesDecide);
    if (cause.empty()) return;
    StatusPanel->setText(FromCp1251(cause));
    StatusPanel->repaint();
}

void TVR7CfgUpdate::ReplaceStatus(const Cp1251String& text, bool paintNow) {
    progressTimer_->stop();
    pacing_.Drop();
    ApplyProgress(text.bytes(), 0, paintNow);
}

void TVR7CfgUpdate::ShowReadTree(CfgTree&& tree) {
    TreeView1->clear();
    Tree = std::move(tree);
    TreeView1->ShowTree(Tree);
}

void TVR7CfgUpdate::Store1Click() {
    if (DeviceCommandRunning()) return;
    ClearStatus();
    // An empty list is refused by the store itself, before the device is asked anything.
    if (Preview1->isChecked() && List.RowCount() > 0) {
        PreviewThenStore();
        return;
    }
    StoreList(List, &DeviceNumber, Backup1->isChecked(), DeviceBackup());
}

BackupPolicy TVR7CfgUpdate::StoreBackupPolicy() const {
    BackupPolicy policy;
    policy.folder = DefaultBackupFolder(NativeProgramDir(), !InstalledDataDir().empty());
    policy.keep = static_cast<size_t>(std::max(1, backupsKept_));
    return policy;
}

void TVR7CfgUpdate::StoreList(const SnvtList& list, uint32_t* number, bool takeBackup,
                              DeviceBackup taken, std::shared_ptr<void> keep,
                              const std::string& restoredFrom, std::optional<std::string> asIs) {
    struct Job {
        DeviceStoreResult result;
        BackupPolicy policy;
        DeviceBackup backup;
    };
    auto job = std::make_shared<Job>();
    job->policy = StoreBackupPolicy();
    job->backup = std::move(taken);
    const bool ownList = &list == &List;
    StartDeviceCommand(
        [this, job, &list, number, takeBackup, keep, asIs] {
            DeviceBackup fresh;
            job->result = Store({Connection, *number, *this}, list, kUploadFileName,
                                takeBackup ? &job->policy : nullptr, &fresh, asIs);
            if (takeBackup) job->backup = std::move(fresh);
        },
        [this, job, &list, number, ownList, keep, restoredFrom, asIs] {
            const DeviceStoreResult& result = job->result;
            if (result.askWithoutBackup) {
                const Cp1251String cause = FailureCause(Connection, result.code, false, *number,
                                                        ExchangeLog->Tail(), FileOpenFor::Reading);
                ShowFailureCause(result.code, false, FileOpenFor::Reading);
                if (messages_->Question(FromCp1251(usertext::StoreWithoutBackupQuestion(
                        cause.empty() ? usertext::BackupNotRead() : cause)))) {
                    StoreList(list, number, false, DeviceBackup(), keep, restoredFrom, asIs);
                } else {
                    ReplaceStatus(cp1251::FromUtf8(storetext::StoreDeclined()), true);
                }
                return;
            }
            if (result.outcome == DeviceStoreOutcome::Stored) {
                if (ownList) listModified_ = false;
                KeepReport(result.info, true, VerificationSummary(), &list, job->backup.path);
                if (!restoredFrom.empty())
                    ReplaceStatus(cp1251::FromUtf8(storetext::Restored(restoredFrom)), true);
            }
            const bool failed = result.outcome == DeviceStoreOutcome::NotConnected ||
                                result.outcome == DeviceStoreOutcome::Protected ||
                                result.outcome == DeviceStoreOutcome::Broken ||
                                result.outcome == DeviceStoreOutcome::BackupFailed;
            // The store's one file open is for writing: its refusal is the write protection.
            ShowFailureCause(failed ? result.code : lr::Ok, false,
                             result.outcome == DeviceStoreOutcome::BackupFailed
                                 ? FileOpenFor::Reading
                                 : FileOpenFor::Writing);
            if (failed && result.code == lr::Cancelled) {
                ReplaceStatus(result.uploadBegun ? usertext::StoreCancelledStatus() + '.' + ' ' +
                                                       usertext::DeviceSettingsIncomplete()
                                                 : usertext::StoreCancelledStatus(),
                              true);
            }
        });
}

void TVR7CfgUpdate::PreviewThenStore() {
    struct Job {
        DeviceCurrentFile current;
        BackupPolicy policy;
        uint32_t asked = 0;
    };
    auto job = std::make_shared<Job>();
    job->policy = StoreBackupPolicy();
    job->asked = DeviceNumber;
    const bool takeBackup = Backup1->isChecked();
    StartDeviceCommand(
        [this, job, takeBackup] {
            job->current = ReadCurrentGatewayFile(Connection, DeviceNumber,
                                                  takeBackup ? &job->policy : nullptr, this);
            ShowProgress("", 0);  // the download's progress ends with it
        },
        [this, job] {
            const DeviceCurrentFile& current = job->current;
            if (!current.status) {
                const Failure& failure = current.status.failure();
                if (failure.kind == FailureKind::Cancelled) {
                    // Nothing was uploaded yet: the device keeps its settings as they were.
                    messages_->Message(FromCp1251(usertext::StoreCancelled()));
                    ReplaceStatus(usertext::StoreCancelledStatus(), true);
                    return;
                }
                Cp1251String message = CurrentFileMessage(Connection, current);
                if (const Cp1251String step = NextStep(Connection, job->asked, current);
                    !step.empty())
                    message = message + '\n' + step;
                messages_->Message(FromCp1251(message));
                ShowFailureCause(failure.kind == FailureKind::Link ? failure.code : lr::Ok, false,
                                 FileOpenFor::Reading);
                return;
            }
            const StorePreview preview = MakeStorePreview(DeviceNumber, current.backup, List);
            if (!messages_->ConfirmStore(preview)) {
                ReplaceStatus(cp1251::FromUtf8(storetext::StoreDeclined()), true);
                return;
            }
            // The device's file was kept by the preview: the store only uploads.
            StoreList(List, &DeviceNumber, false, current.backup);
        });
}

void TVR7CfgUpdate::Restore1Click() {
    if (DeviceCommandRunning()) return;
    const BackupPolicy policy = StoreBackupPolicy();
    // The backups of the device on the line the window is set to (of every device on it for
    // number 0); those whose line is unknown are restored only by vr7lon, by their path.
    Result<std::vector<BackupSummary>> listed =
        ListBackupSummaries(policy.folder, BackupDeviceOf(Connection, DeviceNumber));
    if (!listed) {
        messages_->Message(QString::fromStdString(usertext::FailureLine(listed.failure())));
        return;
    }
    if (listed.value().empty()) {
        messages_->Message(QString::fromStdString(storetext::NoBackupsIn(policy.folder)));
        return;
    }
    const std::optional<BackupSummary> chosen = messages_->ChooseBackup(listed.value());
    if (!chosen) return;
    // The backup's list and the device it was taken of, for as long as the store runs.
    struct Restore {
        XmlDocument noCatalogue;
        SnvtList list{noCatalogue};
        uint32_t number = 0;
    };
    auto restore = std::make_shared<Restore>();
    restore->number = chosen->device.number;
    // A backup goes back byte for byte, and only when it is a complete settings file.
    Result<std::string> bytes = ReadBackupForRestore(chosen->entry.path);
    if (!bytes) {
        messages_->Message(QString::fromStdString(usertext::FailureLine(bytes.failure())));
        return;
    }
    // The list of the report, read from the very bytes stored.
    (void)LoadGatewayBytes(restore->list, bytes.value());
    ClearStatus();
    StoreList(restore->list, &restore->number, Backup1->isChecked(), DeviceBackup(), restore,
              chosen->entry.path, std::move(bytes).value());
}

void TVR7CfgUpdate::Port1Click() {
    const QPoint at = QCursor::pos();
    // The dialog's device number is taken only with OK: Cancel leaves every setting as it was.
    uint32_t number = DeviceNumber;
    TSetPortDlg& dialog = PortDialog();
    Connection.ShowPortDialog(dialog, at.x(), at.y(), &number, true);
    if (dialog.result() == QDialog::Accepted) DeviceNumber = number;
}

// ---------------------------------------------------------------------------------------------
// Device commands on the worker thread

void TVR7CfgUpdate::StartDeviceCommand(std::function<void()> work, std::function<void()> done) {
    if (DeviceCommandRunning()) return;
    ExchangeLog->Begin(Connection);
    pacing_.Restart(ProgressBar->isHidden() ? -1 : ProgressBar->value());
    const bool started = runner_.Start(std::move(work), [this, done = std::move(done)] {
        FlushProgress(true);  // the command's last progress is shown before what ends it
        EnableCommands(true);
        if (done) done();
        if (closeWhenDone_) {
            closeWhenDone_ = false;
            close();
        }
    });
    if (started) EnableCommands(false);
}

void TVR7CfgUpdate::CancelDeviceCommand() {
    if (!DeviceCommandRunning()) return;
    runner_.Cancel();
    CancelButton->setEnabled(false);
}

void TVR7CfgUpdate::EnableCommands(bool enabled) {
    // Everything that could start another command, or change the list under the worker.
    for (QAction* action : {Open1, Load1, Store1, Restore1, Verify1, Save1, ExportList1, Port1,
                            ClearAll1, SetAll1, DelSelected1})
        action->setEnabled(enabled);
    TreeView1->setEnabled(enabled);
    ListView1->setEnabled(enabled);
    CancelButton->setEnabled(!enabled);
    CancelButton->setVisible(!enabled);
}

// ---------------------------------------------------------------------------------------------
// The list and the tree

void TVR7CfgUpdate::AddFromTree(int index, AddGesture gesture) {
    const TreeNode* node = TreeView1->SelectedNode();
    if (!MayAddToList(node, gesture)) return;
    List.AddVariable(index, node->Text, node->Info()->System);
}

void TVR7CfgUpdate::TreeView1DblClick() {
    AddFromTree(-1, AddGesture::DoubleClick);
}

void TVR7CfgUpdate::TreeView1Enter() {
    AddFromTree(-1, AddGesture::DoubleClick);
}

void TVR7CfgUpdate::ListView1Delete() {
    // Without a checked row there is nothing to delete and nothing to ask.
    for (size_t i = 0; i < List.RowCount(); ++i) {
        if (List.Row(i).checked) {
            DelSelected_R_ButtonClick();
            return;
        }
    }
}

bool TVR7CfgUpdate::DragOver(const QMimeData* data) {
    switch (dragpayload::Identify(data, TreeView1, ListView1)) {
        case dragpayload::Origin::ConfigTree:
            return MayAddToList(TreeView1->SelectedNode(), AddGesture::Drag);
        case dragpayload::Origin::SnvtList:
            return true;
        case dragpayload::Origin::None:
            return false;
    }
    return false;
}

void TVR7CfgUpdate::DragDrop(const QMimeData* data, int targetRow) {
    switch (dragpayload::Identify(data, TreeView1, ListView1)) {
        case dragpayload::Origin::ConfigTree:
            AddFromTree(targetRow, AddGesture::Drag);
            break;
        case dragpayload::Origin::SnvtList: {
            const int moved = List.MoveRow(ListView1->SelectedRow(), targetRow);
            if (moved >= 0) ListView1->SelectRow(moved);
            break;
        }
        case dragpayload::Origin::None:
            break;
    }
}

void TVR7CfgUpdate::Panel2_ClearAll_Click() {
    ClearStatus();
    List.ClearAll();
}

void TVR7CfgUpdate::Panel2_SetAll_Click() {
    ClearStatus();
    List.SetAll();
}

void TVR7CfgUpdate::DelSelected_R_ButtonClick() {
    ClearStatus();
    List.DeleteChecked();
}

// A device command's worker reports through these as well: each runs on the window's thread
// while the worker waits, so the messages and the list's rows come in the order they always did.

void TVR7CfgUpdate::ShowMessage(const Cp1251String& text) {
    runner_.Run([this, &text] { messages_->Message(FromCp1251(text)); });
}

void TVR7CfgUpdate::RowInserted(size_t index) {
    runner_.Run([this, index] {
        listModified_ = true;
        ListChangedSinceReport();
        ListView1->InsertRow(static_cast<int>(index), List.Row(index));
    });
}

void TVR7CfgUpdate::RowRemoved(size_t index) {
    runner_.Run([this, index] {
        listModified_ = true;
        ListChangedSinceReport();
        ListView1->removeRow(static_cast<int>(index));
    });
}

void TVR7CfgUpdate::RowsRemoved(const std::vector<size_t>& indices) {
    runner_.Run([this, &indices] {
        listModified_ = true;
        ListChangedSinceReport();
        ListView1->RemoveRows(indices);
    });
}

void TVR7CfgUpdate::RowChanged(size_t index) {
    runner_.Run([this, index] {
        ListChangedSinceReport(static_cast<int>(index));
        ListView1->UpdateRow(static_cast<int>(index), List.Row(index));
    });
}

void TVR7CfgUpdate::ListCleared() {
    runner_.Run([this] {
        if (ListView1->rowCount() > 0) listModified_ = true;
        ListChangedSinceReport();
        ListView1->setRowCount(0);
    });
}

void TVR7CfgUpdate::CountersChanged(const std::string& text) {
    runner_.Run([this, &text] { Edit2->setText(FromCp1251(Cp1251String(text))); });
}

// ---------------------------------------------------------------------------------------------
// Progress

void TVR7CfgUpdate::ShowProgress(const std::string& text, float fraction) {
    if (runner_.OnOwnThread()) {
        progressTimer_->stop();
        pacing_.Drop();
        ApplyProgress(text, fraction, true);
        return;
    }
    // The worker hands over only what changes the bar or the text, and does not wait for it.
    if (!pacing_.Changed(text, fraction)) return;
    runner_.Post([this, text, fraction] { PaceProgress(text, fraction); });
}

void TVR7CfgUpdate::PaceProgress(const std::string& text, float fraction) {
    const auto now = ProgressPacing::Clock::now();
    switch (pacing_.Arrive(text, fraction, now)) {
        case ProgressPacing::Step::Show:
            FlushProgress(false);
            break;
        case ProgressPacing::Step::Wait:
            progressTimer_->start(
                std::chrono::ceil<std::chrono::milliseconds>(pacing_.Due() - now));
            break;
        case ProgressPacing::Step::Nothing:
            break;
    }
}

void TVR7CfgUpdate::FlushProgress(bool paintNow) {
    progressTimer_->stop();
    std::string text;
    float fraction = 0;
    if (pacing_.Take(ProgressPacing::Clock::now(), text, fraction))
        ApplyProgress(text, fraction, paintNow);
}

void TVR7CfgUpdate::ApplyProgress(const std::string& text, float fraction, bool paintNow) {
    if (fraction > 0) {
        const bool shown = ProgressBar->isHidden();
        if (shown) ProgressBar->show();
        const int position = ProgressBarPosition(fraction);
        if (position != ProgressBar->value() || shown) {
            ProgressBar->setValue(position);
            if (paintNow) ProgressBar->repaint();
        }
    } else if (!ProgressBar->isHidden()) {
        ProgressBar->hide();
    }
    const QString shownText = FromCp1251(Cp1251String(text));
    if (shownText != StatusPanel->text()) {
        StatusPanel->setText(shownText);
        if (paintNow) StatusPanel->repaint();
    }
}

// ---------------------------------------------------------------------------------------------
// The check of the device's settings and the report of a store or a check

void TVR7CfgUpdate::Verify1Click() {
    if (DeviceCommandRunning()) return;
    ClearStatus();
    if (List.RowCount() == 0) {
        messages_->Message(FromCp1251(usertext::EmptyList()));
        return;
    }
    // The device should hold what a store of the list sends.
    auto expected = std::make_shared<std::string>(GatewayFileText(List));
    auto result = std::make_shared<DeviceVerify>();
    StartDeviceCommand(
        [this, expected, result] {
            *result = VerifyGatewayFile(Connection, DeviceNumber, *expected, this);
        },
        [this, result] {
            const DeviceVerify& v = *result;
            VerificationSummary summary;
            LinkResult code = lr::Ok;
            if (v.status) {
                summary.state = VerificationSummary::State::Identical;
            } else if (v.status.failure().kind == FailureKind::Mismatch) {
                summary.state = VerificationSummary::State::Differs;
                summary.offset = v.status.failure().at;
            } else {
                summary.state = VerificationSummary::State::Failed;
                const Failure& failure = v.status.failure();
                code = LinkCodeOf(failure);
                if (failure.kind == FailureKind::TooOld) {
                    summary.reason = cp1251::ToUtf8(usertext::UnsupportedVersion(v.info));
                } else if (failure.kind == FailureKind::Cancelled) {
                    summary.reason = cp1251::ToUtf8(usertext::ReadCancelledStatus());
                } else {
                    summary.reason =
                        cp1251::ToUtf8(FailureCause(Connection, code, false, DeviceNumber,
                                                    ExchangeLog->Tail(), FileOpenFor::Reading));
                }
            }
            // The check's one file open is for reading: its refusal is a device without the file.
            // A check that compared hides its bar; a failed one leaves it where it stopped.
            if (code == lr::Ok) ShowProgress("", 0);
            ShowFailureCause(code, false, FileOpenFor::Reading);
            if (v.identified) KeepReport(v.info, false, summary);
            messages_->Message(QString::fromStdString(VerificationText(summary)));
        });
}

void TVR7CfgUpdate::KeepReport(const DeviceInfo& info, bool stored,
                               const VerificationSummary& verification, const SnvtList* rows,
                               const std::string& backupFile) {
    if (rows == nullptr) rows = &List;
    // A check after a store of this very list adds to the store's report.
    if (!stored && report_ && report_->stored) {
        report_->verification = verification;
        report_->when = LocalTimeText(std::time(nullptr));
        return;
    }
    auto record = std::make_unique<CommissioningRecord>();
    record->deviceNumber = info.DeviceNumber();
    record->firmwareVersion = info.VersionText();
    if (Connection.PortName == connkeys::kTcpIpPortName) {
        record->port = "TCP " + Connection.IpAddress + ":" + Connection.TcpIpPort;
    } else {
        record->port =
            Connection.PortName + ", " + std::to_string(Connection.Speed) + htmltext::Baud();
    }
    record->when = LocalTimeText(std::time(nullptr));
    record->userName = CurrentUserName();
    record->stored = stored;
    record->rows = ReportRows(*rows);
    record->counters = cp1251::ToUtf8(Cp1251String(rows->CountersText()));
    record->verification = verification;
    // The backup of the device's earlier file that the store took.
    record->backupFile = backupFile;
    report_ = std::move(record);
    Report1->setEnabled(true);
}

void TVR7CfgUpdate::ListChangedSinceReport(int changedRow) {
    if (!report_) return;
    if (changedRow >= 0 && static_cast<size_t>(changedRow) < report_->rows.size() &&
        report_->rows.size() == List.RowCount() &&
        ReportRowOf(List.Row(static_cast<size_t>(changedRow))) == report_->rows[changedRow])
        return;
    report_.reset();
    Report1->setEnabled(false);
}

void TVR7CfgUpdate::Report1Click() {
    if (!report_) return;
    delete ReportWindow;
    ReportWindow =
        new ReportDialog(CommissioningReportHtml(*report_), SaveFolder(), *messages_, this);
    ReportWindow->setAttribute(Qt::WA_DeleteOnClose);
    connect(ReportWindow, &QObject::destroyed, this, [this] { ReportWindow = nullptr; });
    ReportWindow->show();
}
