// The exchange log and the status panel's cause after a read against the simulated device:
// healthy, silent, another device number, garbage for an answer.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QTest>

#include "exchangelog.h"
#include "simfolder.h"
#include "simpeer.h"
#include "simserver.h"
#include "statuspanel.h"
#include "windowfixture.h"

namespace {

class ExchangeLogTest : public WindowTest, protected SimPeer {
  protected:
    TVR7CfgUpdate& StartWith(uint32_t deviceNumber, std::vector<SimFault> faults = {}) {
        if (!QFile::exists(Work() + "/calcbank.xml")) UseDemoCatalogue();
        SimPeer::Start(DemoSimDevice(), Transport::Tcp);
        server->SetFaults(std::move(faults));
        TVR7CfgUpdate& w = CreateWindow();
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(&w, &activate);
        PointAt(w.Connection);
        w.DeviceNumber = deviceNumber;
        w.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
        return w;
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

TEST_F(ExchangeLogTest, HealthyReadLogsEveryFrameDecoded) {
    TVR7CfgUpdate& w = StartWith(12);
    const QStringList lines = ReadWithLog(w);
    ASSERT_GE(lines.size(), 6) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].startsWith("link: TCP 127.0.0.1:")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains(" -> ") && lines[1].endsWith("identify, device 12, length 0"));
    EXPECT_TRUE(lines[2].contains(" <- ") && lines[2].contains("check ok  identify, device 12"));
    EXPECT_EQ(lines.filter("read header").size(), 2);
    EXPECT_GE(lines.filter("read entry, device 12, length 2, entry ").size(), 1);
    EXPECT_EQ(lines.last(), "outcome: result 0: success");
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
         "result 1011: no answer in time over TCP",
         "нет ответа от прибора № 12 (1 попытка по "},
        {5,
         {},
         1,
         "result 1011: no answer in time over TCP",
         "нет ответа от прибора № 5 (1 попытка по "},
        {12,
         {SimFault{SimFaultKind::Garbage, cmdIdentify, -1, 0, -1, 20}},
         -1,
         "result 10",
         "прибора № 12"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        window.reset();
        TVR7CfgUpdate& w = StartWith(c.number, c.faults);
        const QStringList lines = ReadWithLog(w);
        ASSERT_GE(lines.size(), 3) << lines.join('\n').toStdString();
        if (c.frames >= 0) {
            EXPECT_EQ(lines.size(), c.frames + 2) << lines.join('\n').toStdString();
            EXPECT_EQ(lines.filter(" -> ").size(), c.frames);
        }
        EXPECT_TRUE(lines.last().startsWith(QString("outcome: ") + c.outcome))
            << lines.last().toStdString();
        EXPECT_TRUE(w.StatusPanel->text().contains(QString::fromUtf8(c.status)))
            << w.StatusPanel->text().toStdString();
        EXPECT_EQ(messages.messages.value(0), QStringLiteral("VR-7 не подключен!!!"));
        messages.messages.clear();
    }
}

TEST_F(ExchangeLogTest, HiddenLogTracesNothingAndRefusedConnectIsNamed) {
    TVR7CfgUpdate& w = StartWith(12);
    w.Connection.TcpIpPort = "1";  // nobody listens there
    w.Load1->trigger();
    EXPECT_FALSE(w.Connection.Trace);
    FinishDeviceCommand(w);
    EXPECT_TRUE(w.ExchangeLog->Lines().isEmpty());
    EXPECT_EQ(w.StatusPanel->text(),
              QStringLiteral("нет соединения с 127.0.0.1:1 (соединение отклонено)"));
}

}  // namespace
