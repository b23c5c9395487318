// The window's decisions, without a window.
#include "app/windowcontroller.h"

#include <gtest/gtest.h>

#include "app/messages.h"
#include "gateway/gatewayfile.h"
#include "gateway/snvtlist.h"
#include "optlist/xmldocument.h"

namespace {

constexpr WindowCommand kAllCommands[] = {
    WindowCommand::Open,    WindowCommand::Read,          WindowCommand::Store,
    WindowCommand::Restore, WindowCommand::Verify,        WindowCommand::Save,
    WindowCommand::Export,  WindowCommand::Port,          WindowCommand::ClearAll,
    WindowCommand::SetAll,  WindowCommand::DeleteChecked, WindowCommand::EditList,
    WindowCommand::Report,  WindowCommand::Cancel};

DeviceReadResult ReadOf(DeviceReadOutcome outcome, bool cancelled = false) {
    DeviceReadResult result;
    result.outcome = outcome;
    result.cancelled = cancelled;
    return result;
}

TEST(WindowController, WhileACommandRunsOnlyCancelIsEnabled) {
    WindowController c;
    for (const WindowCommand command : kAllCommands) {
        SCOPED_TRACE(static_cast<int>(command));
        // Idle: everything but Cancel, and the report only once there is one.
        EXPECT_EQ(c.Enabled(command),
                  command != WindowCommand::Cancel && command != WindowCommand::Report);
        c.CommandStarted();
        EXPECT_EQ(c.Enabled(command), command == WindowCommand::Cancel);
        c.CommandEnded();
    }
}

TEST(WindowController, AsksBeforeUnsavedChangesAreLostAndOnlyThen) {
    WindowController c;
    for (const ListLeaving leaving : {ListLeaving::Open, ListLeaving::Read, ListLeaving::Exit})
        EXPECT_TRUE(c.QuestionBefore(leaving).empty());
    c.FolderOpened(12);
    c.ListEdited();
    // Each command asks about what it is about to do.
    EXPECT_EQ(c.QuestionBefore(ListLeaving::Open), usertext::OpenUnsaved());
    EXPECT_EQ(c.QuestionBefore(ListLeaving::Read), usertext::ReadUnsaved());
    EXPECT_EQ(c.QuestionBefore(ListLeaving::Exit), usertext::LeaveUnsaved());
    c.ListSaved("/w/saved");
    EXPECT_TRUE(c.QuestionBefore(ListLeaving::Exit).empty());
    // A store of the window's own list counts as saved; a restore of a backup does not.
    c.ListEdited();
    DeviceStoreResult stored;
    stored.outcome = DeviceStoreOutcome::Stored;
    c.StoreEnded(stored, false, 7);
    EXPECT_TRUE(c.Unsaved());
    EXPECT_EQ(c.DeviceNumber(), 12u);
    DeviceStoreResult broken;
    broken.outcome = DeviceStoreOutcome::Broken;
    c.StoreEnded(broken, true, 12);
    EXPECT_TRUE(c.Unsaved());
    c.StoreEnded(stored, true, 12);
    EXPECT_FALSE(c.Unsaved());
}

TEST(WindowController, AReadChangesTheWindowOnlyAsFarAsItGot) {
    struct Case {
        DeviceReadResult result;
        ReadApply apply;
        ListOrigin source;  // after a folder was open
    };
    const Case cases[] = {
        {ReadOf(DeviceReadOutcome::NotConnected), ReadApply::Nothing, ListOrigin::ConfigFolder},
        {ReadOf(DeviceReadOutcome::UnsupportedVersion), ReadApply::Nothing,
         ListOrigin::ConfigFolder},
        {ReadOf(DeviceReadOutcome::ReadFailed), ReadApply::Tree, ListOrigin::ConfigFolder},
        {ReadOf(DeviceReadOutcome::ReadFailed, true), ReadApply::Nothing, ListOrigin::ConfigFolder},
        {ReadOf(DeviceReadOutcome::Read, true), ReadApply::Nothing, ListOrigin::ConfigFolder},
        {ReadOf(DeviceReadOutcome::Read), ReadApply::All, ListOrigin::Device},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(static_cast<int>(k.result.outcome) * 10 + k.result.cancelled);
        WindowController c;
        c.FolderOpened(0);
        c.ListEdited();
        EXPECT_EQ(WindowController::WhatReadChanges(k.result), k.apply);
        // A device number 0 asks for any device: the one that answered gives its number.
        c.ReadEnded(k.result, 12);
        EXPECT_EQ(c.DeviceNumber(), 12u);
        EXPECT_EQ(c.ListSource(), k.source);
        EXPECT_EQ(c.Unsaved(), k.apply != ReadApply::All);
    }
}

TEST(WindowController, TheReportLastsWhileItDescribesTheList) {
    XmlDocument noCatalogue;
    SnvtList list(noCatalogue);
    ASSERT_TRUE(LoadGatewayBytes(list, "F 40001 105 1t1 C\r\nF 40002 15 1q5 C\r\n").ok());
    WindowController c;
    DeviceInfo info;
    c.KeepReport("TCP 127.0.0.1:10001", info, true, VerificationSummary(), list, "b.cfg", 0, "u");
    ASSERT_NE(c.Report(), nullptr);
    EXPECT_TRUE(c.Enabled(WindowCommand::Report));
    EXPECT_EQ(c.Report()->rows.size(), 2u);
    EXPECT_EQ(c.Report()->backupFile, "b.cfg");

    // A check after the store adds its result to the store's report.
    VerificationSummary identical;
    identical.state = VerificationSummary::State::Identical;
    c.KeepReport("TCP 127.0.0.1:10001", info, false, identical, list, "", 60, "u");
    EXPECT_TRUE(c.Report()->stored);
    EXPECT_EQ(c.Report()->verification.state, VerificationSummary::State::Identical);

    // A check box alone keeps it; a row's text, or any change of rows, ends it.
    list.SetChecked(0, true);
    c.ListChangedSinceReport(list, 0);
    EXPECT_NE(c.Report(), nullptr);
    c.ListChangedSinceReport(list);
    EXPECT_EQ(c.Report(), nullptr);
    EXPECT_FALSE(c.Enabled(WindowCommand::Report));
}

TEST(WindowController, SaveFolderAndCloseFollowTheListAndTheRunningCommand) {
    WindowController c;
    c.SetLastSaveFolder("/w/earlier");
    EXPECT_EQ(c.SaveFolder(), "/w/earlier");
    // While the list came from a folder it is saved where Open reads it back from.
    c.FolderOpened(12, "/w/vr7_12/CONFIG");
    c.ListSaved("/w/saved");
    EXPECT_EQ(c.SaveFolder(), "/w/vr7_12/CONFIG");
    c.ReadEnded(ReadOf(DeviceReadOutcome::Read), 12);
    EXPECT_EQ(c.SaveFolder(), "/w/saved");

    // A close during a command cancels it and closes once it has ended, once.
    EXPECT_TRUE(c.CloseRequested());
    c.CommandStarted();
    EXPECT_FALSE(c.CloseRequested());
    EXPECT_TRUE(c.CommandEnded());
    c.CommandStarted();
    EXPECT_FALSE(c.CommandEnded());

    EXPECT_TRUE(WindowController::StoreThroughPreview(true, 3));
    EXPECT_FALSE(WindowController::StoreThroughPreview(true, 0));
    EXPECT_FALSE(WindowController::StoreThroughPreview(false, 3));
}

TEST(WindowController, AReadsEndNamesItsCauseAndSaysACancel) {
    DeviceReadResult silent = ReadOf(DeviceReadOutcome::NotConnected);
    silent.code = lr::NoAnswer;
    DeviceReadResult brokenFile = ReadOf(DeviceReadOutcome::Read);
    brokenFile.download = GatewayDownload::Broken;
    const Cp1251String cancelled = usertext::ReadCancelledStatus();
    const struct {
        DeviceReadResult result;
        LinkResult code;
        bool framesDecide, hideProgress;
        Cp1251String status;
    } cases[] = {
        {ReadOf(DeviceReadOutcome::Read), lr::Ok, false, true, {}},
        {brokenFile, lr::Ok, true, true, {}},
        {silent, lr::NoAnswer, false, false, {}},
        {ReadOf(DeviceReadOutcome::ReadFailed), lr::Ok, true, false, {}},
        {ReadOf(DeviceReadOutcome::UnsupportedVersion), lr::Ok, false, false, {}},
        {ReadOf(DeviceReadOutcome::ReadFailed, true), lr::Cancelled, false, false, cancelled},
        {ReadOf(DeviceReadOutcome::NotConnected, true), lr::Cancelled, false, false, cancelled},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(static_cast<int>(k.result.outcome) * 10 + k.result.cancelled);
        const CommandEnding ending = WindowController::WhatReadShows(k.result);
        EXPECT_EQ(ending.code, k.code);
        EXPECT_EQ(ending.framesDecide, k.framesDecide);
        EXPECT_EQ(ending.hideProgress, k.hideProgress);
        EXPECT_EQ(ending.status, k.status);
    }
}

TEST(WindowController, AStoresEndNamesItsCauseAndSaysACancelOrARestore) {
    const Cp1251String cancelled = usertext::StoreCancelledStatus();
    const Cp1251String partial = cancelled + '.' + ' ' + usertext::DeviceSettingsIncomplete();
    const Cp1251String restored = cp1251::FromUtf8(storetext::Restored("/b/1.cfg"));
    using O = DeviceStoreOutcome;
    using F = FileOpenFor;
    const struct {
        O outcome;
        LinkResult code;
        bool uploadBegun, ask;
        const char* restoredFrom;
        LinkResult shown;  // the code the cause is named from
        F openFor;
        Cp1251String status;
    } cases[] = {
        {O::Stored, lr::Ok, true, false, "", lr::Ok, F::Writing, {}},
        {O::Stored, lr::Ok, true, false, "/b/1.cfg", lr::Ok, F::Writing, restored},
        {O::Protected, lr::BadArgument, false, false, "", lr::BadArgument, F::Writing, {}},
        {O::NotConnected, lr::NoAnswer, false, false, "", lr::NoAnswer, F::Writing, {}},
        {O::BackupFailed, lr::NoAnswer, false, false, "", lr::NoAnswer, F::Reading, {}},
        {O::BackupFailed, lr::BadArgument, false, true, "", lr::BadArgument, F::Reading, {}},
        {O::UnsupportedVersion, lr::NoAnswer, false, false, "", lr::Ok, F::Writing, {}},
        {O::Broken, lr::Cancelled, false, false, "", lr::Cancelled, F::Writing, cancelled},
        {O::Broken, lr::Cancelled, true, false, "", lr::Cancelled, F::Writing, partial},
        {O::NotConnected, lr::Cancelled, false, false, "", lr::Cancelled, F::Writing, cancelled},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(static_cast<int>(k.outcome) * 10 + k.uploadBegun);
        DeviceStoreResult result;
        result.outcome = k.outcome;
        result.code = k.code;
        result.uploadBegun = k.uploadBegun;
        result.askWithoutBackup = k.ask;
        const StoreEnding ending = WindowController::WhatStoreShows(result, k.restoredFrom);
        EXPECT_EQ(ending.askWithoutBackup, k.ask);
        EXPECT_EQ(ending.code, k.shown);
        EXPECT_EQ(ending.openFor, k.openFor);
        EXPECT_EQ(ending.keepReport, k.outcome == O::Stored);
        EXPECT_EQ(ending.status, k.status);
    }
}

TEST(WindowController, ThePreviewAsksOnlyOnceTheDevicesFileIsReadAndACheckSaysWhatItFound) {
    const struct {
        Status status;
        PreviewStep step;
        LinkResult code;
    } previews[] = {
        {Status(), PreviewStep::Confirm, lr::Ok},
        {Status(Failure::Of(FailureKind::Cancelled)), PreviewStep::Cancelled, lr::Cancelled},
        {Status(LinkFailure(lr::NoAnswer)), PreviewStep::Failed, lr::NoAnswer},
        {Status(Failure::OfFile("/b/12.cfg", 28)), PreviewStep::Failed, lr::Ok},
    };
    for (const auto& k : previews) {
        DeviceCurrentFile current;
        current.status = k.status;
        const PreviewEnding ending = WindowController::WhatPreviewShows(current);
        EXPECT_EQ(ending.step, k.step);
        EXPECT_EQ(ending.code, k.code);
        EXPECT_EQ(ending.status.empty(), k.step != PreviewStep::Cancelled);
    }

    using S = VerificationSummary::State;
    const DeviceInfo old;
    const struct {
        Status status;
        S state;
        size_t offset;
        std::string reason;  // "cause …": the link's cause, asked for
        LinkResult code;
    } checks[] = {
        {Status(), S::Identical, 0, "", lr::Ok},
        {Status(Failure::OfMismatch(40)), S::Differs, 40, "", lr::Ok},
        {Status(LinkFailure(lr::NoAnswer)), S::Failed, 0, "cause 1016", lr::NoAnswer},
        {Status(Failure::Of(FailureKind::Cancelled)), S::Failed, 0,
         cp1251::ToUtf8(usertext::ReadCancelledStatus()), lr::Cancelled},
        {Status(Failure::Of(FailureKind::TooOld)), S::Failed, 0,
         cp1251::ToUtf8(usertext::UnsupportedVersion(old)), lr::Ok},
    };
    for (const auto& k : checks) {
        SCOPED_TRACE(k.reason);
        DeviceVerify verify;
        verify.status = k.status;
        verify.identified = k.code == lr::Ok;
        const VerifyEnding ending = WindowController::WhatVerifyShows(verify, [](LinkResult code) {
            return cp1251::FromUtf8("cause " + std::to_string(code));
        });
        EXPECT_EQ(ending.summary.state, k.state);
        EXPECT_EQ(ending.summary.offset, k.offset);
        EXPECT_EQ(ending.summary.reason, k.reason);
        EXPECT_EQ(ending.code, k.code);
        EXPECT_EQ(ending.keepReport, verify.identified);
        // A check that compared hides its bar; a failed one leaves it where it stopped.
        EXPECT_EQ(ending.hideProgress, k.code == lr::Ok);
    }
}

}  // namespace
