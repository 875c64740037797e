#include "update/batch_report.h"

#include <filesystem>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/csv.h"
#include "platform/folders.h"
#include "platform/local_time.h"
#include "platform/text.h"

namespace quilmarr {
namespace {

std::u16string TimeField(const std::optional<UnixSeconds>& time) {
  return time ? FromUtf8(Iso8601LocalTime(*time)) : std::u16string();
}

}  // namespace

std::string BatchReportCsv(const BatchOutcomes& outcomes) {
  std::string csv = CsvRecord({u"IP", u"System name", u"IED name", u"Boot version",
                               u"App version before", u"App version after", u"Updater start",
                               u"Updater end", u"Exit status", u"Outcome", u"Package", u"Adapter",
                               // Appended, so readers of the earlier columns keep working.
                               u"Package SHA-256", u"Updater SHA-256", u"Operator", u"Computer",
                               u"Quilmarr version", u"Target version"});
  const BatchInfo& info = outcomes.Info();
  for (const DeviceResult& result : outcomes.Results()) {
    const std::u16string exitStatus =
        result.exitStatus ? FromUtf8(std::to_string(*result.exitStatus)) : std::u16string();
    csv +=
        CsvRecord({result.ip, result.systemName, result.iedName, result.bootVersion,
                   result.appVersionBefore, result.appVersionAfter, TimeField(result.start),
                   TimeField(result.end), exitStatus, OutcomeText(result), info.packagePath,
                   info.adapterIp, FromUtf8(info.packageSha256), FromUtf8(info.updaterSha256),
                   info.operatorName, info.computerName, info.toolVersion, result.targetVersion});
  }
  return csv;
}

std::u16string BatchReportPath(const SettingsFile& settings, UnixSeconds start) {
  if (settings.Folder().empty()) return {};
  const std::u16string folder = settings.Folder() + u"Reports";
  const std::u16string stem =
      folder + PathSeparator() + u"batch-" + FromUtf8(FileNameLocalTime(start));
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(folder), error);
  // The report is written when the batch is over; its name is taken now, in
  // the file system, so a batch of another process that starts in the same
  // second gets another one.
  for (unsigned n = 1; n < 10000; ++n) {
    std::u16string path = stem;
    if (n > 1) (path += u'-') += FromUtf8(std::to_string(n));
    path += u".csv";
    if (CreateNewFile(std::filesystem::path(path))) return path;
    if (!std::filesystem::exists(std::filesystem::symlink_status(path, error))) break;
  }
  return stem + u".csv";  // cannot be made: writing the report tells
}

bool WriteBatchReport(const std::u16string& path, const BatchOutcomes& outcomes) {
  if (path.empty()) return false;
  const std::filesystem::path file(path);
  std::error_code error;
  std::filesystem::create_directories(file.parent_path(), error);
  if (error) return false;
  return ReplaceFileAtomically(file, BatchReportCsv(outcomes));
}

std::u16string ReportNotWrittenText(const std::u16string& path) {
  return u"The batch report could not be written: " +
         (path.empty() ? std::u16string(u"the settings folder is unknown") : path);
}

}  // namespace quilmarr
