#include "tools/cli/batch_console.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "platform/local_time.h"
#include "platform/text.h"
#include "session/off_subnet.h"
#include "tools/cli/commands.h"

namespace quilmarr::cli {
namespace {

std::string JsonTime(const std::optional<UnixSeconds>& time) {
  return time ? JsonString(FromUtf8(Iso8601LocalTime(*time))) : "null";
}

std::string Count(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + ' ' + (count == 1 ? one : many);
}

// Whole seconds under a minute, whole minutes under an hour, then hours and
// minutes: as precise as a glance at a progress line needs.
std::string Duration(std::chrono::seconds time) {
  const long long s = time.count();
  if (s < 60) return std::to_string(s) + " s";
  if (s < 3600) return std::to_string(s / 60) + " min";
  return std::to_string(s / 3600) + " h " + std::to_string(s % 3600 / 60) + " min";
}

// One line of an 80-column terminal, less the last column: a console that
// wraps as soon as it is written (Windows') would move the line down.
constexpr std::size_t kProgressWidth = 79;

}  // namespace

std::string JsonString(std::u16string_view text) {
  std::string json = "\"";
  for (const char c : ToUtf8(text)) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"': json += "\\\""; break;
      case '\\': json += "\\\\"; break;
      case '\n': json += "\\n"; break;
      case '\r': json += "\\r"; break;
      case '\t': json += "\\t"; break;
      default:
        if (byte < 0x20 || byte == 0x7F) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(byte));
          json += escaped;
        } else {
          json += c;
        }
    }
  }
  return json + '"';
}

std::string DeviceTextLine(const DeviceResult& result) {
  return JoinFields({result.ip, OutcomeText(result), result.systemName, result.iedName,
                     result.appVersionBefore, result.appVersionAfter});
}

std::string DeviceJsonLine(const DeviceResult& result, bool succeeded, const BatchInfo& batch) {
  std::string line = "{\"ip\":" + JsonString(result.ip);
  line += ",\"outcome\":" + JsonString(OutcomeText(result));
  line += std::string(",\"succeeded\":") + (succeeded ? "true" : "false");
  line += ",\"systemName\":" + JsonString(result.systemName);
  line += ",\"iedName\":" + JsonString(result.iedName);
  line += ",\"bootVersion\":" + JsonString(result.bootVersion);
  line += ",\"appVersionBefore\":" + JsonString(result.appVersionBefore);
  line += ",\"appVersionAfter\":" + JsonString(result.appVersionAfter);
  line += ",\"updaterStart\":" + JsonTime(result.start);
  line += ",\"updaterEnd\":" + JsonTime(result.end);
  line += ",\"exitStatus\":" +
          (result.exitStatus ? std::to_string(*result.exitStatus) : std::string("null"));
  line += ",\"packageSha256\":" + JsonString(FromUtf8(batch.packageSha256));
  line += ",\"updaterSha256\":" + JsonString(FromUtf8(batch.updaterSha256));
  line += ",\"operator\":" + JsonString(batch.operatorName);
  line += ",\"computer\":" + JsonString(batch.computerName);
  line += ",\"quilmarrVersion\":" + JsonString(batch.toolVersion);
  line += std::string(",\"changed\":") + (DeviceChanged(result) ? "true" : "false");
  return line + '}';
}

std::vector<std::string> PlanLines(const std::vector<PlannedDevice>& devices, const BatchPlan& plan,
                                   DeviceLineFormat format) {
  std::vector<std::string> lines;
  const std::u16string package = FromUtf8(plan.packageSha256);
  const std::u16string updater = FromUtf8(plan.updaterSha256);
  for (const PlannedDevice& d : devices) {
    const bool offSubnet =
        std::find(plan.offSubnet.begin(), plan.offSubnet.end(), d.ip) != plan.offSubnet.end();
    const std::u16string note = offSubnet ? OffSubnetNote(plan.adapterSubnet) : u"";
    lines.push_back(
        format == DeviceLineFormat::Text
            ? JoinFields({d.ip, d.systemName, d.iedName, d.bootVersion, d.appVersion, d.action}) +
                  (offSubnet ? '\t' + EscapeField(note) : "")
            : "{\"ip\":" + JsonString(d.ip) + ",\"systemName\":" + JsonString(d.systemName) +
                  ",\"iedName\":" + JsonString(d.iedName) + ",\"bootVersion\":" +
                  JsonString(d.bootVersion) + ",\"appVersion\":" + JsonString(d.appVersion) +
                  ",\"action\":" + JsonString(d.action) +
                  (offSubnet ? ",\"note\":" + JsonString(note) : "") + '}');
  }
  const std::u16string& packagePath = plan.request.packagePath;
  if (format == DeviceLineFormat::Text) {
    lines.push_back(JoinFields({u"package", packagePath, package}));
    lines.push_back(JoinFields({u"updater", plan.updaterPath, updater}));
  } else {
    lines.push_back("{\"package\":" + JsonString(packagePath) + ",\"packageSha256\":" +
                    JsonString(package) + ",\"updater\":" + JsonString(plan.updaterPath) +
                    ",\"updaterSha256\":" + JsonString(updater) + '}');
  }
  return lines;
}

std::string ProgressText(const RunProgress& run) {
  if (run.listening) {
    return "Listening: " + Count(run.heard, "device", "devices") + " heard, " +
           std::to_string(run.listenLeft.count()) + " s left";
  }
  const BatchProgress& progress = run.batch;
  std::string text =
      std::to_string(progress.finished) + " of " + std::to_string(progress.total) + " finished";
  if (progress.watched > 0) {
    text += ", " + std::to_string(progress.watched) + " verifying";
  }
  if (!progress.updatingIp.empty()) {
    text += ", updating " + ToUtf8(progress.updatingIp) + " (" +
            std::to_string(progress.updatingFor.count()) + " s)";
  }
  const std::string elapsed = ", " + Duration(run.batch.elapsed) + " elapsed";
  const std::string left = run.batch.left ? ", about " + Duration(*run.batch.left) + " left" : "";
  for (const std::string& tail : {elapsed + left, elapsed}) {
    if (text.size() + tail.size() <= kProgressWidth) return text + tail;
  }
  return text;
}

void ConsoleReporter::Say(std::u16string_view text) {
  ClearProgress();
  std::fputs(("quilmarr-cli: " + ToUtf8(text) + '\n').c_str(), err_);
  std::fflush(err_);
}

void ConsoleReporter::Progress(const RunProgress& progress) {
  if (!progressLine_) return;
  std::string line = ProgressText(progress);
  const std::size_t width = line.size();
  // Blanks over the rest of a longer earlier line: no terminal control sequences.
  if (width < progressWidth_) line.append(progressWidth_ - width, ' ');
  std::fputs(('\r' + line).c_str(), err_);
  std::fflush(err_);
  progressWidth_ = width;
}

void ConsoleReporter::DeviceFinished(const DeviceResult& result, bool succeeded,
                                     const BatchInfo& batch) {
  PrintLine(format_ == DeviceLineFormat::JsonLines ? DeviceJsonLine(result, succeeded, batch)
                                                   : DeviceTextLine(result));
}

void ConsoleReporter::Planned(const std::vector<PlannedDevice>& devices, const BatchPlan& plan) {
  for (const std::string& line : PlanLines(devices, plan, format_)) PrintLine(line);
}

void ConsoleReporter::PrintLine(const std::string& line) {
  ClearProgress();
  std::fputs((line + '\n').c_str(), out_);
  std::fflush(out_);
}

void ConsoleReporter::ClearProgress() {
  if (progressWidth_ == 0) return;
  std::fputs(('\r' + std::string(progressWidth_, ' ') + '\r').c_str(), err_);
  std::fflush(err_);
  progressWidth_ = 0;
}

}  // namespace quilmarr::cli
