// Device commands run on a worker thread: the window stays live, every command that could start
// another is disabled meanwhile and nothing clicked then is replayed; Cancel stops a read or a
// store between two exchanges, and closing the window cancels the command and then closes.
#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <algorithm>

#include "app/messages.h"
#include "app/ui/configtreeview.h"
#include "app/ui/progresspacing.h"
#include "app/ui/snvtlistview.h"
#include "base/ui/qcp1251.h"
#include "tests/appui/support/devicewindowfixture.h"
#include "tests/common/simpeer.h"

namespace {

class WorkerTest : public DeviceWindowTest {
  protected:
    // The demo folder open in a shown window pointed at a device whose every answer to `command`
    // comes delayMs late.
    TVR7CfgUpdate& StartSlow(int command, int delayMs) {
        UseDemoCatalogue();
        SimDevice device = DemoSimDevice();
        SimPeer::Start(std::move(device), Transport::Tcp);
        server->SetFaults({SimFault{SimFaultKind::Delay, command, -1, 0, -1, delayMs}});
        TVR7CfgUpdate& w = ShowWindowAtDevice(12);
        OpenDemoFolder(w);
        shell.folder.clear();
        EXPECT_EQ(static_cast<int>(w.Controller.ListSource()), 2);
        return w;
    }
    // Lets the window run until the read has shown progress.
    static void WaitForProgress(TVR7CfgUpdate& w) {
        EXPECT_TRUE(QTest::qWaitFor([&w] { return w.ProgressBar->isVisible(); }, 10000));
    }
    int Count(int command) const {
        const std::vector<int> commands = Commands();
        return static_cast<int>(std::count(commands.begin(), commands.end(), command));
    }
    void ClickTool(QToolBar* bar, QAction* action) {
        QWidget* button = bar->widgetForAction(action);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
    }
};

TEST_F(WorkerTest, ACancelledReadDisabledEverythingReplaysNothingAndLeavesTheListAsItWas) {
    TVR7CfgUpdate& w = StartSlow(cmdReadEntry, 20);
    const int rows = w.ListView1->rowCount();
    const QString caption = w.Edit1->text();
    const QString counters = w.Edit2->text();

    w.Load1Click();
    WaitForProgress(w);
    ASSERT_TRUE(w.DeviceCommandRunning());
    for (QAction* a : {w.Open1, w.Load1, w.Store1, w.Save1, w.ExportList1, w.Port1, w.ClearAll1,
                       w.SetAll1, w.DelSelected1})
        EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
    EXPECT_FALSE(w.TreeView1->isEnabled());
    EXPECT_FALSE(w.ListView1->isEnabled());
    EXPECT_TRUE(w.CancelButton->isVisible());

    // What a user tries meanwhile: another read, open, store, save.
    ClickTool(w.LeftToolBar, w.Load1);
    ClickTool(w.LeftToolBar, w.Store1);
    QTest::keyClick(&w, Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
    QTest::mouseClick(w.CancelButton, Qt::LeftButton);
    FinishDeviceCommand(w);

    // Cancelled as a failed read ends, without its message; one partial
    // tree, and the commands are back.
    EXPECT_TRUE(messages.messages.isEmpty()) << messages.messages.join("; ").toStdString();
    EXPECT_EQ(Count(cmdReadHeader), 1) << ::testing::PrintToString(Commands());
    EXPECT_LT(Count(cmdReadEntry), 26);
    EXPECT_EQ(Count(cmdOpenFile), 0);
    EXPECT_EQ(w.ListView1->rowCount(), rows);
    EXPECT_EQ(w.Edit1->text(), caption);
    EXPECT_EQ(w.Edit2->text(), counters);
    EXPECT_EQ(static_cast<int>(w.Controller.ListSource()), 2);
    EXPECT_EQ(w.Connection.Link(), nullptr);
    EXPECT_TRUE(w.Load1->isEnabled());
    EXPECT_TRUE(w.ListView1->isEnabled());
    EXPECT_FALSE(w.CancelButton->isVisible());

    // Nothing clicked during the read runs afterwards: a replayed click would be an event still
    // queued, and a device command it started would be running once the queue is handled.
    const size_t requests = server->Requests().size();
    HandleQueuedEvents();
    EXPECT_FALSE(w.DeviceCommandRunning());
    EXPECT_EQ(server->Requests().size(), requests);
    EXPECT_EQ(shell.folderTitles.size(), 1);  // only the Open before the read
    EXPECT_TRUE(shell.saveRequests.empty());

    // A read that is let run is whole again.
    server->SetFaults({});
    w.Load1Click();
    FinishDeviceCommand(w);
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_EQ(static_cast<int>(w.Controller.ListSource()), 1);
}

TEST_F(WorkerTest, ACancelledStoreSaysItWasCancelledAndStoresNothing) {
    TVR7CfgUpdate& w = StartSlow(-1, 30);
    w.Store1Click();
    ASSERT_TRUE(w.DeviceCommandRunning());
    // The first request is under way (its answer 30 ms late) when Cancel is clicked.
    ASSERT_TRUE(QTest::qWaitFor([this] { return !server->Requests().empty(); }, 10000));
    QTest::mouseClick(w.CancelButton, Qt::LeftButton);
    FinishDeviceCommand(w);
    EXPECT_EQ(messages.messages, QStringList{FromCp1251(usertext::StoreCancelled())});
    std::vector<uint8_t> stored;
    EXPECT_FALSE(server->File("DUXGate.cfg", stored));
    EXPECT_EQ(Count(cmdWriteBlock), 0);
    EXPECT_EQ(w.Connection.Link(), nullptr);
}

TEST_F(WorkerTest, ClosingDuringAReadCancelsItAndThenCloses) {
    const QString ini = Program() + "/Vr7LonCfgMaker.ini";
    TVR7CfgUpdate& w = StartSlow(cmdReadEntry, 20);
    w.Load1Click();
    WaitForProgress(w);
    EXPECT_FALSE(w.close());  // not yet: the read is cancelled first
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(ReadFile(ini).empty());
    FinishDeviceCommand(w);
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(ReadFile(ini).empty());
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_LT(Count(cmdReadEntry), 26);
}

}  // namespace
