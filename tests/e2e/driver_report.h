#pragma once
// The demo driver's standard output, read back into what the window showed.
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quilmarr::test {

struct ReportedRow {
  bool ticked = false;
  std::string ip;
  std::string systemName;
  std::string iedName;
  std::string bootVersion;
  std::string originalAppVersion;
  std::string currentAppVersion;
  std::string status;
  friend bool operator==(const ReportedRow&, const ReportedRow&) = default;
};

struct DriverReport {
  std::map<std::string, std::vector<ReportedRow>> rowsByStage;
  std::vector<std::string> updatingSequence;  // each row the "Updating" mark reached
  std::vector<std::string> boxes;             // "CAPTION: TEXT"
  std::string result;                         // "ok" or "failed: WHY"
};

[[nodiscard]] DriverReport ParseDriverReport(std::string_view output);

// One line of the stand-in updater's log.
struct UpdaterRun {
  double start = 0;
  double end = 0;
  std::vector<std::string> arguments;
  std::string remoteIp;
  std::string hostIp;
};

[[nodiscard]] std::vector<UpdaterRun> ParseUpdaterLog(std::string_view log);

}  // namespace quilmarr::test
