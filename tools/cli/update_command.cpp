// update: a batch update from the command line, for orchestration tools run
// on a station's PC; the same worker, job, settings file and report as the
// window's Batch Update.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "app/platform_services.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/ini.h"
#include "platform/process.h"
#include "platform/text.h"
#include "tools/cli/batch_console.h"
#include "tools/cli/commands.h"
#include "tools/cli/headless_batch.h"
#include "platform/local_time.h"
#include "update/batch_options.h"
#include "update/batch_outcomes.h"

namespace quilmarr::cli {
namespace {

// Set from a signal handler, so it must be lock-free.
std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnInterruptSignal(int /*signal*/) { g_interrupted.store(true); }

struct UpdateArguments {
  std::string adapterIp;
  std::string packagePath;
  std::vector<std::string> deviceIps;
  bool allHeard = false;
  double listenSeconds = 7;
  std::string verifySeconds;
  std::string timeoutSeconds;
  std::string reportPath;
  bool json = false;
  std::string packageSha256;
  bool dryRun = false;
  std::string targetVersion;
  bool allowDowngrade = false;
  bool force = false;
  std::string maxFailures;
  std::size_t maxDevices = 0;
  std::string finishBy;
  std::string rosterPath;
};

// HH:MM of a 24-hour clock.
std::optional<std::pair<int, int>> ParseTimeOfDay(const std::string& text) {
  if (text.size() != 5 || text[2] != ':') return std::nullopt;
  for (const std::size_t i : {0u, 1u, 3u, 4u}) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
  }
  const int hour = (text[0] - '0') * 10 + (text[1] - '0');
  const int minute = (text[3] - '0') * 10 + (text[4] - '0');
  if (hour > 23 || minute > 59) return std::nullopt;
  return std::pair{hour, minute};
}

constexpr const char* kUpdateFooter =
    "Listens on the adapter, then runs <ExePath>Pendravel.exe <package> -P255 once per device,\n"
    "one after another, as the window's Batch Update does, and keeps listening until each\n"
    "device is heard back with a new application version or its verification time is over.\n"
    "Standard output: one line per device as its outcome is final; with --json one JSON object\n"
    "per line (JSON Lines). Messages and the report's path go to standard error.\n"
    "--dry-run: the listen and every check, then the plan on standard output (one line per\n"
    "device, then the package and the updater with their SHA-256); nothing written or run.\n"
    "Ctrl-C, SIGTERM, SIGHUP or SIGQUIT: the running updater finishes, the remaining devices\n"
    "are skipped, the report is written and [UDP] put back.\n"
    "Exit status: 0 every device verified (or done, with --verify-seconds 0); 1 the batch ran\n"
    "but not every device ended so, was interrupted, or its report could not be written;\n"
    "2 nothing was updated (bad arguments, adapter, devices, package, updater or settings file,\n"
    "or another batch using the settings file). --dry-run: 0 when a batch would start, else 2.";

}  // namespace

// CLI11's Range lets NaN through (every comparison with it is false).
std::string ListenSecondsError(const std::string& text) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  const bool whole = !text.empty() && end == text.c_str() + text.size();
  return whole && std::isfinite(value) && value >= 0 && value <= 86400
             ? std::string()
             : "a number of seconds from 0 to 86400 is expected";
}

namespace {

// 64 hex digits, to lowercase as the plan spells digests.
std::string Sha256Error(std::string& text) {
  const bool hex = text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
                     return std::isxdigit(static_cast<unsigned char>(c)) != 0;
                   });
  if (!hex) return "a SHA-256 of 64 hex digits is expected";
  std::transform(text.begin(), text.end(), text.begin(), [](char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  });
  return {};
}

bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
  return _isatty(_fileno(stream)) != 0;
#else
  return isatty(fileno(stream)) != 0;
#endif
}

std::optional<std::chrono::seconds> Seconds(const std::string& text) {
  if (text.empty()) return std::nullopt;
  return ParseOptionSeconds(FromUtf8(text));
}

void InstallSignalHandlers() {
  std::signal(SIGINT, OnInterruptSignal);
  std::signal(SIGTERM, OnInterruptSignal);
#ifndef _WIN32
  // A dropped SSH session (SIGHUP) or the terminal's quit key (SIGQUIT) must
  // not end the tool with [UDP] naming a device either.
  std::signal(SIGHUP, OnInterruptSignal);
  std::signal(SIGQUIT, OnInterruptSignal);
  // A closed output pipe must not end the tool between two updaters, with
  // [UDP] not restored and no report written.
  std::signal(SIGPIPE, SIG_IGN);
#endif
}

int Update(const UpdateArguments& arguments) {
  InstallSignalHandlers();
  PlatformServices services;
  if (LiveCaptureLibraryMissing()) std::fprintf(stderr, "%s\n", kCaptureLibraryMissing);
  ConsoleReporter reporter(stdout, stderr,
                           arguments.json ? DeviceLineFormat::JsonLines : DeviceLineFormat::Text,
                           IsTerminal(stderr));

  UpdateRequest request;
  request.adapterIp = FromUtf8(arguments.adapterIp);
  request.packagePath = FromUtf8(arguments.packagePath);
  for (const std::string& ip : arguments.deviceIps) request.deviceIps.push_back(FromUtf8(ip));
  request.listenFor = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::duration<double>(arguments.listenSeconds));
  request.overrides.verifyFor = Seconds(arguments.verifySeconds);
  request.overrides.updateTimeLimit = Seconds(arguments.timeoutSeconds);
  request.reportPath = FromUtf8(arguments.reportPath);
  if (!arguments.packageSha256.empty()) request.packageSha256 = arguments.packageSha256;
  request.dryRun = arguments.dryRun;
  request.targetVersion = FromUtf8(arguments.targetVersion);
  request.rosterPath = FromUtf8(arguments.rosterPath);
  request.allowDowngrade = arguments.allowDowngrade;
  request.force = arguments.force;
  if (!arguments.maxFailures.empty()) {
    request.overrides.maxFailures = ParseOptionCount(FromUtf8(arguments.maxFailures));
  }
  request.maxRuns = arguments.maxDevices;
  if (const auto at = ParseTimeOfDay(arguments.finishBy)) {
    request.finishBy = NextLocalTimeOfDay(at->first, at->second, SystemClock().Now());
  }

  HeadlessBatch batch(FrontEndServicesOf(services), reporter, g_interrupted);
  return batch.Run(request);
}

// An option's check: `accepts` the text, or says what is expected.
template <typename Accepts>
CLI::Validator Expecting(Accepts accepts, std::string expected, std::string name) {
  return CLI::Validator(
      [accepts, expected](std::string& text) { return accepts(text) ? std::string() : expected; },
      std::move(name));
}

}  // namespace

void AddUpdateCommand(CLI::App& app, int& status) {
  auto arguments = std::make_shared<UpdateArguments>();
  const CLI::Validator seconds = Expecting(
      [](const std::string& text) { return ParseOptionSeconds(FromUtf8(text)).has_value(); },
      "a whole number of seconds from 0 to 86400 is expected", "SECONDS");

  CLI::App* update = app.add_subcommand(
      "update", "Update devices one after another with Pendravel.exe, verify, and report");
  update->footer(kUpdateFooter);
  update->add_option("--adapter", arguments->adapterIp, "IPv4 address of the adapter to listen on")
      ->type_name("IP")
      ->required();
  update->add_option("--package", arguments->packagePath, "firmware package file")
      ->type_name("FILE")
      ->required();
  CLI::Option_group* devices =
      update->add_option_group("devices", "which devices, in update order (one of)");
  devices->add_option("--device", arguments->deviceIps, "IPv4 address of a device heard")
      ->type_name("IP");
  devices->add_flag("--all-heard", arguments->allHeard,
                    "every device heard during the listen, in the order first heard");
  devices
      ->add_option("--roster", arguments->rosterPath,
                   "the site roster's rows marked yes that were heard with its names, in its "
                   "order, each held to its own target version")
      ->type_name("FILE");
  devices->require_option(1);
  update->add_option("--listen-seconds", arguments->listenSeconds, "how long to listen first")
      ->capture_default_str()
      ->check(CLI::Validator(ListenSecondsError, "SECONDS"));
  update
      ->add_option("--verify-seconds", arguments->verifySeconds,
                   "watch each device this long after its update; 0: do not verify "
                   "(default: [Quilmarr] VerifySeconds, else 300)")
      ->check(seconds);
  update
      ->add_option("--timeout-seconds", arguments->timeoutSeconds,
                   "end an updater after this long; 0: never "
                   "(default: [Quilmarr] UpdateTimeoutSeconds, else 0)")
      ->check(seconds);
  update
      ->add_option("--report", arguments->reportPath,
                   "CSV report file (default: Reports beside the settings file)")
      ->type_name("FILE");
  update->add_flag("--json", arguments->json, "one JSON object per device line");
  update
      ->add_option("--package-sha256", arguments->packageSha256,
                   "refuse the package unless its SHA-256 is this (64 hex digits)")
      ->type_name("HEX")
      ->check(CLI::Validator(Sha256Error, "HEX"));
  update->add_flag("--dry-run", arguments->dryRun,
                   "listen and check, then print the plan instead of updating");
  update
      ->add_option("--target-version", arguments->targetVersion,
                   "the application version the package brings: a device already at it is not "
                   "run (\"Already at V\"), one newer is not run either, and a device verifies "
                   "only when it comes back with it")
      ->type_name("V")
      ->check(
          Expecting([](const std::string& text) { return !TrimmedVersion(FromUtf8(text)).empty(); },
                    "a version is expected", "V"));
  update->add_flag("--allow-downgrade", arguments->allowDowngrade,
                   "with a target version: run devices newer than it too");
  update->add_flag("--force", arguments->force,
                   "with a target version: run devices already at it too");
  update
      ->add_option("--max-failures", arguments->maxFailures,
                   "start no further updater once N devices ended not succeeded; 0: no limit "
                   "(default: [Quilmarr] MaxFailures, else 0)")
      ->type_name("N")
      ->check(Expecting(
          [](const std::string& text) { return ParseOptionCount(FromUtf8(text)).has_value(); },
          "a whole number from 0 to 100000 is expected", "N"));
  update
      ->add_option("--max-devices", arguments->maxDevices,
                   "at most N updater runs this time; the devices beyond are left for a later run")
      ->type_name("N")
      ->check(CLI::Range(std::size_t{1}, std::size_t{100000}));
  update
      ->add_option("--finish-by", arguments->finishBy,
                   "start no updater that the runs so far say would not end by this local time "
                   "(the next such moment)")
      ->type_name("HH:MM")
      ->check(Expecting([](const std::string& text) { return ParseTimeOfDay(text).has_value(); },
                        "a time HH:MM (00:00 to 23:59) is expected", "HH:MM"));
  update->get_option("--target-version")->excludes(update->get_option("--roster"));
  update->callback([arguments, &status] { status = Update(*arguments); });
}

}  // namespace quilmarr::cli
