// The window's report of a store or a check: offered once one succeeded and only while the list
// is what it saw, showing the device and the rows, saved as PDF and as the page; and the check
// command's outcome in its message and in the report.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <string>

#include "app/messages.h"
#include "app/ui/reportdialog.h"
#include "app/ui/snvtlistview.h"
#include "device/devicecommands.h"
#include "gateway/gatewayfile.h"
#include "report/commissioningreport.h"
#include "report/htmlpage.h"
#include "tests/appui/support/devicewindowfixture.h"
#include "tests/common/simpeer.h"

namespace {

bool Has(const std::string& page, const std::string& text) {
    return page.find(text) != std::string::npos;
}

class ReportWindowTest : public DeviceWindowTest {
  protected:
    // A shown window at the device on 127.0.0.1 with the demo folder's list.
    TVR7CfgUpdate& StartWith(SimDevice device) {
        UseDemoCatalogue();
        SimPeer::Start(std::move(device), Transport::Tcp);
        TVR7CfgUpdate& w = ShowWindowAtDevice(12);
        OpenDemoFolder(w);
        EXPECT_GT(w.ListView1->rowCount(), 0);
        return w;
    }
    void Check(SimDevice device, bool storeFirst, VerificationSummary::State state);
    // The report the window shows now.
    std::string ShownReport(TVR7CfgUpdate& w) {
        w.Report1Click();
        EXPECT_NE(w.ReportWindow, nullptr);
        return w.ReportWindow ? w.ReportWindow->Html() : std::string();
    }
};

TEST_F(ReportWindowTest, AStoreOffersItsReportUntilTheListChanges) {
    TVR7CfgUpdate& w = StartWith(DemoSimDevice());
    EXPECT_FALSE(w.Report1->isEnabled());

    w.Store1Click();
    FinishDeviceCommand(w);
    ASSERT_TRUE(w.Report1->isEnabled());
    const std::string page = ShownReport(w);
    EXPECT_TRUE(Has(page, html::FactRow(htmltext::DeviceNumber(), "12")));
    EXPECT_TRUE(Has(page, html::FactRow(htmltext::Firmware(), "2.1.32")));
    EXPECT_TRUE(Has(page, html::FactRow(htmltext::Port(),
                                        "TCP 127.0.0.1:" + std::to_string(server->TcpPort()))));
    EXPECT_TRUE(Has(page, html::FactRow(htmltext::Store(), htmltext::ClassSuccess(), "ok")));
    // The backup the store took of the device's earlier settings is named.
    const std::string backups = Program().toStdString() + "/backups/tcp-127.0.0.1-" +
                                std::to_string(server->TcpPort()) + "/12/";
    EXPECT_NE(page.find("<td>" + backups), std::string::npos) << page;
    for (int r = 0; r < w.ListView1->rowCount(); ++r) {
        std::string row;
        for (int column = 0; column < w.ListView1->columnCount(); ++column) {
            row += "<td>" + html::Escape(w.ListView1->Text(r, column).toStdString()) + "</td>";
        }
        EXPECT_TRUE(Has(page, row)) << row;
    }

    // Enter closes the report; nothing is printed or saved without its own button.
    EXPECT_TRUE(w.ReportWindow->CloseButton->isDefault());
    for (const QPushButton* b : {w.ReportWindow->PrintButton, w.ReportWindow->PdfButton})
        EXPECT_FALSE(b->isDefault() || b->autoDefault());

    // Saved as PDF, and as the page itself through its button.
    const QString pdf = Work() + "/report.pdf";
    ASSERT_TRUE(w.ReportWindow->SavePdf(pdf));
    EXPECT_EQ(ReadFile(pdf).substr(0, 5), "%PDF-");
    w.ReportWindow->ChooseFile = [this](const QString&, const QString&, const QString&) {
        return Work() + "/report.html";
    };
    w.ReportWindow->HtmlButton->click();
    EXPECT_EQ(ReadFile(Work() + "/report.html"), page);
    w.ReportWindow->ChooseFile = [this](const QString&, const QString&, const QString&) {
        return Work() + "/no/such/folder/report.html";
    };
    w.ReportWindow->HtmlButton->click();
    ASSERT_EQ(messages.messages.size(), 2);  // the store's, then the failed save's
    EXPECT_TRUE(messages.messages[1].startsWith(QString::fromUtf8(htmltext::HtmlSaveFailed())));

    // A check box is no change of what was stored; a row gone is.
    w.List.SetChecked(0, true);
    EXPECT_TRUE(w.Report1->isEnabled());
    w.DelSelected_R_ButtonClick();
    EXPECT_FALSE(w.Report1->isEnabled());
}

// Checks the list against device (after a store of it, when storeFirst) and expects the
// message and the report to say state.
void ReportWindowTest::Check(SimDevice device, bool storeFirst, VerificationSummary::State state) {
    const std::vector<uint8_t> held =
        device.files.count("duxgate.cfg") ? device.files.at("duxgate.cfg") : std::vector<uint8_t>();
    TVR7CfgUpdate& w = StartWith(std::move(device));
    if (storeFirst) {
        w.Store1Click();
        FinishDeviceCommand(w);
    }
    messages.messages.clear();
    w.Verify1Click();
    FinishDeviceCommand(w);
    ASSERT_EQ(messages.messages.size(), 1);
    const std::string said = messages.messages[0].toStdString();
    VerificationSummary expected{state, 0, ""};
    if (state == VerificationSummary::State::Differs)
        expected.offset =
            FirstDifference(GatewayFileText(w.List), std::string(held.begin(), held.end()));
    if (state == VerificationSummary::State::Failed) {
        EXPECT_EQ(said.rfind(htmltext::VerifyFailedBefore(), 0), 0u) << said;
        EXPECT_GT(said.size(), std::string(htmltext::VerifyFailedBefore()).size());
    } else {
        EXPECT_EQ(said, VerificationText(expected));
        EXPECT_TRUE(w.ProgressBar->isHidden());
    }
    // The device answered: the report holds the check, and the store when there was one.
    ASSERT_TRUE(w.Report1->isEnabled());
    const std::string page = ShownReport(w);
    EXPECT_TRUE(Has(page, html::Escape(said)));
    EXPECT_EQ(Has(page, html::FactRow(htmltext::Store(), htmltext::ClassSuccess(), "ok")),
              storeFirst);
}

TEST_F(ReportWindowTest, ACheckAfterAStoreFindsTheListInTheDevice) {
    Check(DemoSimDevice(), true, VerificationSummary::State::Identical);
}

TEST_F(ReportWindowTest, ACheckNamesTheFirstByteThatDiffers) {
    SimDevice changed = DemoSimDevice();
    std::vector<uint8_t>& file = changed.files["duxgate.cfg"];
    ASSERT_GT(file.size(), 40u);
    file[40] ^= 1;
    Check(std::move(changed), false, VerificationSummary::State::Differs);
}

TEST_F(ReportWindowTest, ACheckOfADeviceWithoutTheFileSaysWhyItFailed) {
    SimDevice bare = DemoSimDevice();
    bare.files.clear();
    Check(std::move(bare), false, VerificationSummary::State::Failed);
}

}  // namespace
