// Stand-in for the external single-device updater Pendravel.exe: it reads the
// target the tool handed over in [UDP], records the run, waits and exits.
//
// Environment:
//   QUILMARR_STANDIN_LOG       log file (default: Pendravel-standin.log beside the settings file)
//   QUILMARR_STANDIN_DELAY_MS  how long the "update" takes (default 1500)
//   QUILMARR_STANDIN_EXIT      exit status (default 0)
//   QUILMARR_STANDIN_SILENT_S  how long a simulated device stays silent (default 3)
//   QUILMARR_STANDIN_APPDATA   the application-data folder in which to look for the
//                              settings file (default: the platform's, as the tool does)
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "package_file.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/ini.h"
#include "platform/text.h"
#include "run_log.h"
#include "tools/ied-sim/device_state.h"
#include "update/settings_file.h"

namespace {

using quilmarr::SettingsFile;
namespace settings = quilmarr::settings;
namespace standin = quilmarr::standin;

constexpr std::string_view kDefaultLogName = "Pendravel-standin.log";

[[nodiscard]] long long EnvironmentNumber(const char* name, long long fallback) {
  const char* text = std::getenv(name);
  if (text == nullptr) return fallback;
  const std::string_view view(text);
  long long value = 0;
  const auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), value);
  return (error == std::errc{} && end == view.data() + view.size()) ? value : fallback;
}

// A settings folder given in the environment, so tests can run the stand-in
// beside a settings file of their own on any platform.
class GivenFolderLocator final : public quilmarr::AppDataFolderLocator {
 public:
  explicit GivenFolderLocator(std::u16string folder) : folder_(std::move(folder)) {}
  [[nodiscard]] std::optional<std::u16string> RoamingAppDataFolder() const override {
    return folder_;
  }
  [[nodiscard]] std::u16string FallbackFolder() const override { return folder_; }

 private:
  std::u16string folder_;
};

[[nodiscard]] std::unique_ptr<quilmarr::AppDataFolderLocator> MakeFolderLocator() {
  const char* given = std::getenv("QUILMARR_STANDIN_APPDATA");
  if (given == nullptr || *given == '\0') return quilmarr::MakePlatformFolderLocator();
  return std::make_unique<GivenFolderLocator>(std::filesystem::path(given).u16string());
}

[[nodiscard]] std::filesystem::path LogPath(const SettingsFile& settingsFile) {
  if (const char* path = std::getenv("QUILMARR_STANDIN_LOG"); path != nullptr && *path != '\0') {
    return std::filesystem::path(path);
  }
  return std::filesystem::path(settingsFile.Folder()) / kDefaultLogName;
}

}  // namespace

int main(int argc, char** argv) {
  standin::RunRecord run;
  run.start = std::chrono::system_clock::now();
  for (int i = 1; i < argc; ++i) run.arguments.emplace_back(argv[i]);

  const auto locator = MakeFolderLocator();
  const auto ini = quilmarr::MakePlatformIniStore();
  SettingsFile settingsFile(*locator, *ini);
  settingsFile.ResolveFolder();
  run.remoteIp = quilmarr::ToUtf8(settingsFile.ReadString(
      settings::kSectionUdp, settings::kKeyRemoteIp, quilmarr::kIpValueCapacity));
  run.hostIp = quilmarr::ToUtf8(settingsFile.ReadString(settings::kSectionUdp, settings::kKeyHostIp,
                                                        quilmarr::kIpValueCapacity));

  if (!run.arguments.empty() && !run.remoteIp.empty()) {
    if (const auto package = standin::ReadSimulatedPackage(run.arguments.front())) {
      const long long silentSeconds = EnvironmentNumber("QUILMARR_STANDIN_SILENT_S", 3);
      static_cast<void>(
          quilmarr::iedsim::RestartDevice(package->stateDir, run.remoteIp, package->version,
                                          quilmarr::SystemClock().Now() + silentSeconds));
    }
  }

  const long long delayMs = EnvironmentNumber("QUILMARR_STANDIN_DELAY_MS", 1500);
  if (delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
  run.end = std::chrono::system_clock::now();
  static_cast<void>(standin::AppendRunLine(LogPath(settingsFile), run));
  return static_cast<int>(EnvironmentNumber("QUILMARR_STANDIN_EXIT", 0));
}
