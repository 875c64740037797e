// audit: the devices heard on a segment, or in a saved capture, against the
// site's roster; one line per device, nothing written.
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <variant>

#include "discovery/capture_file.h"
#include "inventory/device_table.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "session/site_audit.h"
#include "tools/cli/batch_console.h"
#include "tools/cli/commands.h"
#include "update/site_roster.h"

namespace quilmarr::cli {
namespace {

struct AuditArguments {
  std::string adapterIp;
  std::string capturePath;
  std::string rosterPath;
  double listenSeconds = 7;
  bool json = false;
};

constexpr const char* kAuditFooter =
    "Compares the devices heard on the adapter (or in a saved capture, every device in it)\n"
    "with the roster, a CSV file with the columns IP, System Name, IED Name, Target App\n"
    "Version and Update. Standard output: one line per roster row in roster order, then one\n"
    "per device heard but not listed: ip, state, system name, IED name, app version, target;\n"
    "with --json one JSON object per line. Nothing is written.\n"
    "States: OK, Off target, Identity mismatch, Missing, Unexpected, Address conflict.\n"
    "Exit status: 0 every row OK; 1 any other state; 2 the audit could not run (bad\n"
    "arguments, roster refused, adapter or capture unusable).";

// Every frame stamped with one time: a saved capture lists every device in it,
// as `table` does.
class FixedClock final : public Clock {
 public:
  [[nodiscard]] UnixSeconds Now() const override { return now_; }
  [[nodiscard]] std::int64_t SteadySeconds() const override { return 0; }

 private:
  UnixSeconds now_ = SystemClock().Now();
};

bool HeardOnAdapter(const AuditArguments& arguments, DeviceTable& table) {
  switch (ListenOnAdapter(arguments.adapterIp, arguments.listenSeconds, table)) {
    case ListenEnd::Listened: return true;
    case ListenEnd::OpenFailed: std::cerr << kOpenAdapterFailed << '\n'; return false;
    case ListenEnd::ReadFailed: std::cerr << kAdapterReadFailed << '\n'; return false;
    case ListenEnd::NoAdapters:
    case ListenEnd::NoSuchAdapter: return false;
  }
  return false;
}

std::string AuditLine(const AuditRow& row, bool json) {
  const std::u16string_view state = AuditStateText(row.state);
  if (!json) {
    return JoinFields(
        {row.ip, state, row.systemName, row.iedName, row.appVersion, row.targetVersion});
  }
  return "{\"ip\":" + JsonString(row.ip) + ",\"state\":" + JsonString(state) +
         ",\"systemName\":" + JsonString(row.systemName) +
         ",\"iedName\":" + JsonString(row.iedName) +
         ",\"appVersion\":" + JsonString(row.appVersion) +
         ",\"targetVersion\":" + JsonString(row.targetVersion) + '}';
}

int Audit(const AuditArguments& arguments) {
  auto roster = ReadSiteRoster(FromUtf8(arguments.rosterPath));
  if (const auto* refusal = std::get_if<std::u16string>(&roster)) {
    std::cerr << "quilmarr-cli: " << ToUtf8(*refusal) << '\n';
    return kUsageError;
  }
  DeviceTable table;
  UnixSeconds now = 0;
  if (arguments.capturePath.empty()) {
    if (!HeardOnAdapter(arguments, table)) return kUsageError;
    now = SystemClock().Now();
  } else {
    const FixedClock clock;
    const std::string error = ReadCaptureFile(
        arguments.capturePath,
        [&](std::span<const std::uint8_t> frame) { ProcessCapturedFrame(frame, table, clock); });
    if (!error.empty()) {
      std::cerr << "quilmarr-cli: cannot read " << arguments.capturePath << ": " << error << '\n';
      return kUsageError;
    }
    now = clock.Now();
  }
  const auto rows = AuditSite(std::get<SiteRoster>(roster), table, now);
  for (const AuditRow& row : rows) std::cout << AuditLine(row, arguments.json) << '\n';
  return AuditPassed(rows) ? 0 : 1;
}

}  // namespace

void AddAuditCommand(CLI::App& app, int& status) {
  auto arguments = std::make_shared<AuditArguments>();
  CLI::App* audit = app.add_subcommand("audit", "Compare the devices heard with the site's roster");
  audit->footer(kAuditFooter);
  CLI::Option_group* source = audit->add_option_group("source", "where devices are heard (one of)");
  CLI::Option* adapter = source
                             ->add_option("--adapter", arguments->adapterIp,
                                          "IPv4 address of the adapter to listen on")
                             ->type_name("IP");
  source->add_option("--capture", arguments->capturePath, "a saved pcap/pcapng capture instead")
      ->type_name("FILE");
  source->require_option(1);
  audit->add_option("--roster", arguments->rosterPath, "the site's roster (CSV)")
      ->type_name("FILE")
      ->required();
  audit->add_option("--listen-seconds", arguments->listenSeconds, "how long to listen")
      ->capture_default_str()
      ->needs(adapter)
      ->check(CLI::Validator(ListenSecondsError, "SECONDS"));
  audit->add_flag("--json", arguments->json, "one JSON object per line");
  audit->callback([arguments, &status] { status = Audit(*arguments); });
}

}  // namespace quilmarr::cli
