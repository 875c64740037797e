#include "session/batch_checks.h"

#include <filesystem>
#include <system_error>
#include <variant>

#include "platform/sha256.h"
#include "platform/text.h"
#include "update/update_worker.h"

namespace quilmarr {
namespace {

namespace fs = std::filesystem;

std::optional<std::u16string> FirstRepeated(const std::vector<std::u16string>& ips) {
  for (std::size_t i = 0; i < ips.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (EqualsNoCase(ips[i], ips[j])) return ips[i];
    }
  }
  return std::nullopt;
}

bool IsFile(const std::u16string& path) {
  std::error_code error;
  return !path.empty() && fs::is_regular_file(fs::path(path), error);
}

}  // namespace

std::u16string RowRefusal(std::size_t row, std::u16string_view ip, std::u16string_view why) {
  return u"Row " + FromUtf8(std::to_string(row + 1)) + u", " + std::u16string(ip) + u", " +
         std::u16string(why) + u": nothing is updated";
}

std::u16string JoinedList(const std::vector<std::u16string>& texts) {
  std::u16string joined;
  for (const std::u16string& text : texts) joined += (joined.empty() ? u"" : u", ") + text;
  return joined;
}

std::u16string AbsolutePath(const std::u16string& path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(fs::path(path), error);
  return error ? path : absolute.u16string();
}

std::optional<std::u16string> WrongPackageRefusal(const std::optional<std::string>& expected,
                                                  const std::string& actual) {
  if (!expected || actual == *expected) return std::nullopt;
  return u"The package's SHA-256 is " + FromUtf8(actual) + u", not " + FromUtf8(*expected) +
         u": nothing is updated";
}

std::optional<std::u16string> RequestRefusal(const SettingsFile& settings,
                                             const std::u16string& packagePath,
                                             const std::vector<std::u16string>& deviceIps,
                                             const BatchOptionOverrides& overrides,
                                             const std::optional<std::string>& packageSha256) {
  if (settings.FilePath().empty()) return SettingsNotWrittenText(settings);
  if (const auto repeated = FirstRepeated(deviceIps)) {
    return u"Device " + *repeated + u" is given more than once";
  }
  if (const auto options = ReadBatchOptions(settings, overrides);
      const auto* error = std::get_if<std::u16string>(&options)) {
    return *error;
  }
  if (!IsFile(packagePath)) return u"The package file does not exist: " + packagePath;
  // Before the listen, so a wrong package costs no time; an unreadable one is
  // refused by the plan with its own reason.
  if (const auto digest = packageSha256 ? FileSha256(fs::path(packagePath)) : std::nullopt) {
    if (auto wrong = WrongPackageRefusal(packageSha256, *digest)) return wrong;
  }
  const std::u16string exePath =
      settings.ReadString(settings::kSectionPendravel, settings::kKeyExePath, kPathValueCapacity);
  if (exePath.empty()) {
    return WidenCounted(kMissingUpdaterText) + u": [Pendravel] ExePath is empty in " +
           settings.FilePath();
  }
  if (!IsFile(UpdaterProgramPath(exePath))) {
    return u"No updater at " + UpdaterProgramPath(exePath) + u" ([Pendravel] ExePath in " +
           settings.FilePath() + u")";
  }
  return std::nullopt;
}

}  // namespace quilmarr
