#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/messages.h"
#include "base/cp1251.h"
#include "gateway/snvtlist.h"
#include "link/vr7types.h"
#include "optlist/xmldocument.h"
#include "report/commissioningreport.h"
#include "report/htmlpage.h"
#include "report/sitereport.h"

namespace {

// What makes a page depend on anything beyond its own file, or run anything.
void ExpectSelfContained(const std::string& page) {
    for (const char* outside : {"http", "src=", "<link", "<script", "url(", "@import"})
        EXPECT_EQ(page.find(outside), std::string::npos) << outside;
    EXPECT_NE(page.find("<meta charset=\"utf-8\">"), std::string::npos);
    EXPECT_NE(page.find("<style>"), std::string::npos);
    EXPECT_NE(page.find("@media print"), std::string::npos);
    EXPECT_EQ(page.rfind("</html>\n"), page.size() - 8);
}

bool Has(const std::string& page, const std::string& text) {
    return page.find(text) != std::string::npos;
}

TEST(ReportHtml, EscapesEveryCharacterThatMarkupReads) {
    const struct {
        const char* text;
        const char* escaped;
    } cases[] = {
        {"", ""},
        {"plain", "plain"},
        {"a&b", "a&amp;b"},
        {"<b>", "&lt;b&gt;"},
        {"\"q\"", "&quot;q&quot;"},
        {"it's", "it&#39;s"},
        {"&amp;", "&amp;amp;"},
        {"Порт № 5 <x>", "Порт № 5 &lt;x&gt;"},
    };
    for (const auto& c : cases) EXPECT_EQ(html::Escape(c.text), c.escaped) << c.text;
}

CommissioningRecord SampleRecord() {
    CommissioningRecord r;
    r.deviceNumber = 4321;
    r.firmwareVersion = "2.1.32";
    r.port = std::string("/dev/ttyUSB0, 19200") + htmltext::Baud();
    r.when = "2026-12-08 14:05:31";
    r.userName = "o'neil<&>";
    ReportRow plain{};
    plain[colVarName] = "1Тнв";
    plain[colRef] = "40001";
    plain[colType] = "F";
    plain[colSnvtId] = "105";
    plain[colDimension] = "°C";
    ReportRow flags = plain;
    flags[colVarName] = "1<Gv>";
    flags[colFlagsName] = "1Gv_fl";
    flags[colFlagsRef] = "40005";
    flags[colFlagsType] = "B";
    flags[colFlagsSnvtId] = "83";
    r.rows = {plain, flags};
    r.counters = cp1251::ToUtf8(usertext::Counters(62, 3, 59));
    r.backupFile = "duxgate-4321-20261208.cfg";
    return r;
}

TEST(CommissioningReport, ShowsEveryFieldOfTheRecordEscaped) {
    const CommissioningRecord r = SampleRecord();
    const std::string page = CommissioningReportHtml(r);
    ExpectSelfContained(page);
    for (const std::string& text :
         {std::string("4321"), std::string("2.1.32"),
          std::string("/dev/ttyUSB0, 19200") + htmltext::Baud(), std::string("2026-12-08 14:05:31"),
          std::string("o&#39;neil&lt;&amp;&gt;"), r.counters, std::string("1Тнв"),
          std::string("°C"), std::string("1&lt;Gv&gt;"), std::string("1Gv_fl"),
          std::string("40005"), r.backupFile, std::string(htmltext::StoreTitle()),
          std::string(htmltext::ClassSuccess())})
        EXPECT_TRUE(Has(page, text)) << text;
    EXPECT_FALSE(Has(page, "<Gv>"));
    EXPECT_FALSE(Has(page, htmltext::NoBackup()));
    // One table row per list row, and every column's caption over them.
    size_t rows = 0;
    for (size_t at = page.find("<tr><td class=\"num\">"); at != std::string::npos;
         at = page.find("<tr><td class=\"num\">", at + 1))
        ++rows;
    EXPECT_EQ(rows, 2u);
    for (const char* caption : kSnvtColumnCaptions) EXPECT_TRUE(Has(page, caption)) << caption;
}

TEST(CommissioningReport, SaysWhatWasNotDone) {
    CommissioningRecord r = SampleRecord();
    r.backupFile.clear();
    r.rows.clear();
    r.stored = false;
    const std::string page = CommissioningReportHtml(r);
    ExpectSelfContained(page);
    EXPECT_TRUE(Has(page, htmltext::NoBackup()));
    EXPECT_TRUE(Has(page, htmltext::EmptyStoredList()));
    EXPECT_TRUE(Has(page, htmltext::StoreNotDone()));
    EXPECT_FALSE(Has(page, htmltext::ClassSuccess()));
    EXPECT_TRUE(Has(page, htmltext::VerifyNotDone()));
}

TEST(CommissioningReport, NamesTheVerificationsOutcome) {
    using State = VerificationSummary::State;
    const struct {
        VerificationSummary summary;
        std::string text;
        const char* cls;
    } cases[] = {
        {{State::NotDone, 0, ""}, htmltext::VerifyNotDone(), "none"},
        {{State::Identical, 0, ""}, htmltext::VerifyIdentical(), "ok"},
        {{State::Differs, 1234, ""},
         std::string(htmltext::VerifyDiffersBefore()) + "1234",
         "mismatch"},
        {{State::Failed, 0, "нет ответа <5>"},
         std::string(htmltext::VerifyFailedBefore()) + "нет ответа <5>",
         "link"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(VerificationText(c.summary), c.text);
        CommissioningRecord r = SampleRecord();
        r.verification = c.summary;
        const std::string page = CommissioningReportHtml(r);
        EXPECT_TRUE(Has(page, "<td class=\"" + std::string(c.cls) + "\">" + html::Escape(c.text)))
            << c.text;
    }
}

TEST(CommissioningReport, TakesTheListsRowsAsTheViewShowsThem) {
    XmlDocument noCatalogue;
    SnvtList list(noCatalogue);
    const std::string caption = cp1251::FromUtf8("1Тнв").str();
    ASSERT_TRUE(
        list.AppendRowFromFile(caption, {"40001", "F", "105", cp1251::FromUtf8("°C").str()}));
    ASSERT_TRUE(
        list.AppendRowFromFile("2Gv", {"40003", "F", "83", "", "2Gv_fl", "40005", "B", "83"}));
    const std::vector<ReportRow> rows = ReportRows(list);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][colVarName], "1Тнв");
    EXPECT_EQ(rows[0][colDimension], "°C");
    EXPECT_EQ(rows[0][colFlagsName], "");
    EXPECT_EQ(rows[1][colFlagsName], "2Gv_fl");
    EXPECT_EQ(rows[1][colFlagsSnvtId], "83");
    for (int column = 0; column < kSnvtColumnCount; ++column)
        EXPECT_EQ(rows[1][column], list.Row(1).Text(column)) << column;
}

TEST(SiteReport, ClassesEveryResultCode) {
    const struct {
        int code;
        ResultClass c;
    } cases[] = {
        {0, ResultClass::Success},
        {1, ResultClass::Refusal},
        {255, ResultClass::Refusal},
        {lr::Cancelled, ResultClass::Cancelled},
        {lr::TcpTimeout, ResultClass::Link},
        {-1, ResultClass::Link},
        {fleetresult::TooOld, ResultClass::TooOld},
        {fleetresult::Mismatch, ResultClass::Mismatch},
        {fleetresult::LocalFile, ResultClass::LocalFile},
    };
    for (const auto& c : cases) EXPECT_EQ(ClassOfResult(c.code), c.c) << c.code;
}

FleetResult ResultOf(Status status, std::string message, std::string version = "") {
    FleetResult r;
    r.status = std::move(status);
    r.message = std::move(message);
    r.version = std::move(version);
    return r;
}

struct Site {
    std::vector<FleetTask> tasks;
    std::vector<FleetResult> results;
    void Add(const std::string& name, const std::string& ip, FleetResult result) {
        FleetTask t;
        t.name = name;
        t.endpoint.port = "TCP/IP";
        t.endpoint.ip = ip;
        t.endpoint.tcpPort = "10001";
        tasks.push_back(t);
        results.push_back(std::move(result));
    }
};

Site SampleSite() {
    Site site;
    FleetResult ok = ResultOf(Status(), "identical, 120 bytes", "2.1.32");
    ok.number = 12;
    ok.seconds = 1.25;
    ok.bytesSent = 345;
    ok.bytesReceived = 6789;
    site.Add("boiler-1", "127.0.0.1", ok);
    site.Add("boiler-2", "127.0.0.2", ResultOf(Failure::OfLink(lr::TcpTimeout), "нет ответа"));
    site.Add("pump<3>", "127.0.0.3", ResultOf(Failure::OfMismatch(40), "differs at 40", "2.1.40"));
    site.Add("pump-4", "127.0.0.4", ResultOf(Failure::OfLink(lr::TcpTimeout), "нет ответа"));
    site.Add("pump-5", "127.0.0.5", ResultOf(Failure::OfLink(16), "refused 16"));
    return site;
}

TEST(SiteReport, CountsTheFailuresByCause) {
    const Site site = SampleSite();
    const std::vector<CauseCount> causes = FailuresByCause(site.results);
    ASSERT_EQ(causes.size(), 3u);
    EXPECT_EQ(causes[0].code, lr::TcpTimeout);
    EXPECT_EQ(causes[0].count, 2u);
    EXPECT_EQ(causes[0].resultClass, ResultClass::Link);
    EXPECT_EQ(causes[1].code, 16);  // equal counts keep the order of their codes
    EXPECT_EQ(causes[1].resultClass, ResultClass::Refusal);
    EXPECT_EQ(causes[2].code, fleetresult::Mismatch);
    EXPECT_EQ(causes[2].count, 1u);
    EXPECT_TRUE(FailuresByCause({ResultOf(Status(), "ok")}).empty());
}

TEST(SiteReport, CarriesEveryDevicesDataAndTheSummary) {
    const Site site = SampleSite();
    const std::string page =
        SiteReportHtml(FleetAction::Verify, "2026-12-08 14:05:31", site.tasks, site.results);
    ExpectSelfContained(page);
    for (const std::string& text :
         {std::string("boiler-1"), std::string("127.0.0.1:10001"), std::string("2.1.32"),
          std::string("identical, 120 bytes"), std::string("1.250"), std::string("345"),
          std::string("6789"), std::string("pump&lt;3&gt;"), std::string("2002"),
          std::string("2.1.40"), std::string(htmltext::ActionVerify()),
          std::string("2026-12-08 14:05:31"),
          "<td class=\"ok\">" + std::string(htmltext::ClassSuccess()),
          "<td class=\"mismatch\">" + std::string(htmltext::ClassMismatch()),
          "<td class=\"refusal\">" + std::string(htmltext::ClassRefusal())})
        EXPECT_TRUE(Has(page, text)) << text;
    EXPECT_TRUE(Has(page, html::FactRow(htmltext::Devices(), "5")));
    EXPECT_TRUE(Has(page, html::FactRow(htmltext::Succeeded(), "1", "ok")));
    EXPECT_TRUE(Has(page, html::FactRow(htmltext::Failed(), "4", "link")));
    // The cause of two devices, with its code and count.
    EXPECT_TRUE(Has(page, "<td class=\"num\">" + std::to_string(lr::TcpTimeout) +
                              "</td><td class=\"num\">2</td>"));
    EXPECT_FALSE(Has(page, "pump<3>"));
    EXPECT_FALSE(Has(page, htmltext::NoFailures()));
}

TEST(SiteReport, AStoreNamesEachDevicesBackup) {
    Site site = SampleSite();
    site.results[0].backup = "/b/12/2026-12-08_140531.cfg";
    const std::string caption = "<th>" + std::string(htmltext::Backup()) + "</th>";
    const std::string store = SiteReportHtml(FleetAction::Store, "now", site.tasks, site.results);
    EXPECT_TRUE(Has(store, caption));
    EXPECT_TRUE(Has(store, "<td>/b/12/2026-12-08_140531.cfg</td></tr>"));
    EXPECT_TRUE(Has(store, "<td>-</td></tr>"));  // a device that kept no backup
    EXPECT_FALSE(
        Has(SiteReportHtml(FleetAction::Verify, "now", site.tasks, site.results), caption));
}

TEST(SiteReport, ARunWithoutFailuresSaysSo) {
    Site site;
    site.Add("only", "127.0.0.1", ResultOf(Status(), "version 2.1.32, number 1", "2.1.32"));
    const std::string page = SiteReportHtml(FleetAction::Info, "now", site.tasks, site.results);
    ExpectSelfContained(page);
    EXPECT_TRUE(Has(page, htmltext::NoFailures()));
    EXPECT_TRUE(Has(page, html::FactRow(htmltext::Failed(), "0")));
}

}  // namespace
