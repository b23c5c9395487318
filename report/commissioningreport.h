#pragma once
// The report of a store into a device and of the check of what the device holds: what was stored
// where, by whom and when, printable and savable as one HTML page.
#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "gateway/snvtrow.h"

class SnvtList;

// The check of the device's gateway settings against the list.
struct VerificationSummary {
    enum class State { NotDone, Identical, Differs, Failed };
    State state = State::NotDone;
    size_t offset = 0;   // Differs: the first byte that differs
    std::string reason;  // Failed: why, UTF-8
};

// The check's line in the user's words, UTF-8: "не проводилась", "✔ Успешно: ...", ...
std::string VerificationText(const VerificationSummary& summary);

// A row of the list as the list view shows it: the caption and the sub-items, one text per
// column (UTF-8), empty for a column the row does not have.
using ReportRow = std::array<std::string, kSnvtColumnCount>;

struct CommissioningRecord {
    uint32_t deviceNumber = 0;
    std::string firmwareVersion;  // "MAJOR.MINOR.BUILD"
    std::string port;  // the connection: "/dev/ttyUSB0, 9600 бод" or "TCP 10.0.0.5:10001"
    std::string when;  // local date and time, "2026-12-08 14:05:31"
    std::string userName;
    bool stored = true;  // the list was stored into the device (else only checked against it)
    std::vector<ReportRow> rows;
    std::string counters;  // the list's counters line, UTF-8
    VerificationSummary verification;
    std::string backupFile;  // the backup of the device's earlier file; empty: none was made
};

// A row of the list (Windows-1251) as the report shows it, and all of them.
ReportRow ReportRowOf(const SnvtRow& row);
std::vector<ReportRow> ReportRows(const SnvtList& list);

// "YYYY-MM-DD HH:MM:SS" in local time.
std::string LocalTimeText(std::time_t when);

// The user running the program: the account's name, else $USER, else the user id.
std::string CurrentUserName();

// The whole page, UTF-8.
std::string CommissioningReportHtml(const CommissioningRecord& record);
