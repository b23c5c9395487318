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
    c.ListSaved();
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

}  // namespace
