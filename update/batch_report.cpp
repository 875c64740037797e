#include "update/batch_report.h"

#include <filesystem>
#include <mutex>
#include <set>
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
                               u"Quilmarr version"});
  const BatchInfo& info = outcomes.Info();
  for (const DeviceResult& result : outcomes.Results()) {
    const std::u16string exitStatus =
        result.exitStatus ? FromUtf8(std::to_string(*result.exitStatus)) : std::u16string();
    csv += CsvRecord({result.ip, result.systemName, result.iedName, result.bootVersion,
                      result.appVersionBefore, result.appVersionAfter, TimeField(result.start),
                      TimeField(result.end), exitStatus, OutcomeText(result), info.packagePath,
                      info.adapterIp, FromUtf8(info.packageSha256), FromUtf8(info.updaterSha256),
                      info.operatorName, info.computerName, info.toolVersion});
  }
  return csv;
}

std::u16string BatchReportPath(const SettingsFile& settings, UnixSeconds start) {
  if (settings.Folder().empty()) return {};
  const std::u16string stem = settings.Folder() + u"Reports" + PathSeparator() + u"batch-" +
                              FromUtf8(FileNameLocalTime(start));
  // The report is written when the batch is over, so a name is taken both by a
  // file on disk and by a batch of this process that has not written yet.
  static std::mutex mutex;
  static std::set<std::u16string> handedOut;
  const std::lock_guard lock(mutex);
  for (unsigned n = 1;; ++n) {
    std::u16string path = stem;
    if (n > 1) (path += u'-') += FromUtf8(std::to_string(n));
    path += u".csv";
    std::error_code error;  // a name that cannot be looked at counts as free: writing tells
    if (!std::filesystem::exists(std::filesystem::symlink_status(path, error)) &&
        handedOut.insert(path).second) {
      return path;
    }
  }
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
