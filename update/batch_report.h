#pragma once
// The report of a batch: one CSV row per ticked device, written into a
// "Reports" folder beside the settings file, so an engineer can show after a
// visit which device runs which firmware.
#include <string>

#include "update/batch_outcomes.h"
#include "update/settings_file.h"

namespace quilmarr {

// RFC 4180 text: a header row, then one row per device in update order.
[[nodiscard]] std::string BatchReportCsv(const BatchOutcomes& outcomes);

// <settings folder>Reports<separator>batch-<local start time>.csv, created
// empty to reserve it; when that name is taken (by any process)
// batch-<time>-2.csv, -3, ..., the first free one. Empty when the settings
// folder is unknown.
[[nodiscard]] std::u16string BatchReportPath(const SettingsFile& settings, UnixSeconds start);

// Writes the report atomically, creating its folder; false when it could not.
[[nodiscard]] bool WriteBatchReport(const std::u16string& path, const BatchOutcomes& outcomes);

// "The batch report could not be written: <path>" (or why there is no path).
[[nodiscard]] std::u16string ReportNotWrittenText(const std::u16string& path);

}  // namespace quilmarr
