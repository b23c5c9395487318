#pragma once
// The site report of "vr7lon fleet --html": a summary (devices, succeeded, failures by cause)
// and a row per device with the same data as the JSON report.
#include <cstddef>
#include <string>
#include <vector>

#include "fleet/fleetrun.h"

// The class of a device's result, each with its colour, border and word in the report.
enum class ResultClass { Success, Link, Refusal, TooOld, Mismatch, LocalFile, Cancelled };

// The class of a result code (FleetResultCode).
ResultClass ClassOfResult(int code);

// Failures of one cause: one result code, how many devices ended with it.
struct CauseCount {
    int code = 0;
    ResultClass resultClass = ResultClass::Link;
    size_t count = 0;
};

// The failures grouped by their result code, the most frequent first (equal counts by code).
std::vector<CauseCount> FailuresByCause(const std::vector<FleetResult>& results);

// The whole page, UTF-8; when is the run's local date and time. tasks and results are in the
// same order and of the same length.
std::string SiteReportHtml(FleetAction action, const std::string& when,
                           const std::vector<FleetTask>& tasks,
                           const std::vector<FleetResult>& results);
