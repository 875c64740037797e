#include "session/batch_journal.h"

#include <charconv>
#include <cstdio>
#include <system_error>

#include "platform/atomic_file.h"
#include "platform/file_lock.h"
#include "platform/local_time.h"
#include "platform/text.h"
#include "update/batch_report.h"

namespace quilmarr {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kFirstLine = "Quilmarr batch journal 1";
constexpr std::string_view kLastLine = "end";

// Names and versions come from the wire: every field is escaped, so none can
// add a line or a field to the journal.
std::string Escaped(std::u16string_view text) {
  std::string out;
  for (const char c : ToUtf8(text)) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\' || byte < 0x20 || byte == 0x7F) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}

std::optional<std::u16string> Unescaped(std::string_view field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\') {
      out += field[i];
      continue;
    }
    unsigned value = 0;
    if (i + 3 >= field.size() + 0 || field[i + 1] != 'x' ||
        std::from_chars(field.data() + i + 2, field.data() + i + 4, value, 16).ptr !=
            field.data() + i + 4) {
      return std::nullopt;
    }
    out += static_cast<char>(value);
    i += 3;
  }
  return FromUtf8(out);
}

std::vector<std::string_view> Split(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t start = 0;;) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string Number(std::int64_t value) { return std::to_string(value); }

std::string OptionalTime(const std::optional<UnixSeconds>& time) {
  return time ? Number(*time) : std::string("-");
}

std::optional<std::optional<UnixSeconds>> ParseOptionalTime(std::string_view text) {
  if (text == "-") return std::optional<UnixSeconds>();
  if (const auto value = ParseNumber<UnixSeconds>(text)) return std::optional<UnixSeconds>(*value);
  return std::nullopt;
}

std::string DeviceLine(const DeviceResult& device) {
  std::string line = "device\t" + Escaped(device.ip);
  line += '\t' + Number(static_cast<int>(device.outcome));
  line += '\t' + (device.exitStatus ? Number(*device.exitStatus) : std::string("-"));
  line += '\t' + OptionalTime(device.start) + '\t' + OptionalTime(device.end);
  for (const std::u16string* text :
       {&device.systemName, &device.iedName, &device.bootVersion, &device.appVersionBefore,
        &device.appVersionAfter, &device.targetVersion}) {
    line += '\t' + Escaped(*text);
  }
  return line;
}

std::optional<DeviceResult> ParseDevice(const std::vector<std::string_view>& f) {
  if (f.size() != 11 && f.size() != 12) return std::nullopt;  // 11: no target version
  DeviceResult device;
  const auto ip = Unescaped(f[1]);
  const auto outcome = ParseNumber<int>(f[2]);
  const auto start = ParseOptionalTime(f[4]);
  const auto end = ParseOptionalTime(f[5]);
  if (!ip || !outcome || *outcome < 0 || *outcome > static_cast<int>(DeviceOutcome::Interrupted) ||
      !start || !end) {
    return std::nullopt;
  }
  device.ip = *ip;
  device.outcome = static_cast<DeviceOutcome>(*outcome);
  if (f[3] != "-") {
    const auto exit = ParseNumber<int>(f[3]);
    if (!exit) return std::nullopt;
    device.exitStatus = *exit;
  }
  device.start = *start;
  device.end = *end;
  std::u16string* texts[] = {&device.systemName,      &device.iedName,
                             &device.bootVersion,     &device.appVersionBefore,
                             &device.appVersionAfter, &device.targetVersion};
  for (std::size_t i = 0; i + 6 < f.size(); ++i) {
    const auto text = Unescaped(f[6 + i]);
    if (!text) return std::nullopt;
    *texts[i] = *text;
  }
  return device;
}

std::string KeyLine(std::string_view name, const UdpKeyBefore& key) {
  return std::string(name) + (key.present ? "\tpresent\t" : "\tabsent\t") + Escaped(key.value);
}

std::u16string SetAside(const fs::path& journal) {
  std::error_code error;
  for (unsigned n = 1; n < 1000; ++n) {
    fs::path aside = journal;
    aside += ".unreadable" + (n > 1 ? "-" + std::to_string(n) : std::string());
    if (fs::exists(aside, error)) continue;
    fs::rename(journal, aside, error);
    return error ? std::u16string() : aside.u16string();
  }
  return {};
}

}  // namespace

fs::path JournalPath(const SettingsFile& settings) {
  const std::u16string file = settings.FilePath();
  return file.empty() ? fs::path() : fs::path(file + u".journal");
}

fs::path LockPath(const SettingsFile& settings) {
  const std::u16string file = settings.FilePath();
  return file.empty() ? fs::path() : fs::path(file + u".lock");
}

std::string JournalText(const BatchJournal& journal) {
  const BatchInfo& info = journal.info;
  std::string text = std::string(kFirstLine) + '\n';
  text += KeyLine("REMOTE_IP", journal.udp.remoteIp) + '\n';
  text += KeyLine("HOST_IP", journal.udp.hostIp) + '\n';
  text += "start\t" + Number(info.start) + '\n';
  text += "verify\t" + Number(info.verifyFor.count()) + '\n';
  text += "package\t" + Escaped(info.packagePath) + '\t' + info.packageSha256 + '\n';
  text += "updater\t" + info.updaterSha256 + '\n';
  text += "adapter\t" + Escaped(info.adapterIp) + '\n';
  text += "operator\t" + Escaped(info.operatorName) + '\t' + Escaped(info.computerName) + '\t' +
          Escaped(info.toolVersion) + '\n';
  text += "report\t" + Escaped(journal.reportPath) + '\n';
  if (journal.udpPutBack) text += "udp\tput back\n";
  if (const auto& updater = journal.updater) {
    text += "updater\t" + Number(updater->id) + '\t' + std::to_string(updater->start) + '\n';
  }
  for (const DeviceResult& device : journal.devices) text += DeviceLine(device) + '\n';
  return text + std::string(kLastLine) + '\n';
}

std::optional<BatchJournal> ParseJournal(std::string_view text) {
  std::vector<std::vector<std::string_view>> lines;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) return std::nullopt;  // cut short
    lines.push_back(Split(text.substr(start, end - start)));
    start = end + 1;
  }
  if (lines.size() < 10 || lines.front() != std::vector<std::string_view>{kFirstLine} ||
      lines.back() != std::vector<std::string_view>{kLastLine}) {
    return std::nullopt;
  }
  BatchJournal journal;
  const auto key = [](const std::vector<std::string_view>& f, std::string_view name,
                      UdpKeyBefore& into) {
    if (f.size() != 3 || f[0] != name || (f[1] != "present" && f[1] != "absent")) return false;
    const auto value = Unescaped(f[2]);
    into = {f[1] == "present", value.value_or(u"")};
    return value.has_value();
  };
  const auto field = [&](std::size_t line, std::string_view name, std::size_t count) {
    return lines[line].size() == count && lines[line][0] == name;
  };
  BatchInfo& info = journal.info;
  const auto start = ParseNumber<UnixSeconds>(lines[3].size() == 2 ? lines[3][1] : "");
  const auto verify = ParseNumber<std::int64_t>(lines[4].size() == 2 ? lines[4][1] : "");
  if (!key(lines[1], "REMOTE_IP", journal.udp.remoteIp) ||
      !key(lines[2], "HOST_IP", journal.udp.hostIp) || !field(3, "start", 2) || !start ||
      !field(4, "verify", 2) || !verify || !field(5, "package", 3) || !field(6, "updater", 2) ||
      !field(7, "adapter", 2) || !field(8, "operator", 4)) {
    return std::nullopt;
  }
  info.start = *start;
  info.verifyFor = std::chrono::seconds(*verify);
  const auto package = Unescaped(lines[5][1]);
  const auto adapter = Unescaped(lines[7][1]);
  const auto operatorName = Unescaped(lines[8][1]);
  const auto computer = Unescaped(lines[8][2]);
  const auto version = Unescaped(lines[8][3]);
  if (!package || !adapter || !operatorName || !computer || !version) return std::nullopt;
  info.packagePath = *package;
  info.packageSha256 = lines[5][2];
  info.updaterSha256 = lines[6][1];
  info.adapterIp = *adapter;
  info.operatorName = *operatorName;
  info.computerName = *computer;
  info.toolVersion = *version;
  std::size_t i = 9;
  for (; i + 1 < lines.size() && lines[i][0] != "device"; ++i) {
    const auto& f = lines[i];
    if (f[0] == "report" && f.size() == 2) {
      const auto path = Unescaped(f[1]);
      if (!path) return std::nullopt;
      journal.reportPath = *path;
    } else if (f[0] == "udp" && f.size() == 2 && f[1] == "put back") {
      journal.udpPutBack = true;
    } else if (f[0] == "updater" && f.size() == 3) {
      const auto id = ParseNumber<std::int64_t>(f[1]);
      const auto startTime = ParseNumber<std::uint64_t>(f[2]);
      if (!id || !startTime) return std::nullopt;
      journal.updater = ProcessIdentity{*id, *startTime};
    } else {
      return std::nullopt;
    }
  }
  for (; i + 1 < lines.size(); ++i) {
    if (lines[i][0] != "device") return std::nullopt;
    auto device = ParseDevice(lines[i]);
    if (!device) return std::nullopt;
    journal.devices.push_back(std::move(*device));
  }
  return journal;
}

namespace {

std::optional<BatchJournal> ReadJournal(const fs::path& file) {
  const std::optional<std::string> text = ReadFileBytes(file);
  return text ? ParseJournal(*text) : std::nullopt;
}

bool UpdaterStillRuns(const BatchJournal& journal) {
  return journal.updater && ProcessStillRuns(*journal.updater);
}

std::u16string UpdaterRunningText(const BatchJournal& journal, const SettingsFile& settings) {
  std::u16string device;
  for (const DeviceResult& result : journal.devices) {
    if (result.outcome == DeviceOutcome::Updating) device = u", device " + result.ip;
  }
  return u"Pendravel.exe (process " + FromUtf8(Number(journal.updater->id)) + device +
         u"), started by an earlier batch, still runs: wait until it has ended. Nothing is "
         u"updated, and [UDP] in " +
         settings.FilePath() + u" is left as it is until then.";
}

}  // namespace

std::u16string KeptJournalText(const SettingsFile& settings) {
  return u"[UDP] in " + settings.FilePath() +
         u" could not be put back after a batch; its journal " + JournalPath(settings).u16string() +
         u" is kept, and no batch starts until the settings file can be written.";
}

std::u16string AnotherBatchText(const SettingsFile& settings) {
  return u"Another batch is using the settings file " + settings.FilePath() +
         u": wait until it has ended.";
}

std::optional<std::u16string> EarlierBatchRefusal(const SettingsFile& settings, bool dryRun) {
  FileLock probe;
  if (!probe.TryLock(LockPath(settings))) return AnotherBatchText(settings);
  const fs::path file = JournalPath(settings);
  std::error_code error;
  if (file.empty() || !fs::exists(file, error)) return std::nullopt;
  const std::optional<BatchJournal> journal = ReadJournal(file);
  if (!journal) return std::nullopt;  // set aside by the recovery
  if (UpdaterStillRuns(*journal)) return UpdaterRunningText(*journal, settings);
  if (dryRun) return std::nullopt;
  return KeptJournalText(settings);
}

std::optional<std::u16string> RecoverInterruptedBatch(SettingsFile& settings, bool dryRun) {
  settings.ResolveFolder();
  const fs::path journalFile = JournalPath(settings);
  std::error_code error;
  if (journalFile.empty() || !fs::exists(journalFile, error)) return std::nullopt;
  // The batch's process holds the lock while it runs; the system releases it
  // when that process ends, however it ends. Its updater may outlive it.
  FileLock lock;
  if (!lock.TryLock(LockPath(settings))) return std::nullopt;
  const std::optional<BatchJournal> journal = ReadJournal(journalFile);
  if (journal && UpdaterStillRuns(*journal)) return std::nullopt;

  const std::u16string settingsPath = settings.FilePath();
  if (dryRun) {
    return u"An earlier batch was ended before it finished: a real run first puts back [UDP] as "
           u"its journal " +
           journalFile.u16string() + u" says";
  }
  if (!journal) {
    const std::u16string aside = SetAside(journalFile);
    return u"The journal of an earlier batch, " + journalFile.u16string() + u", could not be read" +
           (aside.empty() ? u"" : u" and was set aside as " + aside) + u". [UDP] in " +
           settingsPath +
           u" was left as it is: check REMOTE_IP and HOST_IP before the next update.";
  }
  if (!journal->udpPutBack && !PutBackUdp(settings, journal->udp)) {
    return u"An earlier batch was ended before it finished. " + KeptJournalText(settings);
  }
  BatchOutcomes outcomes(journal->info, journal->devices);
  outcomes.EndedFromOutside();
  const std::u16string reportPath = journal->reportPath.empty()
                                        ? BatchReportPath(settings, journal->info.start)
                                        : journal->reportPath;
  const bool written = WriteBatchReport(reportPath, outcomes);
  fs::remove(journalFile, error);
  return u"An earlier batch (started " + FromUtf8(Iso8601LocalTime(journal->info.start)) +
         u") was ended before it finished. " +
         (journal->udpPutBack ? u"[UDP] had been put back. "
                              : u"[UDP] REMOTE_IP and HOST_IP in " + settingsPath +
                                    u" were put back as it found them. ") +
         (written ? u"Its report was written to " + reportPath + u"."
                  : ReportNotWrittenText(reportPath) + u".");
}

}  // namespace quilmarr
