#pragma once
// A batch on a console: one line per finished device on standard output
// (tab-separated text, or one JSON object per line), messages on standard
// error, and on a terminal a progress line there, rewritten in place.
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "tools/cli/headless_batch.h"

namespace quilmarr::cli {

enum class DeviceLineFormat { Text, JsonLines };

class ConsoleReporter final : public BatchEvents {
 public:
  ConsoleReporter(std::FILE* out, std::FILE* err, DeviceLineFormat format, bool progressLine)
      : out_(out), err_(err), format_(format), progressLine_(progressLine) {}
  ConsoleReporter(const ConsoleReporter&) = delete;
  ConsoleReporter& operator=(const ConsoleReporter&) = delete;
  ~ConsoleReporter() override { ClearProgress(); }

  void Say(std::u16string_view text) override;
  void Progress(const RunProgress& progress) override;
  void DeviceFinished(const DeviceResult& result, bool succeeded, const BatchInfo& batch) override;
  void Planned(const std::vector<PlannedDevice>& devices, const BatchPlan& plan) override;

 private:
  void ClearProgress();
  void PrintLine(const std::string& line);

  std::FILE* out_;
  std::FILE* err_;
  DeviceLineFormat format_;
  bool progressLine_;
  std::size_t progressWidth_ = 0;  // characters of the progress line shown, 0: none
};

// ip, outcome, system name, IED name, app version before, app version after;
// escaped as every field of the tool's text output.
[[nodiscard]] std::string DeviceTextLine(const DeviceResult& result);

// {"ip":...,"outcome":...,"succeeded":...} with every report column, the
// batch's among them (digests, operator, computer, version) last; one line.
[[nodiscard]] std::string DeviceJsonLine(const DeviceResult& result, bool succeeded,
                                         const BatchInfo& batch);

// A dry run's lines: ip, system name, IED name, boot, application version and
// "would update" per device, and for a target off the adapter's subnet the
// note "not on the adapter's subnet 10.0.0.0/24"; then "package" and
// "updater" with path and SHA-256; escaped as above. With JSON, one object
// per device ("note" only when there is one), then one for the files.
[[nodiscard]] std::vector<std::string> PlanLines(const std::vector<PlannedDevice>& devices,
                                                 const BatchPlan& plan, DeviceLineFormat format);

// RFC 8259 string: quoted, with the quote, the backslash and every control
// character escaped; other characters as UTF-8.
[[nodiscard]] std::string JsonString(std::u16string_view text);

// "Listening: 3 devices heard, 5 s left"; "1 of 3 finished, 1 verifying,
// updating 10.0.0.2 (4 s), 9 min elapsed, about 45 min left". At most 79
// characters, one line of an 80-column terminal, which a carriage return can rewrite:
// the estimate, then the elapsed time give way when it would be longer.
[[nodiscard]] std::string ProgressText(const RunProgress& progress);

}  // namespace quilmarr::cli
