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

void WindowController::FolderOpened(uint32_t number) {
    deviceNumber_ = number;
    listSource_ = ListOrigin::ConfigFolder;
    unsaved_ = false;
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
