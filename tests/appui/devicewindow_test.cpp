// The window's device commands against the simulated device, over TCP on 127.0.0.1 and over a
// pty: what the window shows and keeps after a read or a store, the messages it shows (and no
// others), the progress bar while the read blocks, and the settings kept across a restart.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidgetItem>
#include <algorithm>
#include <chrono>
#include <memory>

#include "app/messages.h"
#include "app/ui/configtreeview.h"
#include "app/ui/portchoices.h"
#include "app/ui/progresspacing.h"
#include "app/ui/snvtlistview.h"
#include "app/ui/statuspanel.h"
#include "base/inifile.h"
#include "base/ui/qcp1251.h"
#include "link/ui/ipedit.h"
#include "link/ui/portcombo.h"
#include "link/ui/setportdlg.h"
#include "link/vr7prot.h"
#include "sim/simfolder.h"
#include "sim/simserver.h"
#include "tests/appui/support/devicewindowfixture.h"
#include "tests/common/simpeer.h"

namespace {

// Each failure's message ends with the next step on a line of its own.
const QString kNotConnected =
    FromCp1251(usertext::NotConnected() + '\n' + usertext::NoAnswerStep(12));
const QString kReadError = FromCp1251(usertext::ReadError() + '\n' + usertext::ReadAgainStep());
const QString kStored = FromCp1251(usertext::Stored());
const QString kProtected = FromCp1251(usertext::WriteProtected());
const QString kStoreBroken =
    FromCp1251(usertext::StoreBroken() + '\n' + usertext::DeviceSettingsIncomplete());

// The demo folder as a device: the same systems, variables and duxgate.cfg.
SimDevice DemoDevice() {
    return DemoSimDevice();
}

// Every text of every row of the list on the screen, with its check state.
QStringList ShownRows(const SnvtListView* list) {
    QStringList rows;
    for (int r = 0; r < list->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < list->columnCount(); ++c) {
            cells << list->Text(r, c);
        }
        rows << cells.join(QLatin1Char('|')) + (list->IsChecked(r) ? "+" : "-");
    }
    return rows;
}

int ShownLeaves(const ConfigTreeView* tree) {
    int leaves = 0;
    for (const QString& line : ShownTree(tree)) leaves += line.startsWith("  ") ? 1 : 0;
    return leaves;
}

// What the progress bar looks like each time it is painted: the window paints it whenever its
// position changes.
class ProgressPaints : public QObject {
  public:
    ProgressPaints(TVR7CfgUpdate& window) : window_(window) {
        window_.ProgressBar->installEventFilter(this);
    }
    ~ProgressPaints() override { window_.ProgressBar->removeEventFilter(this); }

    struct Paint {
        int value;
        QRect geometry;
        QString status;
        bool cancel;
    };
    std::vector<Paint> paints;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_.ProgressBar && event->type() == QEvent::Paint) {
            paints.push_back({window_.ProgressBar->value(), window_.ProgressBar->geometry(),
                              window_.StatusPanel->text(), window_.CancelButton->isEnabled()});
        }
        return false;
    }

  private:
    TVR7CfgUpdate& window_;
};

class DeviceWindowTest : public WindowTest,
                         public ::testing::WithParamInterface<Transport>,
                         protected SimPeer {
  protected:
    // A shown window that has been activated (so the settings are taken) and then pointed at the
    // simulator: nothing ever reaches for the default port or address.
    TVR7CfgUpdate& StartWith(SimDevice device, uint32_t deviceNumber = 12) {
        UseDemoCatalogue();
        SimPeer::Start(std::move(device), GetParam());
        TVR7CfgUpdate& w = CreateWindow();
        Activate(w);
        PointAtSimulator(w.Connection);
        w.Controller.SetDeviceNumber(deviceNumber);
        w.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
        return w;
    }
    static void Activate(TVR7CfgUpdate& w) {
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(&w, &activate);
    }
    void PointAtSimulator(connection& conn) const { PointAt(conn); }
    QString PortShown() const {
        return GetParam() == Transport::Tcp ? QStringLiteral("TCP/IP")
                                            : QString::fromStdString(server->PtyPath());
    }
    // The caption over the tree once the device with this number was read.
    QString Caption(uint32_t number) const {
        return FromCp1251(usertext::DeviceConfigurationCaption(PortShown().toStdString(), number));
    }
    // The demo folder opened from disk: the configuration on show before a device command.
    void OpenDemoFolder() {
        shell.folder = Work() + "/vr7_12";
        CopyTree(DemoFolder(), shell.folder);
        window->Open1Click();
        ASSERT_EQ(static_cast<int>(window->Controller.ListSource()), 2);
        ASSERT_GT(window->ListView1->rowCount(), 0);
    }
};

TEST_P(DeviceWindowTest, ReadShowsWhatOpeningTheSameConfigurationFromDiskShows) {
    TVR7CfgUpdate& w = StartWith(DemoDevice());
    OpenDemoFolder();
    const QStringList folderTree = ShownTree(w.TreeView1);
    const QStringList folderRows = ShownRows(w.ListView1);
    const QString folderCounters = w.Edit2->text();
    ClickCheckBox(w.ListView1, 0, true);  // the device's list comes unchecked

    ProgressPaints progress(w);
    w.Load1Click();
    FinishDeviceCommand(w);

    EXPECT_TRUE(messages.messages.isEmpty()) << messages.messages.join("; ").toStdString();
    EXPECT_TRUE(messages.errors.isEmpty());
    EXPECT_EQ(w.Edit1->text(), Caption(12));
    EXPECT_EQ(static_cast<int>(w.Controller.ListSource()), 1);
    EXPECT_EQ(w.Controller.DeviceNumber(), 12u);

    // The same tree, expanded at the root; only a folder's system captions carry ": " before
    // the name.
    ASSERT_EQ(w.TreeView1->topLevelItemCount(), 1);
    EXPECT_EQ(w.TreeView1->topLevelItem(0)->text(0), QStringLiteral("VR7 №12"));
    EXPECT_TRUE(w.TreeView1->topLevelItem(0)->isExpanded());
    EXPECT_EQ(w.TreeView1->topLevelItem(0)->child(0)->text(0),
              QStringLiteral("Система №1 Котельная"));
    EXPECT_EQ(ShownTree(w.TreeView1), QStringList(folderTree)
                                          .replaceInStrings(QStringLiteral("№1 : "), "№1 ")
                                          .replaceInStrings(QStringLiteral("№2 : "), "№2 ")
                                          .replaceInStrings(QStringLiteral("№3 : "), "№3 "));
    EXPECT_EQ(ShownLeaves(w.TreeView1), 26);
    EXPECT_EQ(ShownRows(w.ListView1), folderRows);
    EXPECT_EQ(w.Edit2->text(), folderCounters);
    EXPECT_EQ(ReadFile("duxgate.cfg"), ReadFile(DemoFolder() + "/CONFIG/duxgate.cfg"));

    // The bar was painted moving, in the status bar's first panel; at the end it is hidden again.
    ASSERT_GE(progress.paints.size(), 3u);
    EXPECT_TRUE(std::is_sorted(progress.paints.begin(), progress.paints.end(),
                               [](const auto& a, const auto& b) { return a.value < b.value; }));
    EXPECT_EQ(progress.paints.back().value, w.ProgressBar->maximum());
    for (const auto& paint : progress.paints) {
        EXPECT_EQ(paint.geometry.width(), w.HintPanel->width());
        EXPECT_GT(paint.geometry.height(), 0);
    }
    EXPECT_TRUE(w.ProgressBar->isHidden());
    EXPECT_EQ(w.Connection.Link(), nullptr);  // the link is open only while a command runs
    EXPECT_TRUE(w.close());
}

TEST_P(DeviceWindowTest, TheBarIsPaintedAboutThirtyTimesASecondAtMost) {
    // 400 entries, each answered a millisecond late: the bar's position changes a hundred times
    // in a read of half a second or more.
    SimDevice device = DemoDevice();
    for (int i = 0; i < 400; ++i)
        device.entries.push_back(SimCalcEntry(1, "v" + std::to_string(i)));
    TVR7CfgUpdate& w = StartWith(std::move(device));
    server->SetFaults({SimFault{SimFaultKind::Delay, cmdReadEntry, -1, 0, -1, 1}});

    ProgressPaints progress(w);
    const auto start = std::chrono::steady_clock::now();
    w.Load1Click();
    FinishDeviceCommand(w);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();

    // The window moves the bar at most once an interval of its own clock, plus the first
    // position and the last one the end of the command shows at once. A busy machine makes the
    // read longer, never the moves more frequent; the bar painted again where it stands (an
    // expose, an update after a repaint) is no move.
    ASSERT_GE(ms, 400);
    size_t moves = 0;
    for (size_t i = 0; i < progress.paints.size(); ++i)
        if (i == 0 || progress.paints[i].value != progress.paints[i - 1].value) ++moves;
    EXPECT_LE(moves, static_cast<size_t>(ms / ProgressPacing::kInterval.count() + 3))
        << ms << " ms";
    ASSERT_GE(progress.paints.size(), 3u);
    EXPECT_TRUE(std::is_sorted(progress.paints.begin(), progress.paints.end(),
                               [](const auto& a, const auto& b) { return a.value < b.value; }));
    EXPECT_EQ(progress.paints.back().value, w.ProgressBar->maximum());
    EXPECT_TRUE(w.ProgressBar->isHidden());
}

TEST_P(DeviceWindowTest, DeviceNumberZeroTakesTheNumberOfTheDeviceThatAnswers) {
    TVR7CfgUpdate& w = StartWith(DemoDevice(), 0);
    w.Load1Click();
    FinishDeviceCommand(w);
    EXPECT_TRUE(messages.messages.isEmpty());
    const auto requests = server->Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(FrameAddress(requests.front().data()), AnyDeviceAddress);
    EXPECT_EQ(FrameAddress(requests.back().data()), 12u);
    EXPECT_EQ(w.Controller.DeviceNumber(), 12u);
    EXPECT_EQ(w.Edit1->text(), Caption(12));
    ASSERT_TRUE(w.close());
    EXPECT_EQ(ini::ReadString((Program() + "/Vr7LonCfgMaker.ini").toStdString(), "CONNECTION",
                              "dev_nom", ""),
              "12");
}

TEST_P(DeviceWindowTest, AnOldFirmwareGetsTheVersionMessageAndNothingElse) {
    SimDevice device = DemoDevice();
    device.versionMajor = 2;
    device.versionMinor = 5;
    device.versionBuild = 31;
    TVR7CfgUpdate& w = StartWith(std::move(device));
    OpenDemoFolder();
    const QStringList tree = ShownTree(w.TreeView1);
    const QStringList rows = ShownRows(w.ListView1);
    const QString caption = w.Edit1->text();

    w.Load1Click();

    FinishDeviceCommand(w);
    DeviceInfo old;
    old.Bytes[2] = 31;  // the build, little-endian
    old.Bytes[4] = 5;
    old.Bytes[5] = 2;
    const QString expected =
        FromCp1251(usertext::UnsupportedVersion(old) + '\n' + usertext::UpdateFirmwareStep());
    EXPECT_EQ(messages.messages, QStringList{expected});
    EXPECT_EQ(ShownTree(w.TreeView1), tree);
    EXPECT_EQ(ShownRows(w.ListView1), rows);
    EXPECT_EQ(w.Edit1->text(), caption);
    EXPECT_EQ(static_cast<int>(w.Controller.ListSource()), 2);

    messages.messages.clear();
    w.Store1Click();
    FinishDeviceCommand(w);
    EXPECT_EQ(messages.messages, QStringList{expected});
    EXPECT_EQ(Commands(), (std::vector<int>{cmdIdentify, cmdIdentify}));
}

TEST_P(DeviceWindowTest, ADeviceWithoutASettingsFileShowsItsTreeAndAnEmptyList) {
    SimDevice device = DemoDevice();
    device.files.clear();
    TVR7CfgUpdate& w = StartWith(std::move(device));
    OpenDemoFolder();

    w.Load1Click();

    FinishDeviceCommand(w);
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_EQ(ShownLeaves(w.TreeView1), 26);
    EXPECT_EQ(w.ListView1->rowCount(), 0);
    EXPECT_EQ(w.UsedVariables(), 0u);
    EXPECT_EQ(static_cast<int>(w.Controller.ListSource()), 1);
    EXPECT_EQ(w.Edit1->text(), Caption(12));
}

TEST_P(DeviceWindowTest, AnEntryThatFailsFiveTimesLeavesThePartialTreeAndTheRestAsItWas) {
    TVR7CfgUpdate& w = StartWith(DemoDevice());
    OpenDemoFolder();
    const QStringList rows = ShownRows(w.ListView1);
    const QString caption = w.Edit1->text();
    // A bad check byte is never repeated within a call, so each of the five calls fails at once.
    server->SetFaults({SimFault{SimFaultKind::BadCheck, cmdReadEntry, 20, 0, 5}});

    w.Load1Click();

    FinishDeviceCommand(w);
    EXPECT_EQ(messages.messages, QStringList{kReadError});
    ASSERT_EQ(w.TreeView1->topLevelItemCount(), 1);
    EXPECT_EQ(w.TreeView1->topLevelItem(0)->text(0), QStringLiteral("VR7 №12"));
    EXPECT_FALSE(w.TreeView1->topLevelItem(0)->isExpanded());
    const int leaves = ShownLeaves(w.TreeView1);
    EXPECT_GT(leaves, 0);
    EXPECT_LT(leaves, 26);
    EXPECT_EQ(ShownRows(w.ListView1), rows);
    EXPECT_EQ(w.Edit1->text(), caption);
    EXPECT_EQ(static_cast<int>(w.Controller.ListSource()), 2);
    // The bar keeps showing how far the read came.
    EXPECT_FALSE(w.ProgressBar->isHidden());
    EXPECT_GT(w.ProgressBar->value(), 0);
    EXPECT_LT(w.ProgressBar->value(), w.ProgressBar->maximum());

    // The tree shown is the one the window works with.
    EXPECT_EQ(ConfigTreeView::NodeOf(w.TreeView1->topLevelItem(0)), w.Tree.FirstRoot());
}

TEST_P(DeviceWindowTest, StoreUploadsWhatSaveToDiskWritesAndSaysSo) {
    TVR7CfgUpdate& w = StartWith(DemoDevice());
    OpenDemoFolder();
    w.Store1Click();
    FinishDeviceCommand(w);
    EXPECT_EQ(messages.messages, QStringList{kStored});

    shell.saveFile = Work() + "/saved.cfg";
    w.Save1Click();
    const std::string saved = ReadFile(shell.saveFile);
    ASSERT_FALSE(saved.empty());
    std::vector<uint8_t> stored;
    ASSERT_TRUE(server->File("DUXGate.cfg", stored));  // the device's name, in this letter case
    EXPECT_EQ(std::string(stored.begin(), stored.end()), saved);
    EXPECT_EQ(static_cast<int>(w.Controller.ListSource()), 2);  // a store changes nothing on show
    EXPECT_EQ(w.Connection.Link(), nullptr);
}

// The preview's download and the upload are two steps of one bar, each named in the status
// panel; once the upload has begun, Cancel is off.
TEST_P(DeviceWindowTest, AStoreShowsItsTwoStepsOnOneBar) {
    TVR7CfgUpdate& w = StartWith(DemoDevice());
    OpenDemoFolder();
    ProgressPaints paints(w);
    w.Store1Click();
    FinishDeviceCommand(w);
    EXPECT_EQ(messages.messages, QStringList{kStored});
    using usertext::StoreStepKind;
    const QString steps[] = {FromCp1251(usertext::StoreStepStatus(StoreStepKind::Download, 0, 2)),
                             FromCp1251(usertext::StoreStepStatus(StoreStepKind::Upload, 1, 2))};
    int seen[2] = {0, 0};  // paints of each step
    for (const auto& p : paints.paints) {
        if (p.status.isEmpty()) continue;  // the store has ended, its text gone before the bar
        const bool upload = p.status == steps[1];
        ++seen[upload ? 1 : 0];
        EXPECT_EQ(p.status, steps[upload ? 1 : 0]);
        EXPECT_EQ(upload ? p.value >= kProgressBarMax / 2 : p.value <= kProgressBarMax / 2, true);
        EXPECT_EQ(p.cancel, !upload) << p.value;
    }
    EXPECT_GT(seen[1], 0);  // its last position is painted at once; a short download's may not be
    EXPECT_EQ(paints.paints.back().value, kProgressBarMax);
    EXPECT_TRUE(w.ProgressBar->isHidden() && w.StatusPanel->text().isEmpty());
}

TEST_P(DeviceWindowTest, AProtectedDeviceGetsOnlyTheProtectionMessage) {
    SimDevice device = DemoDevice();
    device.writeProtected = true;
    TVR7CfgUpdate& w = StartWith(std::move(device));
    OpenDemoFolder();
    w.Store1Click();
    FinishDeviceCommand(w);
    EXPECT_EQ(messages.messages, QStringList{kProtected});
    std::vector<uint8_t> stored;
    EXPECT_FALSE(server->File("DUXGate.cfg", stored));
}

TEST_P(DeviceWindowTest, ABrokenUploadGetsOnlyTheInterruptedMessage) {
    TVR7CfgUpdate& w = StartWith(DemoDevice());
    OpenDemoFolder();
    server->SetFaults({SimFault{SimFaultKind::NoAck, cmdWriteBlock, -1, 0, 1, 0}});
    w.Store1Click();
    FinishDeviceCommand(w);
    EXPECT_EQ(messages.messages, QStringList{kStoreBroken});
}

INSTANTIATE_TEST_SUITE_P(Transports, DeviceWindowTest,
                         ::testing::Values(Transport::Tcp, Transport::Pty),
                         [](const auto& info) { return TransportName(info.param); });

// What needs one transport only. Over TCP a silent device costs one identification time-out,
// without repeats.
class TcpWindowTest : public DeviceWindowTest {
  protected:
    // Runs the port dialog from the menu command, filling it as a user would and closing it with
    // OK or Cancel.
    void EditPortSettings(TVR7CfgUpdate& w, const QString& deviceNumber, bool ok);
};

TEST_P(TcpWindowTest, StoringAnEmptyListOnlySaysSoAndSendsNothing) {
    TVR7CfgUpdate& w = StartWith(DemoDevice());
    w.Store1Click();
    FinishDeviceCommand(w);
    EXPECT_EQ(messages.messages, QStringList{FromCp1251(usertext::EmptyList())});
    EXPECT_TRUE(server->Requests().empty());
}

TEST_P(TcpWindowTest, ASilentDeviceIsNotConnectedAndNothingChanges) {
    TVR7CfgUpdate& w = StartWith(DemoDevice());
    OpenDemoFolder();
    const QStringList tree = ShownTree(w.TreeView1);
    const QStringList rows = ShownRows(w.ListView1);
    server->SetFaults({SimFault{SimFaultKind::Silent}});

    w.Load1Click();
    FinishDeviceCommand(w);
    // The read gave up within the identification's attempts and asked nothing else.
    const std::vector<int> commands = Commands();
    EXPECT_FALSE(commands.empty());
    EXPECT_LE(commands.size(), w.Connection.Timings.identify.attempts);
    EXPECT_EQ(std::count(commands.begin(), commands.end(), cmdIdentify),
              static_cast<std::ptrdiff_t>(commands.size()));
    EXPECT_EQ(messages.messages, QStringList{kNotConnected});
    EXPECT_EQ(ShownTree(w.TreeView1), tree);
    EXPECT_EQ(ShownRows(w.ListView1), rows);
    EXPECT_EQ(static_cast<int>(w.Controller.ListSource()), 2);
    EXPECT_EQ(w.Connection.Link(), nullptr);
}

void TcpWindowTest::EditPortSettings(TVR7CfgUpdate& w, const QString& deviceNumber, bool ok) {
    QPoint placed;
    QTimer::singleShot(0, &w.PortDialog(), [&, this] {
        TSetPortDlg& d = w.PortDialog();
        placed = d.pos();
        d.CB_Port->setEditText(QStringLiteral("TCP/IP"));
        d.IPEdit->SetIP(QStringLiteral("127.0.0.1"));
        d.E_TCPIP_Port->setText(QString::number(server->TcpPort()));
        d.CB_Speed->setEditText(QStringLiteral("19200"));
        d.E_DevNom->setText(deviceNumber);
        (ok ? d.OKBtn : d.CancelBtn)->click();
    });
    QTimer::singleShot(5000, &w.PortDialog(), &QDialog::reject);  // never hang the run
    const QPoint cursor = QCursor::pos();
    w.Port1Click();
    EXPECT_EQ(placed, cursor);
}

TEST_P(TcpWindowTest, CancelKeepsThePortAndTheDeviceNumber) {
    TVR7CfgUpdate& w = StartWith(DemoDevice(), 5);
    w.Connection.PortName = "/dev/null";  // not to be used: the test never reads here
    EditPortSettings(w, QStringLiteral("12"), false);
    EXPECT_EQ(w.Controller.DeviceNumber(), 5u);
    EXPECT_EQ(w.Connection.PortName, "/dev/null");
    EditPortSettings(w, QStringLiteral(""), false);
    EXPECT_EQ(w.Controller.DeviceNumber(), 5u);
    EXPECT_TRUE(messages.messages.isEmpty());
    // OK takes the number from the field.
    EditPortSettings(w, QStringLiteral("12"), true);
    EXPECT_EQ(w.Controller.DeviceNumber(), 12u);
}

// The settings the port dialog took, and the device number, are there again after a restart.
TEST_P(TcpWindowTest, PortSettingsAndDeviceNumberSurviveARestart) {
    TVR7CfgUpdate& first = StartWith(DemoDevice(), 1);
    EditPortSettings(first, QStringLiteral("0"), true);
    EXPECT_EQ(first.Controller.DeviceNumber(), 0u);
    EXPECT_EQ(first.Connection.PortName, "TCP/IP");
    first.Load1Click();  // adopts the device's number
    FinishDeviceCommand(first);
    EXPECT_EQ(first.Edit1->text(), Caption(12));
    ASSERT_TRUE(first.close());

    // The same program folder, a new window: everything comes back from its ini file.
    TVR7CfgUpdate& second = CreateWindow();
    EXPECT_EQ(second.Controller.DeviceNumber(), 12u);
    Activate(second);
    EXPECT_EQ(second.Connection.PortName, "TCP/IP");
    EXPECT_EQ(second.Connection.IpAddress, "127.0.0.1");
    EXPECT_EQ(second.Connection.TcpIpPort, std::to_string(server->TcpPort()));
    EXPECT_EQ(second.Connection.Speed, 19200u);
    second.Load1Click();
    FinishDeviceCommand(second);
    EXPECT_TRUE(messages.messages.isEmpty()) << messages.messages.join("; ").toStdString();
    EXPECT_EQ(second.Edit1->text(), Caption(12));
    EXPECT_EQ(ShownLeaves(second.TreeView1), 26);
}

INSTANTIATE_TEST_SUITE_P(Transports, TcpWindowTest, ::testing::Values(Transport::Tcp),
                         [](const auto&) { return "Tcp"; });

// The window's port list: each port, then its stable name, each with its own tool tip.
TEST(PortList, AStableNameFollowsItsPortWithItsOwnToolTip) {
    const SerialPortInfo uart{"/dev/ttyS0", "", "serial8250", "", "", "", ""};
    const SerialPortInfo ftdi{"/dev/ttyUSB0",
                              "/dev/serial/by-id/usb-FTDI-if00-port0",
                              "ftdi_sio",
                              "FTDI",
                              "FT232R USB UART",
                              "0403:6001",
                              ""};
    const QList<PortCombo::Port> items = DescribedPorts({uart, ftdi});
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0].name, "/dev/ttyS0");
    EXPECT_EQ(items[1].name, "/dev/ttyUSB0");
    EXPECT_EQ(items[2].name, "/dev/serial/by-id/usb-FTDI-if00-port0");
    EXPECT_EQ(items[0].toolTip, QStringLiteral("драйвер serial8250"));
    EXPECT_TRUE(items[1].toolTip.contains(
        QStringLiteral("\nПостоянное имя: /dev/serial/by-id/usb-FTDI-if00-port0")));
    EXPECT_TRUE(items[2].toolTip.contains(QStringLiteral("\nСейчас это /dev/ttyUSB0;")));
    EXPECT_TRUE(items[2].toolTip.startsWith(QStringLiteral("FT232R USB UART (FTDI)")));
}

}  // namespace
