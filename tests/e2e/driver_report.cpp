#include "tests/e2e/driver_report.h"

#include <sstream>

namespace quilmarr::test {
namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  if (!text.empty() && text.back() == separator) parts.emplace_back();
  return parts;
}

bool TakePrefix(std::string& line, std::string_view prefix) {
  if (line.rfind(prefix, 0) != 0) return false;
  line.erase(0, prefix.size());
  return true;
}

}  // namespace

DriverReport ParseDriverReport(std::string_view output) {
  DriverReport report;
  std::vector<ReportedRow>* stage = nullptr;
  std::istringstream in{std::string(output)};
  for (std::string line; std::getline(in, line);) {
    if (TakePrefix(line, "rows ")) {
      stage = &report.rowsByStage[line];
      stage->clear();
    } else if (TakePrefix(line, "row ")) {
      const auto f = Split(line, '|');
      if (stage != nullptr && f.size() == 8) {
        stage->push_back({f[0] == "x", f[1], f[2], f[3], f[4], f[5], f[6], f[7]});
      }
    } else if (TakePrefix(line, "updating ")) {
      report.updatingSequence.push_back(line);
    } else if (TakePrefix(line, "box ")) {
      report.boxes.push_back(line);
    } else if (TakePrefix(line, "result ")) {
      report.result = line;
    }
  }
  return report;
}

std::vector<UpdaterRun> ParseUpdaterLog(std::string_view log) {
  std::vector<UpdaterRun> runs;
  std::istringstream in{std::string(log)};
  for (std::string line; std::getline(in, line);) {
    const auto f = Split(line, '\t');
    if (f.size() < 4) continue;
    UpdaterRun run;
    run.start = std::stod(f[0]);
    run.end = std::stod(f[1]);
    run.arguments.assign(f.begin() + 2, f.end() - 2);
    run.remoteIp = f[f.size() - 2];
    run.hostIp = f.back();
    runs.push_back(run);
  }
  return runs;
}

}  // namespace quilmarr::test
