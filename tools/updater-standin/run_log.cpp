#include "run_log.h"

#include <cstdint>
#include <cstdio>
#include <fstream>

namespace quilmarr::standin {
namespace {

[[nodiscard]] std::string FormatTime(std::chrono::system_clock::time_point time) {
  const auto micros =
      std::chrono::duration_cast<std::chrono::microseconds>(time.time_since_epoch()).count();
  char text[32];
  std::snprintf(text, sizeof text, "%lld.%06lld", static_cast<long long>(micros / 1000000),
                static_cast<long long>(micros % 1000000));
  return text;
}

[[nodiscard]] std::string Field(std::string text) {
  for (char& c : text) {
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

}  // namespace

std::string FormatRunLine(const RunRecord& run) {
  std::string line = FormatTime(run.start) + '\t' + FormatTime(run.end);
  for (const std::string& argument : run.arguments) line += '\t' + Field(argument);
  line += '\t' + Field(run.remoteIp) + '\t' + Field(run.hostIp) + '\n';
  return line;
}

bool AppendRunLine(const std::filesystem::path& log, const RunRecord& run) {
  std::ofstream out(log, std::ios::binary | std::ios::app);
  out << FormatRunLine(run);
  return static_cast<bool>(out.flush());
}

}  // namespace quilmarr::standin
