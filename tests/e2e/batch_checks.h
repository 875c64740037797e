#pragma once
// What a window's batch of ticked devices must have done, whichever front end
// ran it: the rows before and after, the "Updating" mark, the updater's runs
// and the batch report.
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/driver_report.h"

namespace quilmarr::test {

struct BatchExpectation {
  std::vector<int> tickedRows;  // rows of the "devices" stage, top first
  std::string oldVersion;
  std::string newVersion;
  std::string adapterIp;
  std::string package;
  std::filesystem::path settingsFile;
};

// Checks with EXPECT/ASSERT; returns the ticked devices' addresses in row order.
std::vector<std::string> ExpectBatchOfTickedRows(const DriverReport& report,
                                                 const std::string& updaterLog,
                                                 const BatchExpectation& expected);

}  // namespace quilmarr::test
