// The real main window (offscreen), driven through its widgets, against eight
// ied-sim devices on a veth pair between two namespaces this test makes, with
// the stand-in updater. Needs root; skips otherwise.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/ini.h"
#include "platform/text.h"
#include "tests/e2e/batch_checks.h"
#include "tests/e2e/driver_report.h"
#include "tests/support/netns_pair.h"
#include "tests/support/temp_folder.h"
#include "tests/support/child_process.h"

namespace quilmarr::test {
namespace {

constexpr int kDevices = 8;
constexpr const char* kOldVersion = "1.0.0";
constexpr const char* kNewVersion = "2.0.0";
const std::vector<int> kTickedRows{1, 3, 4};
constexpr const char* kStartRemoteIp = "198.51.100.7";
constexpr const char* kStartHostIp = "198.51.100.8";

std::string ReadIni(const std::filesystem::path& file, std::u16string_view section,
                    std::u16string_view key) {
  const auto ini = MakePlatformIniStore();
  return ToUtf8(ini->Read(FromUtf8(file.string()), section, key, u"<missing>", 300));
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string whyNot;
    pair_ = NetnsPair::Create(whyNot);
    if (!pair_) GTEST_SKIP() << "end-to-end test skipped: " << whyNot;
    const auto settingsFolder = temp_.Path() / "config" / "Kavrendt" / "Ostrovel" / "Firmware";
    std::filesystem::create_directories(settingsFolder);
    std::filesystem::create_directories(stateDir_);
    settingsFile_ = settingsFolder / "Pendravel.ini";
    WriteBytes(package_, "state-dir=" + stateDir_.string() + "\nversion=" + kNewVersion + "\n");
    WriteBytes(settingsFile_, std::string("[UDP]\nREMOTE_IP=") + kStartRemoteIp + "\nHOST_IP=" +
                                  kStartHostIp + "\n[Quilmarr]\nPckFile=" + package_.string() +
                                  "\nAdapterIp=" + pair_->captureAddress +
                                  "\n[Pendravel]\nExePath=" + UPDATER_DIR + "/\n");
  }

  // Runs the driver in the capture namespace against ied-sim in the other one.
  DriverReport RunDriver() {
    const BackgroundProcess devices(pair_->IedSimCommand(
        IED_SIM_PATH,
        {"--count", std::to_string(kDevices), "--base-ip", "192.0.2.10", "--interval-ms", "500",
         "--app-version", kOldVersion, "--state-dir", stateDir_.string()}));
    std::vector<std::string> argv{
        "ip", "netns", "exec", pair_->captureNamespace, "env",
        "XDG_CONFIG_HOME=" + (temp_.Path() / "config").string(), "QT_QPA_PLATFORM=offscreen",
        "QUILMARR_STANDIN_LOG=" + updaterLog_.string(),
        // Longer than one list refresh, so each "Updating" mark is seen; each
        // device stays silent past its run's end (the silence ends on a whole
        // second, 3 to 4 s after the start), so the frame that shows its new
        // version is heard after the run and verifies it in the same refresh.
        "QUILMARR_STANDIN_DELAY_MS=2500", "QUILMARR_STANDIN_SILENT_S=4", DEMO_DRIVER_PATH,
        "--adapter-ip", pair_->captureAddress, "--devices", std::to_string(kDevices),
        "--new-version", kNewVersion, "--timeout", "20"};
    for (const int row : kTickedRows) {
      argv.insert(argv.end(), {"--tick", std::to_string(row)});
    }
    const CommandResult result = RunCommand(argv);
    output_ = result.out + result.err;
    return ParseDriverReport(result.out);
  }

  TempFolder temp_;
  std::unique_ptr<NetnsPair> pair_;
  std::filesystem::path stateDir_ = temp_.Path() / "devices";
  std::filesystem::path package_ = temp_.Path() / "demo-firmware.pck";
  std::filesystem::path updaterLog_ = temp_.Path() / "updater.log";
  std::filesystem::path settingsFile_;
  std::string output_;
};

TEST_F(EndToEnd, BatchOfThreeUpdatesEachInTurnAndLeavesTheRestAlone) {
  const DriverReport report = RunDriver();
  ASSERT_EQ(report.result, "ok") << output_;
  EXPECT_TRUE(report.boxes.empty()) << output_;

  ASSERT_EQ(report.rowsByStage.at("devices").size(), static_cast<std::size_t>(kDevices)) << output_;
  for (const auto& row : report.rowsByStage.at("devices")) {
    EXPECT_EQ(row.bootVersion, "1.0.0") << row.ip;
  }
  ExpectBatchOfTickedRows(report, ReadBytes(updaterLog_),
                          {{kTickedRows.begin(), kTickedRows.end()},
                           kOldVersion,
                           kNewVersion,
                           pair_->captureAddress,
                           package_.string(),
                           settingsFile_});
  // Stop Query keeps the last rows on screen.
  EXPECT_EQ(report.rowsByStage.at("stopped").size(), report.rowsByStage.at("updated").size());

  // [UDP] is back to its start-up values; [Quilmarr] remembers the batch.
  EXPECT_EQ(ReadIni(settingsFile_, u"UDP", u"REMOTE_IP"), kStartRemoteIp);
  EXPECT_EQ(ReadIni(settingsFile_, u"UDP", u"HOST_IP"), kStartHostIp);
  EXPECT_EQ(ReadIni(settingsFile_, u"Quilmarr", u"AdapterIp"), pair_->captureAddress);
  EXPECT_EQ(ReadIni(settingsFile_, u"Quilmarr", u"PckFile"), package_.string());
}

}  // namespace
}  // namespace quilmarr::test
