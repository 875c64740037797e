#include "tools/cli/batch_console.h"

#include <cstdio>
#include <optional>

#include "platform/local_time.h"
#include "platform/text.h"
#include "tools/cli/commands.h"

namespace quilmarr::cli {
namespace {

std::string JsonTime(const std::optional<UnixSeconds>& time) {
  return time ? JsonString(FromUtf8(Iso8601LocalTime(*time))) : "null";
}

std::string Count(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + ' ' + (count == 1 ? one : many);
}

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

std::string DeviceJsonLine(const DeviceResult& result, bool succeeded) {
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
  return line + '}';
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

void ConsoleReporter::DeviceFinished(const DeviceResult& result, bool succeeded) {
  ClearProgress();
  const std::string line = format_ == DeviceLineFormat::JsonLines
                               ? DeviceJsonLine(result, succeeded)
                               : DeviceTextLine(result);
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
