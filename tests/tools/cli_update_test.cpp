// quilmarr-cli update as a station's orchestration runs it: in a network
// namespace of its own, against ied-sim devices on a veth pair between two
// namespaces this test makes, with the stand-in Pendravel.exe and a private
// settings folder. Needs root; skips otherwise.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/ini.h"
#include "platform/process.h"
#include "session/batch_journal.h"
#include "platform/text.h"
#include "tests/e2e/driver_report.h"
#include "tests/support/netns_pair.h"
#include "tests/support/temp_folder.h"
#include "tests/support/child_process.h"

namespace quilmarr::test {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

constexpr const char* kStartRemoteIp = "198.51.100.7";
constexpr const char* kStartHostIp = "198.51.100.8";

Strings Lines(const std::string& text) {
  Strings lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

void WaitUntilExists(const fs::path& file) {
  for (int i = 0; i < 600 && !fs::exists(file); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

class CliUpdate : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string whyNot;
    pair_ = NetnsPair::Create(whyNot);
    if (!pair_) GTEST_SKIP() << "end-to-end test skipped: " << whyNot;
    adapter_ = pair_->captureAddress;
    packageArgument_ = package_.string();
    fs::create_directories(settingsFolder_);
    fs::create_directories(stateDir_);
    WriteBytes(package_, "state-dir=" + stateDir_.string() + "\nversion=2.0.0\n");
    WriteBytes(SettingsFile(), std::string("[UDP]\nREMOTE_IP=") + kStartRemoteIp + "\nHOST_IP=" +
                                   kStartHostIp + "\n[Pendravel]\nExePath=" + UPDATER_DIR + "/\n");
  }

  void StartDevices(int count) {
    devices_ = std::make_unique<BackgroundProcess>(pair_->IedSimCommand(
        IED_SIM_PATH, {"--count", std::to_string(count), "--base-ip", "192.0.2.10", "--interval-ms",
                       "250", "--app-version", "1.0.0", "--state-dir", stateDir_.string()}));
  }

  // quilmarr-cli update in the capture namespace; `environment` adds to or
  // overrides the stand-in's short defaults.
  [[nodiscard]] Strings Command(const Strings& options, const Strings& environment = {}) const {
    Strings argv{"ip",
                 "netns",
                 "exec",
                 pair_->captureNamespace,
                 "env",
                 "XDG_CONFIG_HOME=" + (temp_.Path() / "config").string(),
                 "QUILMARR_STANDIN_LOG=" + updaterLog_.string(),
                 "QUILMARR_STANDIN_DELAY_MS=300",
                 "QUILMARR_STANDIN_SILENT_S=1",
                 "DBUS_SYSTEM_BUS_ADDRESS=unix:path=" + (temp_.Path() / "no-bus").string()};
    argv.insert(argv.end(), environment.begin(), environment.end());
    argv.insert(argv.end(), {QUILMARR_CLI_PATH, "update", "--adapter", adapter_, "--package",
                             packageArgument_});
    if (std::find(options.begin(), options.end(), "--listen-seconds") == options.end()) {
      argv.insert(argv.end(), {"--listen-seconds", "2"});
    }
    argv.insert(argv.end(), options.begin(), options.end());
    return argv;
  }
  CommandResult Update(const Strings& options, const Strings& environment = {}) const {
    return RunCommand(Command(options, environment));
  }

  [[nodiscard]] std::string PackageDigest() const {
    return RunCommand({"sha256sum", package_.string()}).out.substr(0, 64);
  }
  [[nodiscard]] fs::path SettingsFile() const { return settingsFolder_ / "Pendravel.ini"; }
  [[nodiscard]] std::string Ini(std::u16string_view section, std::u16string_view key) const {
    return ToUtf8(MakePlatformIniStore()->Read(FromUtf8(SettingsFile().string()), section, key,
                                               u"<missing>", 300));
  }
  [[nodiscard]] Strings UpdatedDevices() const {
    Strings ips;
    for (const auto& run : ParseUpdaterLog(ReadBytes(updaterLog_))) ips.push_back(run.remoteIp);
    return ips;
  }
  void ExpectUdpRestored() const {
    EXPECT_EQ(Ini(u"UDP", u"REMOTE_IP"), kStartRemoteIp);
    EXPECT_EQ(Ini(u"UDP", u"HOST_IP"), kStartHostIp);
  }

  TempFolder temp_;
  std::unique_ptr<NetnsPair> pair_;
  std::unique_ptr<BackgroundProcess> devices_;
  fs::path settingsFolder_ = temp_.Path() / "config" / "Kavrendt" / "Ostrovel" / "Firmware";
  fs::path stateDir_ = temp_.Path() / "devices";
  fs::path package_ = temp_.Path() / "firmware.pck";
  fs::path updaterLog_ = temp_.Path() / "updater.log";
  std::string adapter_;
  std::string packageArgument_;
};

TEST_F(CliUpdate, ThreeDevicesAreUpdatedInTheOrderGivenAndVerified) {
  StartDevices(5);
  const fs::path report = temp_.Path() / "reports" / "station-7.csv";
  const auto result =
      Update({"--device", "192.0.2.12", "--device", "192.0.2.10", "--device", "192.0.2.11",
              "--verify-seconds", "20", "--report", report.string(), "--json"});
  ASSERT_EQ(result.status, 0) << result.err << result.out;

  // One JSON object per device, each verified with the new version.
  Strings ips;
  for (const std::string& line : Lines(result.out)) {
    EXPECT_NE(line.find("\"outcome\":\"Verified 2.0.0\",\"succeeded\":true"), std::string::npos)
        << line;
    ips.push_back(line.substr(7, 10));  // {"ip":"192.0.2.1x"
  }
  std::sort(ips.begin(), ips.end());
  EXPECT_EQ(ips, (Strings{"192.0.2.10", "192.0.2.11", "192.0.2.12"})) << result.out;

  // One run at a time, in the order given, each told the device and the adapter.
  const auto runs = ParseUpdaterLog(ReadBytes(updaterLog_));
  EXPECT_EQ(UpdatedDevices(), (Strings{"192.0.2.12", "192.0.2.10", "192.0.2.11"}));
  for (std::size_t i = 0; i < runs.size(); ++i) {
    EXPECT_EQ(runs[i].hostIp, pair_->captureAddress);
    EXPECT_EQ(runs[i].arguments, (Strings{package_.string(), "-P255"}));
    if (i > 0) {
      EXPECT_GE(runs[i].start, runs[i - 1].end);
    }
  }

  const Strings rows = Lines(ReadBytes(report));
  ASSERT_EQ(rows.size(), 4u) << ReadBytes(report);
  EXPECT_EQ(rows[1].substr(0, 13), "\"192.0.2.12\",");
  for (std::size_t row = 1; row < rows.size(); ++row) {
    EXPECT_NE(rows[row].find(",\"0\",\"Verified 2.0.0\",\"" + package_.string() + "\",\"" +
                             pair_->captureAddress + "\""),
              std::string::npos)
        << rows[row];
  }
  EXPECT_NE(result.err.find("Report written to " + report.string()), std::string::npos);
  EXPECT_NE(result.err.find("Sleep could not be blocked during the batch: no system bus. Keep "
                            "this computer awake until the batch has ended."),
            std::string::npos);
  ExpectUdpRestored();
  EXPECT_FALSE(fs::exists(SettingsFile().string() + ".journal")) << "a clean end removes it";
  EXPECT_EQ(Ini(u"Quilmarr", u"PckFile"), package_.string());
  EXPECT_EQ(Ini(u"Quilmarr", u"AdapterIp"), pair_->captureAddress);

  // Rolled out to a target one device at a time: the devices already at it
  // are left alone, and a run with nothing left to do starts no updater.
  const Strings toTarget = {"--all-heard", "--target-version", "2.0.0", "--max-devices",
                            "1",           "--verify-seconds", "20",    "--json"};
  for (const char* updated : {"192.0.2.13", "192.0.2.14", ""}) {
    const auto rollout = Update(toTarget);
    EXPECT_EQ(rollout.status, 0) << rollout.err;
    std::size_t changed = 0;
    for (const std::string& line : Lines(rollout.out)) {
      const bool ran = line.ends_with(",\"changed\":true}");
      changed += ran ? 1 : 0;
      EXPECT_NE(line.find(ran ? "\"outcome\":\"Verified 2.0.0\",\"succeeded\":true"
                              : "\"outcome\":\"Already at 2.0.0\",\"succeeded\":true"),
                std::string::npos)
          << line;
    }
    EXPECT_EQ(changed, *updated == '\0' ? 0u : 1u) << rollout.out;
    EXPECT_EQ(rollout.err.find("Left for a later run") != std::string::npos,
              std::string(updated) == "192.0.2.13")
        << rollout.err;
    if (*updated != '\0') {
      EXPECT_EQ(UpdatedDevices().back(), updated);
    }
  }
  EXPECT_EQ(UpdatedDevices().size(), 5u);
}

TEST_F(CliUpdate, AFailingUpdaterIsReportedWithItsExitStatus) {
  StartDevices(1);
  const auto result = Update({"--device", "192.0.2.10", "--json"}, {"QUILMARR_STANDIN_EXIT=3"});
  EXPECT_EQ(result.status, 1) << result.err;
  const Strings lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 1u) << result.out;
  EXPECT_NE(lines[0].find("\"outcome\":\"Failed (exit 3)\",\"succeeded\":false"),
            std::string::npos);
  EXPECT_NE(lines[0].find("\"exitStatus\":3,\"packageSha256\":\"" + PackageDigest() + "\","),
            std::string::npos)
      << lines[0];
  ExpectUdpRestored();
}

// A terminal's Ctrl-C reaches the tool's whole process group: the running
// updater must still end by itself, the other devices are skipped. A dropped
// SSH session's SIGHUP must end the batch just as well.
TEST_F(CliUpdate, CtrlCOrHangUpLetsTheRunningUpdaterFinishAndSkipsTheRest) {
  StartDevices(3);
  for (const int signal : {SIGINT, SIGHUP}) {
    SCOPED_TRACE(signal);
    const fs::path started = stateDir_ / "192.0.2.10.silent-until";
    fs::remove(started);
    fs::remove(updaterLog_);
    BackgroundProcess cli(
        Command({"--all-heard", "--verify-seconds", "20"}, {"QUILMARR_STANDIN_DELAY_MS=1500"}),
        temp_.Path());
    WaitUntilExists(started);
    const auto result = cli.Signal(signal, signal == SIGINT);
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_EQ(UpdatedDevices(), Strings{"192.0.2.10"}) << "the first run ended by itself";
    const Strings lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 3u) << result.out << result.err;
    EXPECT_TRUE(lines[0].starts_with("192.0.2.10\tDone\t") ||
                lines[0].starts_with("192.0.2.10\tVerified 2.0.0\t"))
        << lines[0];
    EXPECT_TRUE(lines[1].starts_with("192.0.2.11\tSkipped\t") &&
                lines[2].starts_with("192.0.2.12\tSkipped\t"))
        << result.out;
    EXPECT_NE(result.err.find("Report written to "), std::string::npos) << result.err;
    ExpectUdpRestored();
  }
  // Interrupted while it listens, before anything ran: nothing was updated.
  BackgroundProcess listening(Command({"--all-heard", "--listen-seconds", "60"}), temp_.Path());
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  const auto interrupted = listening.Signal(SIGINT, true);
  EXPECT_EQ(interrupted.status, 2) << interrupted.err;
  EXPECT_NE(interrupted.err.find("Interrupted: nothing was updated"), std::string::npos)
      << interrupted.err;
}

// One batch per settings file: a second tool is refused while the first
// runs. Killed mid-run, the first leaves [UDP] naming its device, which the
// next run puts back before anything else, with the killed batch's report.
TEST_F(CliUpdate, OneBatchPerSettingsFileAndAKilledBatchIsRecoveredByTheNext) {
  StartDevices(3);
  BackgroundProcess first(Command({"--all-heard"}, {"QUILMARR_STANDIN_DELAY_MS=8000"}),
                          temp_.Path());
  WaitUntilExists(stateDir_ / "192.0.2.11.silent-until");  // its second updater runs
  const auto second = Update({"--device", "192.0.2.11"});
  EXPECT_EQ(second.status, 2);
  EXPECT_NE(second.err.find("Another batch is using the settings file " + SettingsFile().string()),
            std::string::npos)
      << second.err;
  EXPECT_EQ(second.out, "");
  EXPECT_EQ(Ini(u"UDP", u"REMOTE_IP"), "192.0.2.11") << "the first batch's, untouched";
  const auto dryRun = Update({"--device", "192.0.2.11", "--dry-run"});
  EXPECT_EQ(dryRun.status, 2) << "a dry run checks it too";
  EXPECT_EQ(dryRun.err.find("An earlier batch"), std::string::npos) << dryRun.err;

  // Killed while its updater runs: that updater lives on, and until it has
  // ended nothing touches [UDP] and no batch starts.
  static_cast<void>(first.Signal(SIGKILL, false));
  const auto refused = Update({"--device", "192.0.2.12"});
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find(", device 192.0.2.11), started by an earlier batch, still runs: "
                             "wait until it has ended."),
            std::string::npos)
      << refused.err;
  EXPECT_EQ(Ini(u"UDP", u"REMOTE_IP"), "192.0.2.11");
  const auto journal = ParseJournal(ReadBytes(SettingsFile().string() + ".journal"));
  ASSERT_TRUE(journal && journal->updater);
  for (int i = 0; i < 400 && ProcessStillRuns(*journal->updater); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  const auto next =
      Update({"--device", "192.0.2.12", "--report", (temp_.Path() / "next.csv").string()});
  EXPECT_NE(next.err.find("quilmarr-cli: An earlier batch (started "), std::string::npos)
      << next.err;
  ExpectUdpRestored();
  std::vector<fs::path> reports;
  for (const auto& entry : fs::directory_iterator(settingsFolder_ / "Reports")) {
    reports.push_back(entry.path());
  }
  ASSERT_EQ(reports.size(), 1u) << "the killed batch's";
  const Strings rows = Lines(ReadBytes(reports[0]));
  ASSERT_EQ(rows.size(), 4u) << ReadBytes(reports[0]);
  const char* outcomes[] = {"Done", "Interrupted", "Skipped"};
  for (std::size_t row = 1; row < rows.size(); ++row) {
    EXPECT_NE(rows[row].find(std::string(",\"") + outcomes[row - 1] + "\","), std::string::npos)
        << rows[row];
  }
}

TEST_F(CliUpdate, ADryRunAndBadInputWriteNothingAndRunNoUpdater) {
  StartDevices(1);
  const std::string settings = SettingsFile().string();
  const std::string before = ReadBytes(settings);
  const std::string digest = PackageDigest();
  auto result = Update({"--device", "192.0.2.10", "--dry-run", "--package-sha256", digest});
  EXPECT_EQ(result.status, 0) << result.err;
  const Strings plan = Lines(result.out);
  ASSERT_EQ(plan.size(), 3u) << result.out;
  const std::string subnet = adapter_.substr(0, adapter_.rfind('.')) + ".0/24";
  EXPECT_TRUE(plan[0].starts_with("192.0.2.10\tIED-0\tIED_0\t") &&
              plan[0].ends_with("\t1.0.0\twould update\tnot on the adapter's subnet " + subnet))
      << plan[0];
  EXPECT_EQ(plan[1], "package\t" + package_.string() + '\t' + digest);
  EXPECT_TRUE(plan[2].starts_with("updater\t" UPDATER_DIR "/Pendravel.exe\t")) << plan[2];
  EXPECT_EQ(ReadBytes(settings), before);
  EXPECT_FALSE(fs::exists(settings + ".journal"));

  // Refused with status 2, before anything is written or run.
  const std::string folder = temp_.Path().string();
  const std::string zeros(64, '0');
  const struct {
    Strings options;                                      // after --device 192.0.2.10
    std::string adapter, package, settingsText, message;  // empty: as set up
  } refusals[] = {
      {{"--package-sha256", zeros},
       "",
       "",
       "",
       "The package's SHA-256 is " + digest + ", not " + zeros + ": nothing is updated"},
      {{}, "203.0.113.254", "", "", "No capture adapter has the address 203.0.113.254"},
      {{},
       "",
       folder + "/none.pck",
       "",
       "The package file does not exist: " + folder + "/none.pck"},
      {{"--device", "192.0.2.99"},
       "",
       "",
       "",
       "Not heard on " + adapter_ + " during the listen: 192.0.2.99"},
      {{"--device", "192.0.2.10"}, "", "", "", "Device 192.0.2.10 is given more than once"},
      {{},
       "",
       "",
       before + "[Quilmarr]\nUpdateTimeoutSeconds=soon\n",
       "Invalid [Quilmarr] UpdateTimeoutSeconds \"soon\""},
      {{},
       "",
       "",
       "[Pendravel]\nExePath=\n",
       "Please install Pendravel: [Pendravel] ExePath is empty in " + settings},
      {{},
       "",
       "",
       "[Pendravel]\nExePath=" + folder + "/\n",
       "No updater at " + folder + "/Pendravel.exe"},
  };
  for (const auto& refusal : refusals) {
    const std::string text = refusal.settingsText.empty() ? before : refusal.settingsText;
    WriteBytes(settings, text);
    adapter_ = refusal.adapter.empty() ? pair_->captureAddress : refusal.adapter;
    packageArgument_ = refusal.package.empty() ? package_.string() : refusal.package;
    Strings options{"--device", "192.0.2.10"};
    options.insert(options.end(), refusal.options.begin(), refusal.options.end());
    result = Update(options);
    EXPECT_EQ(result.status, 2) << refusal.message;
    EXPECT_NE(result.err.find(refusal.message), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(ReadBytes(settings), text) << "[Quilmarr] is written only once the checks passed";
  }
  EXPECT_FALSE(fs::exists(updaterLog_)) << ReadBytes(updaterLog_);
  EXPECT_FALSE(fs::exists(settingsFolder_ / "Reports"));

  // A batch whose report cannot be written has not done its job.
  WriteBytes(settings, before);
  result = Update(
      {"--device", "192.0.2.10", "--verify-seconds", "0", "--report", temp_.Path().string()});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("The batch report could not be written: " + temp_.Path().string()),
            std::string::npos)
      << result.err;
}

// The audit listens as update does and writes nothing.
TEST_F(CliUpdate, AuditListsEachRosterRowThenTheUnlistedDevices) {
  StartDevices(4);
  const fs::path roster = temp_.Path() / "site.csv";
  const std::string header = "IP,System Name,IED Name,Target App Version,Update\n";
  auto audit = [&](const std::string& rows) {
    WriteBytes(roster, header + rows);
    return RunCommand({"ip", "netns", "exec", pair_->captureNamespace, QUILMARR_CLI_PATH, "audit",
                       "--adapter", adapter_, "--roster", roster.string(), "--listen-seconds",
                       "2"});
  };
  const std::string ok = "192.0.2.10,IED-0,IED_0,1.0.0,yes\n";
  const auto result = audit(ok +
                            "192.0.2.11,IED-1,,2.0.0,yes\n"
                            "192.0.2.12,IED-9,IED_2,1.0.0,no\n"
                            "192.0.2.20,IED-20,,1.0.0,yes\n");
  EXPECT_EQ(result.status, 1) << result.err;
  EXPECT_EQ(Lines(result.out), (Strings{"192.0.2.10\tOK\tIED-0\tIED_0\t1.0.0\t1.0.0",
                                        "192.0.2.11\tOff target\tIED-1\tIED_1\t1.0.0\t2.0.0",
                                        "192.0.2.12\tIdentity mismatch\tIED-2\tIED_2\t1.0.0\t1.0.0",
                                        "192.0.2.20\tMissing\tIED-20\t\t\t1.0.0",
                                        "192.0.2.13\tUnexpected\tIED-3\tIED_3\t1.0.0\t"}));
  const auto clean = audit(ok +
                           "192.0.2.11,,,1.0.0,yes\n192.0.2.12,,,1.0.0,yes\n"
                           "192.0.2.13,,,1.0.0,yes\n");
  EXPECT_EQ(clean.status, 0) << clean.out << clean.err;
  EXPECT_EQ(Lines(clean.out).size(), 4u);
  ExpectUdpRestored();

  // A roster run: only rows marked yes, heard with the roster's names and
  // not at their target, each verified against its own target.
  WriteBytes(roster, header + ok + "192.0.2.11,IED-1,,2.0.0,yes\n192.0.2.12,IED-9,,2.0.0,yes\n" +
                         "192.0.2.13,,,2.0.0,no\n");
  const auto run = Update({"--roster", roster.string(), "--verify-seconds", "20"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Lines(run.out), (Strings{"192.0.2.10\tAlready at 1.0.0\tIED-0\tIED_0\t1.0.0\t1.0.0",
                                     "192.0.2.11\tVerified 2.0.0\tIED-1\tIED_1\t1.0.0\t2.0.0"}));
  EXPECT_NE(run.err.find("other names than the roster's: 192.0.2.12"), std::string::npos)
      << run.err;
  EXPECT_EQ(UpdatedDevices(), Strings{"192.0.2.11"});
}

}  // namespace
}  // namespace quilmarr::test
