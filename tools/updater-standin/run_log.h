#pragma once
// One line per run of the stand-in, tab-separated: start time, end time (unix
// seconds with microseconds), each argument, then the [UDP] "REMOTE_IP" and
// "HOST_IP" values it read at its start. Tabs and line breaks inside a field
// become blanks.
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace quilmarr::standin {

struct RunRecord {
  std::chrono::system_clock::time_point start;
  std::chrono::system_clock::time_point end;
  std::vector<std::string> arguments;
  std::string remoteIp;
  std::string hostIp;
};

[[nodiscard]] std::string FormatRunLine(const RunRecord& run);
// Appends the line with one write. False when the log could not be written.
[[nodiscard]] bool AppendRunLine(const std::filesystem::path& log, const RunRecord& run);

}  // namespace quilmarr::standin
