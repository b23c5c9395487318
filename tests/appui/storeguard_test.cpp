// The window's safeguards of a store against the simulated device over TCP and a pty: the backup
// and the preview (each a setting), the restore from a backup, and their dialogs.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "app/messages.h"
#include "app/ui/statuspanel.h"
#include "app/ui/storedialogs.h"
#include "base/ui/qcp1251.h"
#include "device/backups.h"
#include "device/devicecommands.h"
#include "device/storepreview.h"
#include "link/vr7prot.h"
#include "sim/simresponder.h"
#include "tests/appui/support/devicewindowfixture.h"

namespace {

class StoreGuardTest : public DeviceWindowTest, public ::testing::WithParamInterface<Transport> {
  protected:
    // The window at the device with the demo folder's list; the device holds only the list's
    // first two rows.
    TVR7CfgUpdate& Start() {
        UseDemoCatalogue();
        SimPeer::Start(DemoSimDevice(), GetParam());
        TVR7CfgUpdate& w = ShowWindowAtDevice(12);
        OpenDemoFolder(w);
        EXPECT_GT(w.ListView1->rowCount(), 2);
        const std::string demo = ReadFile(Work() + "/vr7_12/CONFIG/duxgate.cfg");
        const size_t second = demo.find('\n', demo.find('\n') + 1);
        held = demo.substr(0, second + 1);
        server->With([this](SimResponder& s) {
            s.Device().files["duxgate.cfg"].assign(held.begin(), held.end());
            return true;
        });
        server->ClearRequests();
        return w;
    }
    std::string Held() {
        std::vector<uint8_t> bytes;
        if (!server->File("DUXGate.cfg", bytes) && !server->File("duxgate.cfg", bytes))
            return "<none>";
        return std::string(bytes.begin(), bytes.end());
    }
    bool Requested(uint8_t command) {
        for (const auto& frame : server->Requests())
            if (FrameCommand(frame.data()) == command) return true;
        return false;
    }
    std::string Backups() const {
        connection at;
        PointAt(at);
        return DeviceBackupFolder(Program().toStdString() + "/backups", BackupDeviceOf(at, 12));
    }

    std::string held;
};

TEST_P(StoreGuardTest, ThePreviewShowsTheChangesAndOnlyYesStores) {
    TVR7CfgUpdate& w = Start();
    messages.storeAnswer = false;
    w.Store1Click();
    FinishDeviceCommand(w);
    ASSERT_EQ(messages.previews.size(), 1u);
    const StorePreview& asked = messages.previews[0];
    EXPECT_FALSE(asked.Same());
    EXPECT_EQ(asked.added, static_cast<size_t>(w.ListView1->rowCount()) - 2);
    ASSERT_FALSE(asked.lines.empty());
    EXPECT_EQ(asked.lines[0].rfind("добавлена «1q1» в строку 3: ", 0), 0u) << asked.lines[0];
    // "Нет": nothing is uploaded, the device keeps its file; the backup was taken all the same.
    EXPECT_FALSE(Requested(cmdWriteBlock));
    EXPECT_EQ(Held(), held);
    EXPECT_EQ(w.StatusPanel->text(), QString::fromUtf8(storetext::StoreDeclined()));
    ASSERT_FALSE(asked.backupPath.empty());
    EXPECT_EQ(ReadFile(QString::fromStdString(asked.backupPath)), held);

    messages.storeAnswer = true;
    w.Store1Click();
    FinishDeviceCommand(w);
    ASSERT_EQ(messages.previews.size(), 2u);
    EXPECT_EQ(Held(), ReadFile(Work() + "/DUXGate.cfg"));
    EXPECT_EQ(messages.messages.back(), FromCp1251(usertext::Stored()));

    // The device now holds the list: the preview says so, and "Нет" stores nothing.
    messages.storeAnswer = false;
    server->ClearRequests();
    w.Store1Click();
    FinishDeviceCommand(w);
    ASSERT_EQ(messages.previews.size(), 3u);
    EXPECT_TRUE(messages.previews[2].Same());
    EXPECT_FALSE(Requested(cmdWriteBlock));
}

TEST_P(StoreGuardTest, SwitchedOffTheStoreIsTheStoreAlone) {
    TVR7CfgUpdate& w = Start();
    w.Backup1->setChecked(false);
    w.Preview1->setChecked(false);
    w.Store1Click();
    FinishDeviceCommand(w);
    EXPECT_TRUE(messages.previews.empty());
    EXPECT_FALSE(Requested(cmdReadBlock));
    EXPECT_FALSE(std::filesystem::exists(Backups()));
    EXPECT_EQ(Held(), ReadFile(Work() + "/DUXGate.cfg"));
}

TEST_P(StoreGuardTest, ARestoreStoresTheChosenBackupAndLeavesTheList) {
    TVR7CfgUpdate& w = Start();
    w.Preview1->setChecked(false);
    w.Store1Click();  // keeps the device's two rows as a backup
    FinishDeviceCommand(w);
    ASSERT_NE(Held(), held);
    const int rows = w.ListView1->rowCount();

    messages.chosenBackup = 0;
    w.Restore1Click();
    FinishDeviceCommand(w);
    ASSERT_EQ(messages.backupChoices.size(), 1u);
    ASSERT_EQ(messages.backupChoices[0].size(), 1u);
    EXPECT_EQ(messages.backupChoices[0][0].variables, 2u);
    EXPECT_EQ(Held(), held);
    EXPECT_EQ(w.ListView1->rowCount(), rows);
    EXPECT_EQ(w.StatusPanel->text(),
              QString::fromStdString(storetext::Restored(messages.backupChoices[0][0].entry.path)));
    // The restore kept what it replaced, too.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Backups()),
                            std::filesystem::directory_iterator()),
              2);

    // "Отмена" stores nothing.
    messages.chosenBackup = -1;
    server->ClearRequests();
    w.Restore1Click();
    FinishDeviceCommand(w);
    EXPECT_TRUE(server->Requests().empty());
}

// A backup the device's file could not be downloaded for is a question, "Нет" by default: "Нет"
// leaves the device as it was, "Да" stores without a backup.
TEST_P(StoreGuardTest, ABackupThatFailedAsksWhetherToStoreWithoutOne) {
    TVR7CfgUpdate& w = Start();
    w.Preview1->setChecked(false);
    for (const bool yes : {false, true}) {
        SCOPED_TRACE(yes ? "yes" : "no");
        server->SetFaults({SimFault{SimFaultKind::Refuse, cmdOpenFile, -1, 0, 1, 0x10}});
        messages.answer = yes;
        messages.questions.clear();
        messages.messages.clear();
        w.Store1Click();
        FinishDeviceCommand(w);
        ASSERT_EQ(messages.questions.size(), 1u);
        EXPECT_EQ(messages.questions[0],
                  FromCp1251(usertext::StoreWithoutBackupQuestion(usertext::RefusalCause(12, 16))));
        EXPECT_EQ(Held(), yes ? ReadFile(Work() + "/DUXGate.cfg") : held);
        if (!yes) {
            EXPECT_TRUE(messages.messages.empty());
            EXPECT_EQ(w.StatusPanel->text(), QString::fromUtf8(storetext::StoreDeclined()));
        } else {
            EXPECT_EQ(messages.messages.back(), FromCp1251(usertext::Stored()));
        }
    }
    EXPECT_FALSE(std::filesystem::exists(Backups()));
}

INSTANTIATE_TEST_SUITE_P(Transports, StoreGuardTest,
                         ::testing::Values(Transport::Tcp, Transport::Pty),
                         [](const auto& info) { return TransportName(info.param); });

TEST(StoreDialogs, ThePreviewAsksWithNoAsItsDefault) {
    TestApplication();
    StorePreview preview;
    preview.device = 12;
    preview.deviceHadFile = true;
    preview.added = 1;
    preview.lines = {"добавлена «1q1» в строку 3: Ref 40005"};
    preview.backupPath = "/b/12/2026-12-08_102030.cfg";
    StorePreviewDialog dialog(preview);
    EXPECT_EQ(dialog.Headline->text(),
              QStringLiteral("Сохранение изменит настройки в VR-7 № 12: добавлено 1, удалено 0, "
                             "перемещено 0, изменено 0.\nЗаписать список в VR-7?"));
    EXPECT_EQ(dialog.Changes->toPlainText(),
              QStringLiteral("добавлена «1q1» в строку 3: Ref 40005\n"));
    EXPECT_EQ(dialog.Backup->text(),
              QStringLiteral("Резервная копия: /b/12/2026-12-08_102030.cfg"));
    EXPECT_TRUE(dialog.NoButton->isDefault());
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST(StoreDialogs, TheRestoreDialogShowsTheChosenBackupsList) {
    TestApplication();
    QTemporaryDir dir;
    const std::string good = dir.path().toStdString() + "/good.cfg";
    const std::string bad = dir.path().toStdString() + "/bad.cfg";
    std::ofstream(good) << "F 40001 105 1t1 C\r\nF 40003 105 1t2 C\r\n";
    std::ofstream(bad) << "F 40001 105\r\n";
    std::vector<BackupSummary> backups(2);
    backups[0].device.number = 12;
    backups[0].entry.path = good;
    backups[0].entry.taken = "2026-12-08 10:20:30";
    backups[0].variables = 2;
    backups[1].device.number = 12;
    backups[1].entry.path = bad;
    backups[1].problem = "broken";
    RestoreDialog dialog(backups);
    // The newest is chosen first; it is no list, so it cannot be stored.
    EXPECT_EQ(dialog.Rows->rowCount(), 1);
    EXPECT_FALSE(dialog.RestoreButton->isEnabled());
    EXPECT_FALSE(dialog.Chosen().has_value());
    dialog.Select(0);
    EXPECT_EQ(dialog.Rows->rowCount(), 2);
    EXPECT_EQ(dialog.Rows->item(1, 0)->text(), QStringLiteral("1t2"));
    EXPECT_TRUE(dialog.RestoreButton->isEnabled());
    ASSERT_TRUE(dialog.Chosen().has_value());
    EXPECT_EQ(dialog.Chosen()->entry.path, good);
}

}  // namespace
