#include "app/windowcontroller.h"

#include "app/messages.h"
#include "gateway/snvtlist.h"

bool WindowController::Enabled(WindowCommand command) const {
    // While a device command runs, nothing may start another one or change the list it works
    // from; only Cancel stops it. The report is there only while it describes the list.
    switch (command) {
        case WindowCommand::Cancel:
            return busy_;
        case WindowCommand::Report:
            return !busy_ && report_ != nullptr;
        default:
            return !busy_;
    }
}

Cp1251String WindowController::QuestionBefore(ListLeaving leaving) const {
    // Each command asks about what it is about to do; "Нет" leaves everything as it is.
    if (!unsaved_) return Cp1251String();
    switch (leaving) {
        case ListLeaving::Open:
            return usertext::OpenUnsaved();
        case ListLeaving::Read:
            return usertext::ReadUnsaved();
        case ListLeaving::Exit:
            break;
    }
    return usertext::LeaveUnsaved();
}

void WindowController::FolderOpened(uint32_t number, const std::string& configDir) {
    deviceNumber_ = number;
    listSource_ = ListOrigin::ConfigFolder;
    unsaved_ = false;
    openedConfigDir_ = configDir;
}

void WindowController::ListSaved(const std::string& folder) {
    unsaved_ = false;
    lastSaveFolder_ = folder;
}

std::string WindowController::SaveFolder() const {
    if (listSource_ == ListOrigin::ConfigFolder && !openedConfigDir_.empty())
        return openedConfigDir_;
    return lastSaveFolder_;
}

bool WindowController::CommandEnded() {
    busy_ = false;
    const bool close = closeWhenIdle_;
    closeWhenIdle_ = false;
    return close;
}

bool WindowController::CloseRequested() {
    if (!busy_) return true;
    closeWhenIdle_ = true;
    return false;
}

CommandEnding WindowController::WhatReadShows(const DeviceReadResult& result) {
    CommandEnding ending;
    if (result.cancelled) {
        // Said as a cancel, never as the failure the cancel looks like on the line.
        ending.code = lr::Cancelled;
        ending.status = usertext::ReadCancelledStatus();
        return ending;
    }
    switch (result.outcome) {
        case DeviceReadOutcome::NotConnected:
            ending.code = result.code;
            break;
        case DeviceReadOutcome::ReadFailed:
            ending.framesDecide = true;
            break;
        case DeviceReadOutcome::Read:
            // A settings file that broke off is named from the frames as a broken tree is.
            ending.framesDecide = result.download == GatewayDownload::Broken;
            ending.hideProgress = true;
            break;
        case DeviceReadOutcome::UnsupportedVersion:
            break;
    }
    return ending;
}

StoreEnding WindowController::WhatStoreShows(const DeviceStoreResult& result,
                                             const std::string& restoredFrom) {
    StoreEnding ending;
    if (result.askWithoutBackup) {
        // The question names why the device's file could not be kept.
        ending.askWithoutBackup = true;
        ending.code = result.code;
        ending.openFor = FileOpenFor::Reading;
        return ending;
    }
    const bool failed = result.outcome == DeviceStoreOutcome::NotConnected ||
                        result.outcome == DeviceStoreOutcome::Protected ||
                        result.outcome == DeviceStoreOutcome::Broken ||
                        result.outcome == DeviceStoreOutcome::BackupFailed;
    ending.code = failed ? result.code : lr::Ok;
    // The store's one file open is for writing: its refusal is the write protection; the
    // backup's is a read of the device's file.
    ending.openFor = result.outcome == DeviceStoreOutcome::BackupFailed ? FileOpenFor::Reading
                                                                        : FileOpenFor::Writing;
    if (result.outcome == DeviceStoreOutcome::Stored) {
        ending.keepReport = true;
        if (!restoredFrom.empty())
            ending.status = cp1251::FromUtf8(storetext::Restored(restoredFrom));
    }
    if (failed && result.code == lr::Cancelled) {
        // Once the upload had begun the device may hold part of the new settings.
        ending.status = result.uploadBegun ? usertext::StoreCancelledStatus() + '.' + ' ' +
                                                 usertext::DeviceSettingsIncomplete()
                                           : usertext::StoreCancelledStatus();
    }
    return ending;
}

PreviewEnding WindowController::WhatPreviewShows(const DeviceCurrentFile& current) {
    PreviewEnding ending;
    ending.openFor = FileOpenFor::Reading;
    if (current.status) return ending;
    const Failure& failure = current.status.failure();
    if (failure.kind == FailureKind::Cancelled) {
        ending.step = PreviewStep::Cancelled;
        ending.code = lr::Cancelled;
        ending.status = usertext::StoreCancelledStatus();
        return ending;
    }
    ending.step = PreviewStep::Failed;
    ending.code = failure.kind == FailureKind::Link ? failure.code : lr::Ok;
    return ending;
}

VerifyEnding WindowController::WhatVerifyShows(
    const DeviceVerify& verify, const std::function<Cp1251String(LinkResult)>& linkCause) {
    // The check's one file open is for reading: its refusal is a device without the file.
    VerifyEnding ending;
    ending.openFor = FileOpenFor::Reading;
    ending.keepReport = verify.identified;
    VerificationSummary& summary = ending.summary;
    if (verify.status) {
        summary.state = VerificationSummary::State::Identical;
    } else if (verify.status.failure().kind == FailureKind::Mismatch) {
        summary.state = VerificationSummary::State::Differs;
        summary.offset = verify.status.failure().at;
    } else {
        summary.state = VerificationSummary::State::Failed;
        const Failure& failure = verify.status.failure();
        ending.code = LinkCodeOf(failure);
        if (failure.kind == FailureKind::TooOld)
            summary.reason = cp1251::ToUtf8(usertext::UnsupportedVersion(verify.info));
        else if (failure.kind == FailureKind::Cancelled)
            summary.reason = cp1251::ToUtf8(usertext::ReadCancelledStatus());
        else
            summary.reason = cp1251::ToUtf8(linkCause(ending.code));
    }
    // A check that compared hides its bar; a failed one leaves it where it stopped.
    ending.hideProgress = ending.code == lr::Ok;
    return ending;
}

Cp1251String WindowController::StoreDeclinedStatus() {
    return cp1251::FromUtf8(storetext::StoreDeclined());
}

ReadApply WindowController::WhatReadChanges(const DeviceReadResult& result) {
    // A read the user cancelled leaves the tree, the list and the caption as they were.
    if (result.cancelled) return ReadApply::Nothing;
    switch (result.outcome) {
        case DeviceReadOutcome::NotConnected:
        case DeviceReadOutcome::UnsupportedVersion:
            return ReadApply::Nothing;
        case DeviceReadOutcome::ReadFailed:
            return ReadApply::Tree;
        case DeviceReadOutcome::Read:
            break;
    }
    return ReadApply::All;
}

void WindowController::ReadEnded(const DeviceReadResult& result, uint32_t number) {
    deviceNumber_ = number;
    if (WhatReadChanges(result) != ReadApply::All) return;
    listSource_ = ListOrigin::Device;
    unsaved_ = false;
}

void WindowController::StoreEnded(const DeviceStoreResult& result, bool ownList, uint32_t number) {
    // A restore goes to the device its backup was taken of: the window's number stays.
    if (!ownList) return;
    deviceNumber_ = number;
    if (result.outcome == DeviceStoreOutcome::Stored) unsaved_ = false;
}

void WindowController::KeepReport(const std::string& port, const DeviceInfo& info, bool stored,
                                  const VerificationSummary& verification, const SnvtList& rows,
                                  const std::string& backupFile, std::time_t now,
                                  const std::string& userName) {
    if (!stored && report_ && report_->stored) {
        report_->verification = verification;
        report_->when = LocalTimeText(now);
        return;
    }
    auto record = std::make_unique<CommissioningRecord>();
    record->deviceNumber = info.DeviceNumber();
    record->firmwareVersion = info.VersionText();
    record->port = port;
    record->when = LocalTimeText(now);
    record->userName = userName;
    record->stored = stored;
    record->rows = ReportRows(rows);
    record->counters = cp1251::ToUtf8(Cp1251String(rows.CountersText()));
    record->verification = verification;
    record->backupFile = backupFile;
    report_ = std::move(record);
}

void WindowController::ListChangedSinceReport(const SnvtList& list, int changedRow) {
    if (!report_) return;
    if (changedRow >= 0 && static_cast<size_t>(changedRow) < report_->rows.size() &&
        report_->rows.size() == list.RowCount() &&
        ReportRowOf(list.Row(static_cast<size_t>(changedRow))) ==
            report_->rows[static_cast<size_t>(changedRow)])
        return;
    report_.reset();
}
