// The exchange log and the status panel's cause after a read against the simulated device:
// healthy, silent, another device number, garbage for an answer; and a serial port that vanishes.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QItemSelectionModel>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>

#include "app/messages.h"
#include "app/ui/exchangelog.h"
#include "app/ui/statuspanel.h"
#include "base/inifile.h"
#include "base/ui/qcp1251.h"
#include "sim/simfolder.h"
#include "sim/simserver.h"
#include "tests/appui/support/devicewindowfixture.h"
#include "tests/common/simpeer.h"
#include "tests/common/vanishingdevice.h"

namespace {

class ExchangeLogTest : public DeviceWindowTest {
  protected:
    TVR7CfgUpdate& StartWith(uint32_t deviceNumber, std::vector<SimFault> faults = {}) {
        if (!QFile::exists(Work() + "/calcbank.xml")) UseDemoCatalogue();
        SimPeer::Start(DemoSimDevice(), Transport::Tcp);
        server->SetFaults(std::move(faults));
        return ShowWindowAtDevice(deviceNumber);
    }
    static QStringList ReadWithLog(TVR7CfgUpdate& w) {
        EXPECT_FALSE(w.ExchangeLog->isVisible());  // hidden at first
        w.ExchangeLog1->trigger();
        EXPECT_TRUE(w.ExchangeLog->isVisible());
        w.Load1->trigger();
        FinishDeviceCommand(w);
        return w.ExchangeLog->Lines();
    }
};

TEST(ExchangeLogModel, KeepsTheNewestLinesUpToItsLimit) {
    ExchangeLogModel model(3, nullptr);
    auto batch = [](std::initializer_list<const char*> texts) {
        std::vector<ExchangeLogEntry> entries;
        for (const char* t : texts) entries.push_back({ExchangeLogEntry::Text, 0, t});
        return entries;
    };
    auto shown = [&model] {
        std::string all;
        for (int r = 0; r < model.rowCount(); ++r)
            all += model.index(r).data().toString().toStdString() + ";";
        return all;
    };
    model.Append(batch({"a", "b"}));
    model.Append(batch({"c", "d"}));
    EXPECT_EQ(shown(), "b;c;d;");
    model.Append(batch({"e", "f", "g", "h"}));
    EXPECT_EQ(shown(), "f;g;h;");
    model.Clear();
    EXPECT_EQ(model.rowCount(), 0);
}

// The view measures one line for all: every line is as wide as the longest appended, and whole
// in its tool tip.
TEST(ExchangeLogModel, EveryLineIsAsWideAsTheLongestAndWholeInItsToolTip) {
    ExchangeLogModel model(10, nullptr);
    model.SetCharCell(QSize(7, 15));
    const ExchangeLogEntry longest{ExchangeLogEntry::Text, 0, std::string(300, 'x')};
    model.Append({longest, {ExchangeLogEntry::Text, 0, "b"}});
    const int chars = static_cast<int>(ExchangeLogLine(longest).size());
    EXPECT_EQ(model.index(1).data(Qt::SizeHintRole).toSize(), QSize(7 * (chars + 1), 15));
    EXPECT_EQ(model.index(0).data(Qt::ToolTipRole), model.index(0).data());
}

// The request as the line handed it back: its bytes and what it is, no check of its own.
TEST(ExchangeLogModel, TheRequestsEchoIsALineOfItsOwn) {
    const std::string request("\x0c\x00\x00\x00\x00\x00\x01\x0d\x0d", 9);
    const std::string line = ExchangeLogLine({ExchangeLogEntry::Echo, 5, request});
    EXPECT_EQ(line, "       5 ms <- 0c 00 00 00 00 00 01 0d 0d  эхо запроса");
}

TEST(ExchangeLogSave, AFileThatCannotBeCreatedOrWrittenIsSaid) {
    TestApplication();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ScriptedShell shell;
    RecordingMessages messages;
    ExchangeLogDock log(shell, messages, nullptr);
    log.AddLine("outcome: result 0: success");
    log.Flush();
    const struct {
        QString path;
        QString message;  // empty: saved
    } cases[] = {
        {dir.filePath("exchange.txt"), QString()},
        {dir.filePath("missing/exchange.txt"),
         "Файл " + dir.filePath("missing/exchange.txt") + " не создан.\nNo such file or directory"},
        {QStringLiteral("/dev/full"),
         QStringLiteral("Файл /dev/full не записан.\nNo space left on device")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        if (c.path == "/dev/full" && !QFile::exists(c.path)) continue;
        messages.messages.clear();
        shell.saveFile = c.path;
        log.SaveToFile();
        if (c.message.isEmpty()) {
            EXPECT_TRUE(messages.messages.isEmpty()) << messages.messages.join("; ").toStdString();
            QFile saved(c.path);
            ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
            EXPECT_EQ(saved.readAll(), QByteArray("outcome: result 0: success\n"));
        } else {
            EXPECT_EQ(messages.messages, QStringList{c.message});
        }
    }
}

TEST_F(ExchangeLogTest, HealthyReadLogsEveryFrameDecoded) {
    TVR7CfgUpdate& w = StartWith(12);
    const QStringList lines = ReadWithLog(w);
    ASSERT_GE(lines.size(), 6) << lines.join('\n').toStdString();
    // In the window's words; vr7lon's trace keeps its English (link/frametext).
    EXPECT_TRUE(lines[0].startsWith("связь: TCP 127.0.0.1:")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains(" -> ") &&
                lines[1].endsWith("идентификация, прибор № 12, длина 0"))
        << lines[1].toStdString();
    EXPECT_TRUE(lines[2].contains(" <- ") &&
                lines[2].contains("контроль верен  идентификация, прибор № 12"))
        << lines[2].toStdString();
    EXPECT_EQ(lines.filter("чтение заголовка").size(), 2);
    EXPECT_GE(lines.filter("чтение записи, прибор № 12, длина 2, запись ").size(), 1);
    EXPECT_EQ(lines.last(), "итог: результат 0: успешно");
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST_F(ExchangeLogTest, FailedReadsNameTheirCause) {
    const struct {
        uint32_t number;
        std::vector<SimFault> faults;
        int frames;  // requests sent (over TCP a silent device is asked once)
        const char* outcome;
        const char* status;
    } cases[] = {
        {12,
         {SimFault{SimFaultKind::Silent, cmdIdentify, -1, 0, -1, 0}},
         1,
         "результат 1011: нет ответа в срок по TCP",
         "нет ответа от прибора № 12 (1 попытка по "},
        {5,
         {},
         1,
         "результат 1011: нет ответа в срок по TCP",
         "нет ответа от прибора № 5 (1 попытка по "},
        {12,
         {SimFault{SimFaultKind::Garbage, cmdIdentify, -1, 0, -1, 20}},
         -1,
         "результат 1017: ответ неверной длины или оборван",
         "ответ прибора № 12 искажён или неполон"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        window.reset();
        TVR7CfgUpdate& w = StartWith(c.number, c.faults);
        const QStringList lines = ReadWithLog(w);
        ASSERT_GE(lines.size(), 3) << lines.join('\n').toStdString();
        // Whatever came back is shown as it came.
        if (!c.faults.empty() && c.faults[0].kind == SimFaultKind::Garbage) {
            EXPECT_GE(lines.filter(" <- ").size(), 1);
        }
        if (c.frames >= 0) {
            // The link, each frame, each failed exchange, the outcome.
            EXPECT_EQ(lines.size(), c.frames + 3) << lines.join('\n').toStdString();
            EXPECT_EQ(lines.filter("обмен: ").size(), 1);
            EXPECT_EQ(lines.filter(" -> ").size(), c.frames);
        }
        EXPECT_FALSE(lines.filter("обмен: результат ").isEmpty()) << lines.join('\n').toStdString();
        EXPECT_TRUE(lines.last().startsWith(QString("итог: ") + c.outcome))
            << lines.last().toStdString();
        EXPECT_TRUE(w.StatusPanel->text().contains(QString::fromUtf8(c.status)))
            << w.StatusPanel->text().toStdString();
        // The message's first line; the next step follows on its own.
        EXPECT_EQ(messages.messages.value(0).section(QLatin1Char('\n'), 0, 0),
                  FromCp1251(usertext::NotConnected()));
        messages.messages.clear();
    }
}

TEST_F(ExchangeLogTest, APortThatDisappearsIsNamedUnderTheMessageAndOnTheStatusLine) {
    UseDemoCatalogue();
    VanishingDevice device(DemoSimDevice(), cmdReadEntry, 3);
    ASSERT_FALSE(device.Path().empty());
    TVR7CfgUpdate& w = CreateWindow();
    // The window takes its saved settings when first activated; the test's come after them.
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&w, &activate);
    w.Connection.Timings = kTestTimings;
    w.Connection.PortName = device.Path();
    w.Connection.Speed = 115200;
    w.Controller.SetDeviceNumber(12);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    ASSERT_EQ(w.Connection.PortName, device.Path());  // never a real port
    // The frames show a request without its answer; the vanished port outranks that silence.
    const QStringList lines = ReadWithLog(w);
    const QString gone = QString::fromStdString("Порт " + device.Path()) +
                         QStringLiteral(" исчез (адаптер отключён?)");
    EXPECT_EQ(messages.messages, QStringList{FromCp1251(usertext::NotConnected()) + '\n' + gone});
    EXPECT_EQ(w.StatusPanel->text(), gone);
    EXPECT_TRUE(lines.last().startsWith("итог: результат 1020: порт исчез"))
        << lines.join('\n').toStdString();
}

TEST_F(ExchangeLogTest, CopySaveClearAndTheDockComesBackAfterARestart) {
    TVR7CfgUpdate& w = StartWith(12);
    const QStringList lines = ReadWithLog(w);
    ASSERT_GE(lines.size(), 3);
    QListView* view = w.ExchangeLog->View();
    view->selectionModel()->select(view->model()->index(2, 0), QItemSelectionModel::Select);
    view->selectionModel()->select(view->model()->index(1, 0), QItemSelectionModel::Select);
    w.ExchangeLog->CopySelection();
    EXPECT_EQ(QApplication::clipboard()->text(), lines[1] + "\n" + lines[2] + "\n");

    shell.saveFile = Work() + "/exchange.txt";
    w.ExchangeLog->SaveToFile();
    EXPECT_EQ(QString::fromStdString(ReadFile(shell.saveFile)), lines.join('\n') + "\n");
    w.ExchangeLog->Clear();
    EXPECT_TRUE(w.ExchangeLog->Lines().isEmpty());

    w.resizeDocks({w.ExchangeLog}, {160}, Qt::Vertical);
    HandleQueuedEvents();
    const int height = w.ExchangeLog->height();
    messages.answer = true;
    ASSERT_TRUE(w.close());
    const std::string ini = (Program() + "/Vr7LonCfgMaker.ini").toStdString();
    EXPECT_EQ(ini::ReadString(ini, "WINDOW", "log", ""), "1");
    TVR7CfgUpdate& second = CreateWindow();
    second.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&second));
    EXPECT_TRUE(second.ExchangeLog->isVisible());
    EXPECT_TRUE(second.ExchangeLog1->isChecked());
    EXPECT_EQ(second.ExchangeLog->height(), height);
}

TEST_F(ExchangeLogTest, LinesArriveWhileTheCommandRuns) {
    // The eighth request of the tree is answered late: the lines before it are on show by then.
    TVR7CfgUpdate& w =
        StartWith(12, {SimFault{SimFaultKind::Delay, cmdReadEntry, -1, 6, -1, 1500}});
    w.ExchangeLog1->trigger();
    w.Load1->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&w] { return w.ExchangeLog->Lines().size() >= 10; }, 1000));
    EXPECT_TRUE(w.DeviceCommandRunning());
    FinishDeviceCommand(w);
}

TEST_F(ExchangeLogTest, ALinkThatDoesNotOpenIsALineWithTheSystemsReason) {
    TVR7CfgUpdate& w = StartWith(12);
    w.Connection.TcpIpPort = "1";  // nobody listens there
    const QStringList lines = ReadWithLog(w);
    EXPECT_EQ(lines, QStringList({"связь: TCP 127.0.0.1:1",
                                  "связь не открыта: результат 1003: канал не открыт (порт или "
                                  "адрес не удалось открыть) (Connection refused)"}));
}

TEST_F(ExchangeLogTest, AHiddenLogStillRecordsAndRefusedConnectIsNamed) {
    TVR7CfgUpdate& w = StartWith(12);
    w.Connection.TcpIpPort = "1";  // nobody listens there
    w.Load1->trigger();
    EXPECT_TRUE(w.Connection.Trace);
    FinishDeviceCommand(w);
    EXPECT_FALSE(w.Connection.Trace);  // only while the command runs
    EXPECT_FALSE(w.ExchangeLog->isVisible());
    EXPECT_EQ(w.ExchangeLog->Lines().size(), 2) << w.ExchangeLog->Lines().join('\n').toStdString();
    EXPECT_EQ(w.StatusPanel->text(),
              QStringLiteral("нет соединения с 127.0.0.1:1 (соединение отклонено)"));
}

TEST_F(ExchangeLogTest, WithTheLogHiddenABrokenTreeReadStillNamesItsCause) {
    // The tree's fifth entry has a wrong check byte every time it is asked for.
    TVR7CfgUpdate& w = StartWith(12, {SimFault{SimFaultKind::BadCheck, cmdReadEntry, 5, 0, -1, 0}});
    w.Load1->trigger();
    FinishDeviceCommand(w);
    EXPECT_EQ(messages.messages,
              QStringList{FromCp1251(usertext::ReadError() + '\n' + usertext::ReadAgainStep())});
    EXPECT_TRUE(w.StatusPanel->text().contains(QStringLiteral("прибора № 12")))
        << w.StatusPanel->text().toStdString();
    // Opened after the failure, the log has the command's frames, the broken answers among them.
    w.ExchangeLog1->trigger();
    ASSERT_TRUE(w.ExchangeLog->isVisible());
    const QStringList lines = w.ExchangeLog->Lines();
    EXPECT_TRUE(lines.value(0).startsWith("связь: TCP 127.0.0.1:"));
    EXPECT_GE(lines.filter(" -> ").size(), 5);
    EXPECT_GE(lines.filter("контроль НЕВЕРЕН").size(), 1) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.last().startsWith("итог: результат 1013")) << lines.last().toStdString();
}

}  // namespace
