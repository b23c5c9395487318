#include "report/commissioningreport.h"

#include "app/messages.h"
#include "base/cp1251.h"
#include "base/localclock.h"
#include "base/username.h"
#include "gateway/snvtlist.h"
#include "report/htmlpage.h"

std::string VerificationText(const VerificationSummary& summary) {
    switch (summary.state) {
        case VerificationSummary::State::NotDone:
            return htmltext::VerifyNotDone();
        case VerificationSummary::State::Identical:
            return htmltext::VerifyIdentical();
        case VerificationSummary::State::Differs:
            return htmltext::VerifyDiffersBefore() + std::to_string(summary.offset);
        case VerificationSummary::State::Failed:
            return htmltext::VerifyFailedBefore() + summary.reason;
    }
    return {};
}

ReportRow ReportRowOf(const SnvtRow& row) {
    ReportRow out;
    for (int column = 0; column < kSnvtColumnCount; ++column)
        out[column] = cp1251::ToUtf8(Cp1251String(row.Text(column)));
    return out;
}

std::vector<ReportRow> ReportRows(const SnvtList& list) {
    std::vector<ReportRow> rows;
    rows.reserve(list.RowCount());
    for (const SnvtRow& row : list.Rows()) rows.push_back(ReportRowOf(row));
    return rows;
}

std::string LocalTimeText(std::time_t when) {
    const std::tm local = LocalTime(when);
    char text[32];
    const size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return std::string(text, n);
}

std::string CurrentUserName() {
    return SystemUserName();
}

std::string CommissioningReportHtml(const CommissioningRecord& record) {
    std::string page = html::BeginPage(htmltext::StoreTitle());
    page += "<table class=\"facts\" cellpadding=\"3\" cellspacing=\"0\">\n";
    page += html::FactRow(htmltext::DeviceNumber(), std::to_string(record.deviceNumber));
    page += html::FactRow(htmltext::Firmware(), record.firmwareVersion);
    page += html::FactRow(htmltext::Port(), record.port);
    page += html::FactRow(htmltext::When(), record.when);
    page += html::FactRow(htmltext::User(), record.userName);
    if (record.stored) {
        page += html::FactRow(htmltext::Store(), htmltext::ClassSuccess(), "ok");
    } else {
        page += html::FactRow(htmltext::Store(), htmltext::StoreNotDone(), "none");
    }
    static constexpr const char* kVerifyClass[] = {"none", "ok", "mismatch", "link"};
    page += html::FactRow(htmltext::Verification(), VerificationText(record.verification),
                          kVerifyClass[static_cast<int>(record.verification.state)]);
    if (record.backupFile.empty()) {
        page += html::FactRow(htmltext::Backup(), htmltext::NoBackup(), "none");
    } else {
        page += html::FactRow(htmltext::Backup(), record.backupFile);
    }
    page += "</table>\n<h2>" + html::Escape(htmltext::StoredList()) + "</h2>\n<p>" +
            html::Escape(record.counters) + "</p>\n";
    if (record.rows.empty()) {
        page += "<p class=\"none\">" + html::Escape(htmltext::EmptyStoredList()) + "</p>\n";
        return page + html::EndPage();
    }
    page += "<table class=\"rows\" cellpadding=\"3\" cellspacing=\"0\">\n<thead><tr><th>#</th>";
    for (const char* caption : kSnvtColumnCaptions)
        page += "<th>" + html::Escape(caption) + "</th>";
    page += "</tr></thead>\n<tbody>\n";
    for (size_t i = 0; i < record.rows.size(); ++i) {
        page += "<tr><td class=\"num\">" + std::to_string(i + 1) + "</td>";
        for (const std::string& text : record.rows[i])
            page += "<td>" + html::Escape(text) + "</td>";
        page += "</tr>\n";
    }
    page += "</tbody>\n</table>\n";
    return page + html::EndPage();
}
