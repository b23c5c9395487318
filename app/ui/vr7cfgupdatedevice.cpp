// The window's device commands: Read from VR-7, Store into VR-7 (with its preview and backup),
// the restore of a backup, the check of the device's settings and its report, and the progress
// they show. Each runs on the runner's worker with its own copy of what it needs and hands its
// result to the window's thread, which applies it in one step.
#include <QAction>
#include <QCursor>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "app/messages.h"
#include "app/ui/configtreeview.h"
#include "app/ui/exchangelog.h"
#include "app/ui/reportdialog.h"
#include "app/ui/statuspanel.h"
#include "app/ui/storeprogress.h"
#include "app/ui/usermessages.h"
#include "app/ui/vr7cfgupdate.h"
#include "base/cp1251.h"
#include "base/installpaths.h"
#include "base/ui/qcp1251.h"
#include "device/connectionsettings.h"
#include "device/devicecommands.h"
#include "device/failurecause.h"
#include "device/storepreview.h"
#include "gateway/gatewayfile.h"
#include "link/connectionkeys.h"
#include "link/ui/setportdlg.h"
#include "report/commissioningreport.h"

struct TVR7CfgUpdate::ReadJob {
    explicit ReadJob(const XmlDocument& catalogue) : list(catalogue) {}
    uint32_t number = 0;
    CfgTree tree;
    SnvtList list;
    HeldMessages messages;
    DeviceReadResult result;
};

void TVR7CfgUpdate::Load1Click() {
    if (DeviceCommandRunning()) return;
    if (!MayLeaveList(ListLeaving::Read)) return;
    ClearStatus();
    // The read works on a tree and a list of its own, with its own copy of the device number;
    // the window's are replaced in one step once it has ended, and a read that failed or was
    // cancelled leaves them as they were.
    auto read = std::make_shared<ReadJob>(CfgFilter);
    read->number = Controller.DeviceNumber();
    StartDeviceCommand(
        [this, read] {
            read->result = ReadFromDevice({Connection, read->number}, read->tree, read->list,
                                          &CfgFilter, this);
            HoldMessage(read->messages, read->result.message, read->result.next);
        },
        [this, read] {
            ShowHeldMessages(read->messages);
            FinishRead(*read);
            ShowEnding(WindowController::WhatReadShows(read->result));
        });
}

void TVR7CfgUpdate::HoldMessage(HeldMessages& held, const CommandMessage& message,
                                const NextStepAdvice& next) {
    if (const Cp1251String text = usertext::CommandMessageWithStep(message, next); !text.empty())
        held.ShowMessage(text);
}

void TVR7CfgUpdate::ShowHeldMessages(const HeldMessages& held) {
    for (const Cp1251String& text : held.texts) messages_->Message(FromCp1251(text));
}

void TVR7CfgUpdate::FinishRead(ReadJob& read) {
    const ReadApply apply = WindowController::WhatReadChanges(read.result);
    // A broken read shows the entries read whole before it; list, caption and the progress bar
    // stay as they were.
    if (apply != ReadApply::Nothing) ShowReadTree(std::move(read.tree));
    if (apply == ReadApply::All) List.TakeRowsFrom(std::move(read.list));
    Controller.ReadEnded(read.result, read.number);
    if (apply != ReadApply::All) return;
    Edit1->setText(FromCp1251(
        usertext::DeviceConfigurationCaption(Connection.PortName, Controller.DeviceNumber())));
}

void TVR7CfgUpdate::ShowFailureCause(LinkResult code, bool framesDecide, FileOpenFor openFor) {
    const Cp1251String cause = usertext::FailureCauseText(FailureCause(
        Connection, code, framesDecide, Controller.DeviceNumber(), ExchangeLog->Tail(), openFor));
    ExchangeLog->End(Connection, code, framesDecide);
    if (cause.empty()) return;
    StatusPanel->setText(FromCp1251(cause));
    StatusPanel->repaint();
}

void TVR7CfgUpdate::ShowEnding(const CommandEnding& ending) {
    if (ending.hideProgress) ShowProgress("", 0);
    ShowFailureCause(ending.code, ending.framesDecide, ending.openFor);
    if (!ending.status.empty()) ReplaceStatus(ending.status, true);
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
    if (WindowController::StoreThroughPreview(Preview1->isChecked(), List.RowCount())) {
        PreviewThenStore();
        return;
    }
    StoreList(List, Controller.DeviceNumber(), Backup1->isChecked(), DeviceBackup());
}

BackupPolicy TVR7CfgUpdate::StoreBackupPolicy() const {
    BackupPolicy policy;
    policy.folder = DefaultBackupFolder(NativeProgramDir(), !InstalledDataDir().empty());
    policy.keep = static_cast<size_t>(std::max(1, backupsKept_));
    return policy;
}

void TVR7CfgUpdate::StoreList(const SnvtList& list, uint32_t number, bool takeBackup,
                              DeviceBackup taken, const std::string& restoredFrom,
                              std::optional<std::string> asIs) {
    // The store works on its own copy of the rows and of the device number.
    struct Job {
        explicit Job(const XmlDocument& catalogue) : list(catalogue) {}
        SnvtList list;
        uint32_t number = 0;
        std::optional<std::string> asIs;
        HeldMessages messages;
        DeviceStoreResult result;
        BackupPolicy policy;
        DeviceBackup backup;
    };
    auto job = std::make_shared<Job>(CfgFilter);
    job->list.CopyRowsFrom(list);
    job->number = number;
    job->asIs = std::move(asIs);
    job->policy = StoreBackupPolicy();
    // The download before the upload (the backup's now, or the preview's before) is the bar's
    // first step. Once the upload has begun it is let finish: Cancel says so.
    const int upload = takeBackup || taken.read ? 1 : 0;
    job->backup = std::move(taken);
    const bool ownList = &list == &List;
    StartDeviceCommand(
        [this, job, takeBackup, upload] {
            DeviceBackup fresh;
            StoreStep download(*this, usertext::StoreStepKind::Download, 0, 2);
            StoreStep uploading(*this, usertext::StoreStepKind::Upload, upload, upload + 1, [this] {
                runner_.Post([this] {
                    CancelButton->setEnabled(false);
                    CancelButton->setToolTip(FromCp1251(usertext::UploadNotCancelled()));
                });
            });
            if (takeBackup) download.ShowProgress(std::string(), 0);  // the step shows at once
            job->result = Store({Connection, job->number}, job->list, kUploadFileName,
                                takeBackup ? &job->policy : nullptr, &fresh, job->asIs,
                                StoreProgress{&download, &uploading});
            HoldMessage(job->messages, job->result.message, job->result.next);
            if (takeBackup) job->backup = std::move(fresh);
        },
        [this, job, ownList, restoredFrom] {
            // The steps' bar and text go; what the store ended with is said below.
            ReplaceStatus(Cp1251String(), true);
            ShowHeldMessages(job->messages);
            const DeviceStoreResult& result = job->result;
            const StoreEnding ending = WindowController::WhatStoreShows(result, restoredFrom);
            if (ending.askWithoutBackup) {
                const Cp1251String cause = usertext::FailureCauseText(
                    FailureCause(Connection, ending.code, ending.framesDecide, job->number,
                                 ExchangeLog->Tail(), ending.openFor));
                ShowEnding(ending);
                if (messages_->Question(FromCp1251(usertext::StoreWithoutBackupQuestion(
                        cause.empty() ? usertext::BackupNotRead() : cause)))) {
                    StoreList(ownList ? List : job->list, job->number, false, DeviceBackup(),
                              restoredFrom, job->asIs);
                } else {
                    ReplaceStatus(WindowController::StoreDeclinedStatus(), true);
                }
                return;
            }
            Controller.StoreEnded(result, ownList, job->number);
            if (ending.keepReport)
                KeepReport(result.info, true, VerificationSummary(), job->list, job->backup.path);
            ShowEnding(ending);
        });
}

void TVR7CfgUpdate::PreviewThenStore() {
    struct Job {
        DeviceCurrentFile current;
        BackupPolicy policy;
        uint32_t asked = 0;
        uint32_t number = 0;  // the device's, once it answered
    };
    auto job = std::make_shared<Job>();
    job->policy = StoreBackupPolicy();
    job->asked = Controller.DeviceNumber();
    job->number = job->asked;
    const bool takeBackup = Backup1->isChecked();
    StartDeviceCommand(
        [this, job, takeBackup] {
            // The bar's first step; the upload after the preview is its second.
            StoreStep download(*this, usertext::StoreStepKind::Download, 0, 2);
            download.ShowProgress(std::string(), 0);  // the step shows from its start
            job->current = ReadCurrentGatewayFile(Connection, job->number,
                                                  takeBackup ? &job->policy : nullptr, &download);
            ShowProgress("", 0);  // the download's progress ends with it
        },
        [this, job] {
            Controller.DeviceAnswered(job->number);
            const DeviceCurrentFile& current = job->current;
            const PreviewEnding ending = WindowController::WhatPreviewShows(current);
            switch (ending.step) {
                case PreviewStep::Cancelled:
                    // Nothing was uploaded yet: the device keeps its settings as they were.
                    messages_->Message(FromCp1251(usertext::StoreCancelled()));
                    ShowEnding(ending);
                    return;
                case PreviewStep::Failed: {
                    messages_->Message(FromCp1251(usertext::CommandMessageWithStep(
                        CurrentFileMessage(Connection, current),
                        NextStep(Connection, job->asked, current))));
                    ShowEnding(ending);
                    return;
                }
                case PreviewStep::Confirm:
                    break;
            }
            const StorePreview preview =
                MakeStorePreview(Controller.DeviceNumber(), current.backup, List);
            if (!messages_->ConfirmStore(preview)) {
                ReplaceStatus(WindowController::StoreDeclinedStatus(), true);
                return;
            }
            // The device's file was kept by the preview: the store only uploads.
            StoreList(List, Controller.DeviceNumber(), false, current.backup);
        });
}

void TVR7CfgUpdate::Restore1Click() {
    if (DeviceCommandRunning()) return;
    const BackupPolicy policy = StoreBackupPolicy();
    // The backups of the device on the line the window is set to (of every device on it for
    // number 0); those whose line is unknown are restored only by vr7lon, by their path.
    Result<std::vector<BackupSummary>> listed =
        ListBackupSummaries(policy.folder, BackupDeviceOf(Connection, Controller.DeviceNumber()));
    if (!listed) {
        messages_->Message(FromUtf8String(usertext::FailureLine(listed.failure())));
        return;
    }
    if (listed.value().empty()) {
        messages_->Message(QString::fromStdString(storetext::NoBackupsIn(policy.folder)));
        return;
    }
    const std::optional<BackupSummary> chosen = messages_->ChooseBackup(listed.value());
    if (!chosen) return;
    // A backup goes back byte for byte, and only when it is a complete settings file.
    Result<std::string> bytes = ReadBackupForRestore(chosen->entry.path);
    if (!bytes) {
        messages_->Message(FromUtf8String(usertext::FailureLine(bytes.failure())));
        return;
    }
    // The list of the report, read from the very bytes stored.
    XmlDocument noCatalogue;
    SnvtList restored(noCatalogue);
    (void)LoadGatewayBytes(restored, bytes.value());
    ClearStatus();
    StoreList(restored, chosen->device.number, Backup1->isChecked(), DeviceBackup(),
              chosen->entry.path, std::move(bytes).value());
}

void TVR7CfgUpdate::Port1Click() {
    const QPoint at = QCursor::pos();
    // The dialog's device number is taken only with OK: Cancel leaves every setting as it was.
    uint32_t number = Controller.DeviceNumber();
    TSetPortDlg& dialog = PortDialog();
    Connection.ShowPortDialog(dialog, at.x(), at.y(), &number, true);
    if (dialog.result() == QDialog::Accepted) Controller.SetDeviceNumber(number);
}

// ---------------------------------------------------------------------------------------------
// Device commands on the worker thread

void TVR7CfgUpdate::StartDeviceCommand(std::function<void()> work, std::function<void()> done) {
    if (DeviceCommandRunning()) return;
    ExchangeLog->Begin(Connection);
    pacing_.Restart(ProgressBar->isHidden() ? -1 : ProgressBar->value());
    const bool started = runner_.Start(std::move(work), [this, done = std::move(done)] {
        FlushProgress(true);  // the command's last progress is shown before what ends it
        const bool closeNow = Controller.CommandEnded();
        ShowCommandState();
        if (done) done();
        if (closeNow) close();
    });
    if (started) {
        Controller.CommandStarted();
        ShowCommandState();
    }
}

void TVR7CfgUpdate::CancelDeviceCommand() {
    if (!DeviceCommandRunning()) return;
    runner_.Cancel();
    CancelButton->setEnabled(false);
}

void TVR7CfgUpdate::ShowCommandState() {
    const struct {
        QAction* action;
        WindowCommand command;
    } actions[] = {{Open1, WindowCommand::Open},
                   {Load1, WindowCommand::Read},
                   {Store1, WindowCommand::Store},
                   {Restore1, WindowCommand::Restore},
                   {Verify1, WindowCommand::Verify},
                   {Save1, WindowCommand::Save},
                   {ExportList1, WindowCommand::Export},
                   {Port1, WindowCommand::Port},
                   {ClearAll1, WindowCommand::ClearAll},
                   {SetAll1, WindowCommand::SetAll},
                   {DelSelected1, WindowCommand::DeleteChecked},
                   {Report1, WindowCommand::Report}};
    for (const auto& a : actions) a.action->setEnabled(Controller.Enabled(a.command));
    const bool edit = Controller.Enabled(WindowCommand::EditList);
    TreeView1->setEnabled(edit);
    ListView1->setEnabled(edit);
    const bool cancel = Controller.Enabled(WindowCommand::Cancel);
    CancelButton->setEnabled(cancel);
    CancelButton->setToolTip(QString());
    CancelButton->setVisible(cancel);
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
    // The text first: a bar that moves on is never seen beside the step before's text.
    const QString shownText = FromCp1251(Cp1251String(text));
    if (shownText != StatusPanel->text()) {
        StatusPanel->setText(shownText);
        if (paintNow) StatusPanel->repaint();
    }
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
    struct Job {
        std::string expected;
        uint32_t number = 0;
        DeviceVerify result;
    };
    auto job = std::make_shared<Job>();
    job->expected = GatewayFileText(List);
    job->number = Controller.DeviceNumber();
    StartDeviceCommand(
        [this, job] {
            job->result = VerifyGatewayFile(Connection, job->number, job->expected, this);
        },
        [this, job] {
            Controller.DeviceAnswered(job->number);
            const VerifyEnding ending =
                WindowController::WhatVerifyShows(job->result, [this](LinkResult code) {
                    return usertext::FailureCauseText(
                        FailureCause(Connection, code, false, Controller.DeviceNumber(),
                                     ExchangeLog->Tail(), FileOpenFor::Reading));
                });
            ShowEnding(ending);
            if (ending.keepReport) KeepReport(job->result.info, false, ending.summary, List);
            messages_->Message(QString::fromStdString(VerificationText(ending.summary)));
        });
}

void TVR7CfgUpdate::KeepReport(const DeviceInfo& info, bool stored,
                               const VerificationSummary& verification, const SnvtList& rows,
                               const std::string& backupFile) {
    const std::string port =
        Connection.PortName == connkeys::kTcpIpPortName
            ? "TCP " + Connection.IpAddress + ":" + Connection.TcpIpPort
            : Connection.PortName + ", " + std::to_string(Connection.Speed) + htmltext::Baud();
    Controller.KeepReport(port, info, stored, verification, rows, backupFile, std::time(nullptr),
                          CurrentUserName());
    Report1->setEnabled(Controller.Enabled(WindowCommand::Report));
}

void TVR7CfgUpdate::Report1Click() {
    const CommissioningRecord* report = Controller.Report();
    if (report == nullptr) return;
    delete ReportWindow;
    ReportWindow =
        new ReportDialog(CommissioningReportHtml(*report), SaveFolder(), *messages_, this);
    ReportWindow->setAttribute(Qt::WA_DeleteOnClose);
    connect(ReportWindow, &QObject::destroyed, this, [this] { ReportWindow = nullptr; });
    ReportWindow->show();
}
