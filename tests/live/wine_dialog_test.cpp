// The Windows program end to end under Wine: the real Win32 window on the
// real services (win32_live_driver.exe: wpcap.dll, the Windows INI functions
// in the Wine user's application-data folder, CreateProcessW) inside the
// capture namespace of a veth pair this test makes, six ied-sim devices in
// the other namespace, and the stand-in Pendravel.exe built for Windows.
// scripts/test-windows.sh names the two Windows programs in
// QUILMARR_WINDOWS_DIALOG_DRIVER and QUILMARR_WINDOWS_UPDATER. Needs root.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "platform/ini.h"
#include "platform/text.h"
#include "tests/e2e/batch_checks.h"
#include "tests/e2e/driver_report.h"
#include "tests/support/netns_pair.h"
#include "tests/live/wine_session.h"
#include "tests/support/temp_folder.h"
#include "tests/support/child_process.h"

namespace quilmarr::test {
namespace {

constexpr int kDevices = 6;
constexpr const char* kOldVersion = "1.0.0";
constexpr const char* kNewVersion = "2.0.0";
const std::vector<int> kTickedRows{1, 3, 4};
constexpr const char* kStartRemoteIp = "203.0.113.7";
constexpr const char* kStartHostIp = "203.0.113.8";
// Each run is longer than one list refresh, so each "Updating" mark is seen;
// each device is silent for 1 to 2 s from its run's start.
constexpr const char* kUpdaterDelayMs = "1500";
constexpr const char* kSilentSeconds = "2";
// How long a device is watched after its run: short, so a device that never
// comes back shows its outcome within one stage of the driver.
constexpr const char* kVerifySeconds = "20";
// Per stage of the driver; a stage that never ends is reported, not waited for.
constexpr const char* kStageSeconds = "30";
constexpr const char* kRunLimitSeconds = "90";

std::string ReadIni(const std::filesystem::path& file, std::u16string_view section,
                    std::u16string_view key) {
  const auto ini = MakePlatformIniStore();
  return ToUtf8(ini->Read(FromUtf8(file.string()), section, key, u"<missing>", 300));
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The host's routes over the interface of its default route: what an address
// on a host-side interface in a routed range would cut the machine off from.
std::vector<std::string> UplinkRoutes() {
  const std::vector<std::string> routes = Lines(RunCommand({"ip", "route"}).out);
  std::string uplink;
  for (const std::string& route : routes) {
    const auto dev = route.find(" dev ");
    if (route.rfind("default ", 0) == 0 && dev != std::string::npos) {
      uplink = route.substr(dev, route.find(' ', dev + 5) - dev) + " ";
    }
  }
  std::vector<std::string> uplinkRoutes;
  for (const std::string& route : routes) {
    if (!uplink.empty() && (route + " ").find(uplink) != std::string::npos) {
      uplinkRoutes.push_back(route);
    }
  }
  return uplinkRoutes;
}

std::string UnixUserName() {
  const passwd* user = getpwuid(geteuid());
  return user != nullptr ? user->pw_name : "root";
}

class WineDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* driver = std::getenv("QUILMARR_WINDOWS_DIALOG_DRIVER");
    const char* updater = std::getenv("QUILMARR_WINDOWS_UPDATER");
    const char* prefix = std::getenv("WINEPREFIX");
    if (driver == nullptr || updater == nullptr || prefix == nullptr ||
        !std::filesystem::exists(driver) || !std::filesystem::exists(updater)) {
      GTEST_SKIP() << "QUILMARR_WINDOWS_DIALOG_DRIVER, QUILMARR_WINDOWS_UPDATER and WINEPREFIX "
                      "name no programs and prefix (scripts/test-windows.sh sets them)";
    }
    driver_ = driver;
    updaterFolder_ = std::filesystem::path(updater).parent_path();
    uplinkRoutesBefore_ = UplinkRoutes();
    std::string whyNot;
    pair_ = NetnsPair::Create(whyNot);
    if (!pair_) GTEST_SKIP() << whyNot;
    const std::string& address = pair_->captureAddress;
    pairTraces_ = {pair_->captureInterface, pair_->senderInterface,
                   address.substr(0, address.rfind('.') + 1)};

    // The settings folder the program finds by itself: the Wine user's
    // application data. The prefix is the test build's own, so the folder is
    // made afresh here and removed again.
    const std::string user = UnixUserName();
    const auto appData =
        std::filesystem::path(prefix) / "drive_c" / "users" / user / "AppData" / "Roaming";
    ASSERT_TRUE(std::filesystem::is_directory(appData)) << appData << ": prefix not made";
    ownFolder_ = appData / "Kavrendt";
    std::filesystem::remove_all(ownFolder_);
    const auto settingsFolder = ownFolder_ / "Ostrovel" / "Firmware";
    std::filesystem::create_directories(settingsFolder);
    settingsFile_ = settingsFolder / "Pendravel.ini";
    windowsSettingsFile_ =
        "C:\\users\\" + user + "\\AppData\\Roaming\\Kavrendt\\Ostrovel\\Firmware\\Pendravel.ini";

    std::filesystem::create_directories(stateDir_);
    package_ = WindowsPath(temp_.File("firmware.pck"));
    WriteBytes(temp_.File("firmware.pck"),
               "state-dir=" + WindowsPath(stateDir_) + "\nversion=" + kNewVersion + "\n");
    WriteBytes(settingsFile_,
               std::string("[UDP]\r\nREMOTE_IP=") + kStartRemoteIp + "\r\nHOST_IP=" + kStartHostIp +
                   "\r\n[Quilmarr]\r\nVerifySeconds=" + kVerifySeconds +
                   "\r\n[Pendravel]\r\nExePath=" + WindowsPath(updaterFolder_) + "\\\r\n");
    ASSERT_TRUE(StartWineIn(pair_->captureNamespace));
  }

  void TearDown() override {
    if (!pair_) return;
    // No Wine process of this prefix is left in the namespace that goes away.
    static_cast<void>(StopWine());
    std::error_code ignored;
    std::filesystem::remove_all(ownFolder_, ignored);
    pair_.reset();
    ExpectHostUntouched();
  }

  // The host keeps its uplink's routes, and none of its own routes or
  // addresses has anything of the pair.
  void ExpectHostUntouched() const {
    EXPECT_EQ(UplinkRoutes(), uplinkRoutesBefore_);
    const std::string host = RunCommand({"ip", "route"}).out + RunCommand({"ip", "-o", "addr"}).out;
    for (const std::string& trace : pairTraces_) {
      EXPECT_EQ(host.find(trace), std::string::npos) << trace << " on the host:\n" << host;
    }
  }

  // The driver under Wine in the capture namespace, against ied-sim in the other.
  DriverReport RunDriver() {
    const BackgroundProcess devices(pair_->IedSimCommand(
        IED_SIM_PATH, {"--count", std::to_string(kDevices), "--base-ip", "198.51.100.20",
                       "--interval-ms", "500", "--app-version", kOldVersion, "--state-dir",
                       stateDir_.string(), "--seconds", kRunLimitSeconds}));
    std::vector<std::string> argv{"timeout",
                                  kRunLimitSeconds,
                                  "ip",
                                  "netns",
                                  "exec",
                                  pair_->captureNamespace,
                                  "env",
                                  "QUILMARR_STANDIN_LOG=" + WindowsPath(updaterLog_),
                                  std::string("QUILMARR_STANDIN_DELAY_MS=") + kUpdaterDelayMs,
                                  std::string("QUILMARR_STANDIN_SILENT_S=") + kSilentSeconds,
                                  "wine",
                                  driver_,
                                  "--adapter-ip",
                                  pair_->captureAddress,
                                  "--devices",
                                  std::to_string(kDevices),
                                  "--package",
                                  package_,
                                  "--new-version",
                                  kNewVersion,
                                  "--timeout",
                                  kStageSeconds};
    for (const int row : kTickedRows) {
      argv.insert(argv.end(), {"--tick", std::to_string(row)});
    }
    const CommandResult result = RunCommand(argv);
    output_ = WithoutCarriageReturns(result.out + result.err);
    return ParseDriverReport(WithoutCarriageReturns(result.out));
  }

  // The value of the driver's "settings PATH" line.
  [[nodiscard]] std::string ReportedSettingsFile() const {
    const std::string marker = "settings ";
    for (const std::string& line : Lines(output_)) {
      if (line.rfind(marker, 0) == 0) return line.substr(marker.size());
    }
    return {};
  }

  TempFolder temp_;
  std::string driver_;
  std::filesystem::path updaterFolder_;
  std::vector<std::string> uplinkRoutesBefore_;
  std::vector<std::string> pairTraces_;  // interface names, capture subnet
  std::unique_ptr<NetnsPair> pair_;
  std::filesystem::path ownFolder_;
  std::filesystem::path settingsFile_;
  std::string windowsSettingsFile_;
  std::filesystem::path stateDir_ = temp_.Path() / "devices";
  std::filesystem::path updaterLog_ = temp_.Path() / "updater.log";
  std::string package_;
  std::string output_;
};

TEST_F(WineDialog, BatchOfThreeUpdatesEachInTurnAndLeavesTheRestAlone) {
  const DriverReport report = RunDriver();
  ASSERT_EQ(report.result, "ok") << output_;
  EXPECT_TRUE(report.boxes.empty()) << output_;
  EXPECT_EQ(ReportedSettingsFile(), windowsSettingsFile_) << output_;
  ExpectHostUntouched();

  ASSERT_EQ(report.rowsByStage.at("devices").size(), static_cast<std::size_t>(kDevices)) << output_;
  ExpectBatchOfTickedRows(report, ReadBytes(updaterLog_),
                          {{kTickedRows.begin(), kTickedRows.end()},
                           kOldVersion,
                           kNewVersion,
                           pair_->captureAddress,
                           package_,
                           settingsFile_});

  // After the close, [UDP] is back to its start values; [Quilmarr] keeps the batch's.
  EXPECT_EQ(ReadIni(settingsFile_, u"UDP", u"REMOTE_IP"), kStartRemoteIp);
  EXPECT_EQ(ReadIni(settingsFile_, u"UDP", u"HOST_IP"), kStartHostIp);
  EXPECT_EQ(ReadIni(settingsFile_, u"Quilmarr", u"AdapterIp"), pair_->captureAddress);
  EXPECT_EQ(ReadIni(settingsFile_, u"Quilmarr", u"PckFile"), package_);
}

}  // namespace
}  // namespace quilmarr::test
