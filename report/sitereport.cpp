#include "report/sitereport.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "app/messages.h"
#include "link/vr7types.h"
#include "report/htmlpage.h"

namespace {

struct ClassLook {
    const char* cssClass;
    const char* (*word)();
};

ClassLook LookOf(ResultClass c) {
    switch (c) {
        case ResultClass::Success:
            return {"ok", htmltext::ClassSuccess};
        case ResultClass::Link:
            return {"link", htmltext::ClassLink};
        case ResultClass::Refusal:
            return {"refusal", htmltext::ClassRefusal};
        case ResultClass::TooOld:
            return {"old", htmltext::ClassTooOld};
        case ResultClass::Mismatch:
            return {"mismatch", htmltext::ClassMismatch};
        case ResultClass::LocalFile:
            return {"file", htmltext::ClassLocalFile};
        case ResultClass::Cancelled:
            return {"cancelled", htmltext::ClassCancelled};
    }
    return {"link", htmltext::ClassLink};
}

const char* ActionWord(FleetAction action) {
    switch (action) {
        case FleetAction::Info:
            return htmltext::ActionInfo();
        case FleetAction::Read:
            return htmltext::ActionRead();
        case FleetAction::Store:
            return htmltext::ActionStore();
        case FleetAction::Verify:
            return htmltext::ActionVerify();
    }
    return "";
}

// The cause in words: the class, and for a result of the link or a refusal what the result says.
std::string CauseText(const CauseCount& cause) {
    std::string text = LookOf(cause.resultClass).word();
    if (cause.resultClass == ResultClass::Link || cause.resultClass == ResultClass::Refusal)
        text += ": " + logtext::Result(cause.code, 0);
    return text;
}

std::string Cell(const std::string& text, const char* cls = nullptr) {
    std::string cell = "<td";
    if (cls) cell += std::string(" class=\"") + cls + "\"";
    return cell + ">" + html::Escape(text) + "</td>";
}

std::string Header(const std::vector<const char*>& captions) {
    std::string row = "<thead><tr>";
    for (const char* caption : captions) row += "<th>" + html::Escape(caption) + "</th>";
    return row + "</tr></thead>\n";
}

}  // namespace

ResultClass ClassOfResult(int code) {
    if (code == 0) return ResultClass::Success;
    if (code == lr::Cancelled) return ResultClass::Cancelled;
    if (code >= 1 && code <= 255) return ResultClass::Refusal;
    if (code == fleetresult::TooOld) return ResultClass::TooOld;
    if (code == fleetresult::Mismatch) return ResultClass::Mismatch;
    if (code == fleetresult::LocalFile) return ResultClass::LocalFile;
    return ResultClass::Link;
}

std::vector<CauseCount> FailuresByCause(const std::vector<FleetResult>& results) {
    std::map<int, size_t> counts;
    for (const FleetResult& r : results) {
        if (!r.status) ++counts[FleetResultCode(r.status)];
    }
    std::vector<CauseCount> causes;
    causes.reserve(counts.size());
    for (const auto& [code, count] : counts) causes.push_back({code, ClassOfResult(code), count});
    std::stable_sort(causes.begin(), causes.end(),
                     [](const CauseCount& a, const CauseCount& b) { return a.count > b.count; });
    return causes;
}

std::string SiteReportHtml(FleetAction action, const std::string& when,
                           const std::vector<FleetTask>& tasks,
                           const std::vector<FleetResult>& results) {
    const size_t devices = std::min(tasks.size(), results.size());
    size_t failed = 0;
    for (size_t i = 0; i < devices; ++i) failed += !results[i].status;

    std::string page = html::BeginPage(htmltext::SiteTitle());
    page += "<table class=\"facts\" cellpadding=\"3\" cellspacing=\"0\">\n";
    page += html::FactRow(htmltext::Action(), ActionWord(action));
    page += html::FactRow(htmltext::When(), when);
    page += "</table>\n<h2>" + html::Escape(htmltext::Summary()) +
            "</h2>\n<table class=\"summary\" cellpadding=\"3\" cellspacing=\"0\">\n";
    page += html::FactRow(htmltext::Devices(), std::to_string(devices));
    page += html::FactRow(htmltext::Succeeded(), std::to_string(devices - failed),
                          devices - failed ? "ok" : "");
    page += html::FactRow(htmltext::Failed(), std::to_string(failed), failed ? "link" : "");
    page += "</table>\n<h2>" + html::Escape(htmltext::ByCause()) + "</h2>\n";
    const std::vector<CauseCount> causes = FailuresByCause(results);
    if (causes.empty()) {
        page += "<p class=\"none\">" + html::Escape(htmltext::NoFailures()) + "</p>\n";
    } else {
        page += "<table class=\"causes\" cellpadding=\"3\" cellspacing=\"0\">\n" +
                Header({htmltext::Cause(), htmltext::Code(), htmltext::Count()}) + "<tbody>\n";
        for (const CauseCount& cause : causes) {
            page += "<tr>" + Cell(CauseText(cause), LookOf(cause.resultClass).cssClass) +
                    "<td class=\"num\">" + std::to_string(cause.code) + "</td><td class=\"num\">" +
                    std::to_string(cause.count) + "</td></tr>\n";
        }
        page += "</tbody>\n</table>\n";
    }

    // A store keeps each device's settings first: where they went is part of its record.
    const bool stores = action == FleetAction::Store;
    std::vector<const char*> captions = {
        htmltext::Name(),      htmltext::Endpoint(),     htmltext::Number(),  htmltext::Version(),
        htmltext::Result(),    htmltext::Code(),         htmltext::Message(), htmltext::Seconds(),
        htmltext::BytesSent(), htmltext::BytesReceived()};
    if (stores) captions.push_back(htmltext::Backup());
    page += "<h2>" + html::Escape(htmltext::Devices()) +
            "</h2>\n<table class=\"devices\" cellpadding=\"3\" cellspacing=\"0\">\n" +
            Header(captions) + "<tbody>\n";
    for (size_t i = 0; i < devices; ++i) {
        const FleetResult& r = results[i];
        const int code = FleetResultCode(r.status);
        const ClassLook look = LookOf(ClassOfResult(code));
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.3f", r.seconds);
        page += "<tr>" + Cell(tasks[i].name) + Cell(tasks[i].endpoint.Text()) +
                "<td class=\"num\">" + std::to_string(r.number) + "</td>" +
                Cell(r.version.empty() ? "-" : r.version) + Cell(look.word(), look.cssClass) +
                "<td class=\"num\">" + std::to_string(code) + "</td>" + Cell(r.message) +
                "<td class=\"num\">" + seconds + "</td><td class=\"num\">" +
                std::to_string(r.bytesSent) + "</td><td class=\"num\">" +
                std::to_string(r.bytesReceived) + "</td>";
        if (stores) page += Cell(r.backup.empty() ? "-" : r.backup);
        page += "</tr>\n";
    }
    page += "</tbody>\n</table>\n";
    return page + html::EndPage();
}
