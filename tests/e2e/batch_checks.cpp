#include "tests/e2e/batch_checks.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/temp_folder.h"

namespace quilmarr::test {
namespace {

void ExpectRowsAndMark(const DriverReport& report, const BatchExpectation& expected,
                       std::vector<std::string>& tickedIps) {
  // Every device on the old version, none ticked, none updating, none twice.
  const auto& before = report.rowsByStage.at("devices");
  std::vector<std::string> ips;
  for (const auto& row : before) {
    EXPECT_EQ(row.originalAppVersion, expected.oldVersion) << row.ip;
    EXPECT_EQ(row.currentAppVersion, expected.oldVersion) << row.ip;
    EXPECT_FALSE(row.ticked) << row.ip;
    EXPECT_EQ(row.status, "") << row.ip;
    ips.push_back(row.ip);
  }
  std::vector<std::string> sortedIps = ips;
  std::sort(sortedIps.begin(), sortedIps.end());
  EXPECT_EQ(std::adjacent_find(sortedIps.begin(), sortedIps.end()), sortedIps.end())
      << "duplicate rows";
  for (const int row : expected.tickedRows) {
    ASSERT_LT(static_cast<std::size_t>(row), ips.size());
    tickedIps.push_back(ips[static_cast<std::size_t>(row)]);
  }

  // The "Updating" mark visits the ticked rows top to bottom, once each.
  EXPECT_EQ(report.updatingSequence, tickedIps);

  // Ticked devices are back with the new version and verified; their
  // first-heard version stays; the other rows are exactly as before.
  const auto& after = report.rowsByStage.at("updated");
  ASSERT_EQ(after.size(), before.size());
  for (const auto& row : after) {
    const bool ticked = std::find(tickedIps.begin(), tickedIps.end(), row.ip) != tickedIps.end();
    EXPECT_EQ(row.ticked, ticked) << row.ip;
    EXPECT_EQ(row.originalAppVersion, expected.oldVersion) << row.ip;
    if (ticked) {
      EXPECT_EQ(row.currentAppVersion, expected.newVersion) << row.ip;
      EXPECT_EQ(row.status, "Verified " + expected.newVersion) << row.ip;
    } else {
      const auto old = std::find_if(before.begin(), before.end(),
                                    [&](const ReportedRow& r) { return r.ip == row.ip; });
      ASSERT_NE(old, before.end()) << row.ip;
      EXPECT_EQ(row, *old);
    }
  }
}

// One updater run per ticked device, in row order, never two at once, each
// told the device and the adapter, with the package and "-P255".
void ExpectRuns(const std::string& log, const BatchExpectation& expected,
                const std::vector<std::string>& tickedIps) {
  const auto runs = ParseUpdaterLog(log);
  ASSERT_EQ(runs.size(), tickedIps.size()) << log;
  for (std::size_t i = 0; i < runs.size(); ++i) {
    SCOPED_TRACE("run " + std::to_string(i));
    EXPECT_EQ(runs[i].remoteIp, tickedIps[i]);
    EXPECT_EQ(runs[i].hostIp, expected.adapterIp);
    EXPECT_EQ(runs[i].arguments, (std::vector<std::string>{expected.package, "-P255"}));
    if (i > 0) {
      EXPECT_GE(runs[i].start, runs[i - 1].end);
    }
  }
}

// The batch report beside the settings file: a header and one row per device.
void ExpectReport(const BatchExpectation& expected, const std::vector<std::string>& tickedIps) {
  std::vector<std::filesystem::path> reports;
  for (const auto& entry :
       std::filesystem::directory_iterator(expected.settingsFile.parent_path() / "Reports")) {
    reports.push_back(entry.path());
  }
  ASSERT_EQ(reports.size(), 1U);
  const std::string csv = ReadBytes(reports[0]);
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + static_cast<long>(tickedIps.size()))
      << csv;
  for (const std::string& ip : tickedIps) {
    EXPECT_NE(csv.find("\"" + ip + "\","), std::string::npos) << csv;
  }
  EXPECT_NE(csv.find("\"Verified " + expected.newVersion + "\""), std::string::npos) << csv;
}

}  // namespace

std::vector<std::string> ExpectBatchOfTickedRows(const DriverReport& report,
                                                 const std::string& updaterLog,
                                                 const BatchExpectation& expected) {
  std::vector<std::string> tickedIps;
  ExpectRowsAndMark(report, expected, tickedIps);
  ExpectRuns(updaterLog, expected, tickedIps);
  ExpectReport(expected, tickedIps);
  return tickedIps;
}

}  // namespace quilmarr::test
