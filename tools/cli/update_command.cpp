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
#include "update/batch_options.h"

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
};

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

  HeadlessBatch batch(FrontEndServicesOf(services), reporter, g_interrupted);
  return batch.Run(request);
}

}  // namespace

void AddUpdateCommand(CLI::App& app, int& status) {
  auto arguments = std::make_shared<UpdateArguments>();
  const CLI::Validator seconds(
      [](std::string& text) -> std::string {
        return ParseOptionSeconds(FromUtf8(text))
                   ? std::string()
                   : "a whole number of seconds from 0 to 86400 is expected";
      },
      "SECONDS");

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
  update->callback([arguments, &status] { status = Update(*arguments); });
}

}  // namespace quilmarr::cli
