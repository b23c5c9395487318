// What the window says about its commands: it asks before Open or Read replaces a changed list, a
// command starts with the previous command's status gone, a cancelled command says so with the
// bar hidden and the tree and list as they were, a refusal is named with its meaning, a failure
// names the next step, and a missing catalogue leaves the capacity unknown rather than negative.
#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidgetItem>
#include <functional>

#include "app/messages.h"
#include "app/ui/configtreeview.h"
#include "app/ui/exchangelog.h"
#include "app/ui/snvtlistview.h"
#include "app/ui/statuspanel.h"
#include "base/ui/qcp1251.h"
#include "link/vr7prot.h"
#include "tests/appui/support/devicewindowfixture.h"
#include "tests/common/simpeer.h"

namespace {

QStringList ShownCaptions(const SnvtListView* list) {
    QStringList captions;
    for (int r = 0; r < list->rowCount(); ++r) captions << list->Text(r, 0);
    return captions;
}

class CommandStatusTest : public DeviceWindowTest {
  protected:
    // A shown, activated window pointed at the demo device on 127.0.0.1, with the demo folder
    // open (when a catalogue is there to open it with).
    TVR7CfgUpdate& StartWith(SimDevice device, bool catalogue = true) {
        if (catalogue && !QFileInfo::exists(Work() + "/calcbank.xml")) UseDemoCatalogue();
        SimPeer::Start(std::move(device), Transport::Tcp);
        TVR7CfgUpdate& w = ShowWindowAtDevice(12);
        OpenDemoFolder(w);
        EXPECT_EQ(static_cast<int>(w.Controller.ListSource()), 2);
        return w;
    }
    // Lets the window run until a request with this command has reached the device.
    void WaitForRequest(int command) {
        EXPECT_TRUE(QTest::qWaitFor(
            [this, command] {
                for (int c : Commands())
                    if (c == command) return true;
                return false;
            },
            10000));
    }
    // Ends with the window's read failing at entry 20, which leaves the bar and a cause on show.
    void FailARead(TVR7CfgUpdate& w) {
        server->SetFaults({SimFault{SimFaultKind::BadCheck, cmdReadEntry, 20, 0, 5}});
        w.Load1Click();
        FinishDeviceCommand(w);
        server->SetFaults({});
        ASSERT_FALSE(w.ProgressBar->isHidden());
        ASSERT_FALSE(w.StatusPanel->text().isEmpty());
        messages.messages.clear();
    }
};

TEST_F(CommandStatusTest, OpenAndReadAskBeforeDroppingAChangedList) {
    const struct {
        const char* what;
        bool read;    // Read from the device, else Open
        bool answer;  // "Да"
    } cases[] = {
        {"Open, Нет", false, false},
        {"Open, Да", false, true},
        {"Read, Нет", true, false},
        {"Read, Да", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TVR7CfgUpdate& w = StartWith(DemoSimDevice());
        ClickCheckBox(w.ListView1, 0, true);
        w.DelSelected_R_ButtonClick();
        ASSERT_TRUE(w.ListModified());
        const QStringList rows = ShownCaptions(w.ListView1);
        const QStringList tree = ShownTree(w.TreeView1);
        const qsizetype dialogs = shell.folderTitles.size();
        messages.questions.clear();
        messages.answer = c.answer;

        if (c.read) {
            w.Load1Click();
            FinishDeviceCommand(w);
        } else {
            w.Open1Click();
        }

        // Each command asks about what it is about to do.
        EXPECT_EQ(messages.questions, QStringList{FromCp1251(c.read ? usertext::ReadUnsaved()
                                                                    : usertext::OpenUnsaved())});
        if (c.answer) {
            EXPECT_FALSE(w.ListModified());
            EXPECT_EQ(static_cast<int>(w.Controller.ListSource()), c.read ? 1 : 2);
        } else {
            // Nothing was asked of the folder dialog or the device; nothing changed.
            EXPECT_EQ(shell.folderTitles.size(), dialogs);
            EXPECT_TRUE(server->Requests().empty());
            EXPECT_TRUE(w.ListModified());
            EXPECT_EQ(ShownCaptions(w.ListView1), rows);
            EXPECT_EQ(ShownTree(w.TreeView1), tree);
        }
        window.reset();
    }
}

TEST_F(CommandStatusTest, ACancelledReadSaysSoHidesTheBarAndLeavesTreeAndListAsTheyWere) {
    TVR7CfgUpdate& w = StartWith(DemoSimDevice());
    w.ExchangeLog->show();
    const QStringList tree = ShownTree(w.TreeView1);
    const QStringList rows = ShownCaptions(w.ListView1);
    const QString caption = w.Edit1->text();
    // Every entry comes late: the cancel lands within the tree read, which has shown progress.
    server->SetFaults({SimFault{SimFaultKind::Delay, cmdReadEntry, -1, 0, -1, 20}});

    w.Load1Click();
    ASSERT_TRUE(QTest::qWaitFor([&w] { return w.ProgressBar->isVisible(); }, 10000));
    QTest::mouseClick(w.CancelButton, Qt::LeftButton);
    FinishDeviceCommand(w);

    EXPECT_TRUE(w.ProgressBar->isHidden());
    EXPECT_EQ(w.StatusPanel->text(), FromCp1251(usertext::ReadCancelledStatus()));
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_EQ(ShownTree(w.TreeView1), tree);
    EXPECT_EQ(ShownCaptions(w.ListView1), rows);
    EXPECT_EQ(w.Edit1->text(), caption);
    EXPECT_EQ(static_cast<int>(w.Controller.ListSource()), 2);
    ASSERT_FALSE(w.ExchangeLog->Lines().isEmpty());
    EXPECT_FALSE(w.ExchangeLog->Lines().constLast().contains(QStringLiteral("unknown")))
        << w.ExchangeLog->Lines().constLast().toStdString();
}

// Once the upload has begun, Cancel is off and a cancel that came all the same waits for the
// upload's end: the device never keeps part of a file, and the store says it stored.
TEST_F(CommandStatusTest, AStoreCancelledDuringItsUploadIsLetFinish) {
    TVR7CfgUpdate& w = StartWith(DemoSimDevice());
    server->SetFaults({SimFault{SimFaultKind::Delay, cmdWriteBlock, -1, 0, -1, 80}});

    w.Store1Click();
    WaitForRequest(cmdWriteBlock);
    QTest::mouseClick(w.CancelButton, Qt::LeftButton);
    w.CancelDeviceCommand();  // as a click that came before the button was turned off
    FinishDeviceCommand(w);

    EXPECT_TRUE(w.ProgressBar->isHidden());
    EXPECT_EQ(w.StatusPanel->text(), QString());
    EXPECT_EQ(messages.messages, QStringList{FromCp1251(usertext::Stored())});
    std::vector<uint8_t> stored;
    EXPECT_TRUE(server->File("DUXGate.cfg", stored));
}

TEST_F(CommandStatusTest, EachCommandStartsWithoutThePreviousStatusAndSaveSaysWhere) {
    TVR7CfgUpdate& w = StartWith(DemoSimDevice());
    const std::vector<std::pair<const char*, std::function<void()>>> commands = {
        {"Open", [&] { w.Open1Click(); }},
        {"Store",
         [&] {
             w.Store1Click();
             FinishDeviceCommand(w);
         }},
        {"Check all", [&] { w.Panel2_SetAll_Click(); }},
    };
    for (const auto& [what, run] : commands) {
        SCOPED_TRACE(what);
        FailARead(w);
        run();
        EXPECT_TRUE(w.ProgressBar->isHidden());
        EXPECT_EQ(w.StatusPanel->text(), QString());
    }

    FailARead(w);
    shell.saveFile = Work() + "/saved.cfg";
    w.Save1Click();
    EXPECT_TRUE(w.ProgressBar->isHidden());
    EXPECT_EQ(w.StatusPanel->text(), FromCp1251(usertext::SavedTo().before) +
                                         QDir::toNativeSeparators(shell.saveFile) +
                                         FromCp1251(usertext::SavedTo().after));
}

TEST_F(CommandStatusTest, AWriteProtectedDeviceIsNamedARefusalWithItsMeaning) {
    SimDevice device = DemoSimDevice();
    device.writeProtected = true;
    TVR7CfgUpdate& w = StartWith(std::move(device));
    w.Store1Click();
    FinishDeviceCommand(w);
    EXPECT_EQ(w.StatusPanel->text(), FromCp1251(usertext::WriteProtectedCause(12)));
}

TEST_F(CommandStatusTest, ADeviceThatDoesNotAnswerToTheNumberNamesTheNumberAndThePort) {
    TVR7CfgUpdate& w = StartWith(DemoSimDevice());
    w.Controller.SetDeviceNumber(13);  // the device is № 12
    w.Load1Click();
    FinishDeviceCommand(w);
    EXPECT_EQ(messages.messages, QStringList{FromCp1251(usertext::NotConnected() + '\n' +
                                                        usertext::NoAnswerStep(13))});
}

TEST_F(CommandStatusTest, WithoutACatalogueTheCapacityIsUnknownAndTheMessageSaysWhereItGoes) {
    TVR7CfgUpdate& w = StartWith(DemoSimDevice(), false);
    ASSERT_EQ(messages.errors.size(), 1);
    EXPECT_TRUE(messages.errors[0].contains(FromCp1251(usertext::CatalogueWhereWork().before) +
                                            QDir::toNativeSeparators(QDir::currentPath()) + ')'))
        << messages.errors[0].toStdString();
    ASSERT_GT(w.ListView1->rowCount(), 0);
    EXPECT_EQ(w.Edit2->text(), QStringLiteral("SNVT переменных задействовано: %1, ёмкость "
                                              "неизвестна: нет calcbank.xml")
                                   .arg(w.UsedVariables()));
}

}  // namespace
