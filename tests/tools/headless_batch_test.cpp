// The batch of quilmarr-cli update without a window: its checks before
// anything runs, the order of the devices, their outcomes and the exit
// status, option overrides, an interrupt and the report, with simulated
// devices on a fed capture, a scripted updater, a fake clock and a real
// settings file.
#include "tools/cli/headless_batch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_lock.h"
#include "platform/ini.h"
#include "platform/text.h"
#include "tests/support/temp_folder.h"
#include "tests/support/lldp_frames.h"
#include "tests/support/fake_services.h"

namespace quilmarr::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using cli::HeadlessBatch;
using cli::UpdateRequest;
using Strings = std::vector<std::string>;

// Devices 192.168.0.<n> announcing themselves over and over, as on a segment.
class Wire {
 public:
  void Add(std::uint8_t last, std::string version = "4.1.7") {
    const std::lock_guard lock(mutex_);
    devices_.push_back({last, std::move(version), false});
  }
  void Clear() {
    const std::lock_guard lock(mutex_);
    devices_.clear();
  }
  // From now on the device announces `comesBackWith`; empty: it is silent for good.
  // Returns once every frame read before has been handled (the capture's
  // hand-off blocks), so none of them counts as heard after the restart.
  void Restart(const std::string& ip, const std::string& comesBackWith) {
    std::unique_lock lock(mutex_);
    for (Device& device : devices_) {
      if ("192.168.0." + std::to_string(device.last) == ip) {
        device.silent = comesBackWith.empty();
        device.version = comesBackWith;
      }
    }
    const std::uint64_t restartedAt = reads_;
    read_.wait_for(lock, 5s, [&] { return reads_ >= restartedAt + 2; });
  }
  // The next announcement of one round over every device, or nothing between rounds.
  std::optional<test::Bytes> Next() {
    const std::lock_guard lock(mutex_);
    ++reads_;
    read_.notify_all();
    while (next_ < devices_.size()) {
      const Device& device = devices_[next_++];
      if (device.silent) continue;
      test::DeviceAnnouncement announcement;
      announcement.ip = {192, 168, 0, device.last};
      announcement.appVersion = device.version;
      return test::LldpFrame(announcement);
    }
    next_ = 0;
    return std::nullopt;
  }

 private:
  struct Device {
    std::uint8_t last;
    std::string version;
    bool silent;
  };
  std::mutex mutex_;
  std::condition_variable read_;
  std::vector<Device> devices_;
  std::size_t next_ = 0;
  std::uint64_t reads_ = 0;
};

class WireSource final : public PacketSource {
 public:
  WireSource(Wire& wire, bool opens) : wire_(wire), opens_(opens) {}
  bool Open(const std::string& /*name*/) override { return opens_; }
  ReadResult Read() override {
    if (auto frame = wire_.Next()) {
      frame_ = std::move(*frame);
      return {ReadStatus::Frame, frame_};
    }
    std::this_thread::sleep_for(2ms);  // the read time-out between rounds
    return {ReadStatus::Timeout, {}};
  }
  void Close() override {}

 private:
  Wire& wire_;
  bool opens_;
  test::Bytes frame_;
};

// Records what each run was told, then ends it as scripted: by default with
// status 0 and the device back with version 5.0.0.
class ScriptedUpdater final : public ProcessLauncher {
 public:
  struct Script {
    ProcessRun end{ProcessRun::End::Exited, 0};
    std::string comesBackWith = "5.0.0";
  };
  ScriptedUpdater(const SettingsFile& settings, Wire& wire) : settings_(settings), wire_(wire) {}

  ProcessRun RunAndWait(const std::u16string& /*program*/,
                        const std::vector<std::u16string>& arguments,
                        std::chrono::seconds timeLimit) override {
    const std::string ip = ToUtf8(settings_.ReadString(u"UDP", u"REMOTE_IP", 50));
    const std::string host = ToUtf8(settings_.ReadString(u"UDP", u"HOST_IP", 50));
    const std::lock_guard lock(mutex_);
    packages.push_back(ToUtf8(arguments.at(0)));
    runs.push_back(ip + " via " + host + " " + ToUtf8(arguments.at(1)) + " limit " +
                   std::to_string(timeLimit.count()));
    if (during) during();
    const Script script = scripts[ip];
    wire_.Restart(ip, script.comesBackWith);
    return script.end;
  }

  std::mutex mutex_;
  std::map<std::string, Script> scripts;
  std::function<void()> during;
  Strings runs;
  Strings packages;

 private:
  const SettingsFile& settings_;
  Wire& wire_;
};

// Time passes one second per progress report, so verification windows end.
class Recorder final : public cli::BatchEvents {
 public:
  explicit Recorder(test::FakeClock& clock) : clock_(clock) {}
  void Say(std::u16string_view text) override {
    const std::lock_guard lock(mutex_);
    messages.push_back(ToUtf8(text));
    said_.notify_all();
  }
  // From another thread: waits until a message begins with `start`.
  void WaitFor(const std::string& start) {
    std::unique_lock lock(mutex_);
    said_.wait_for(lock, 5s, [&] {
      return std::any_of(messages.begin(), messages.end(),
                         [&](const std::string& m) { return m.starts_with(start); });
    });
  }
  void Progress(const cli::RunProgress& /*progress*/) override { clock_.Advance(1); }
  void Planned(const std::vector<PlannedDevice>&, const BatchPlan&) override {}
  void DeviceFinished(const DeviceResult& result, bool succeeded, const BatchInfo&) override {
    finished.push_back(ToUtf8(result.ip) + " " + ToUtf8(OutcomeText(result)) +
                       (succeeded ? " ok" : ""));
  }
  Strings messages;
  Strings finished;

 private:
  test::FakeClock& clock_;
  std::mutex mutex_;
  std::condition_variable said_;
};

// Public: the refusal cases below arrange it from outside.
class HeadlessBatchTest : public ::testing::Test {
 public:
  HeadlessBatchTest() {
    settings_.ResolveFolder();
    fs::create_directories(fs::path(settings_.Folder()));
    fs::create_directories(temp_.Path() / "updater");
    WriteBytes(Updater(), "");
    WriteBytes(package_, "firmware");
    Write(u"UDP", u"REMOTE_IP", u"1.1.1.1");
    Write(u"UDP", u"HOST_IP", u"2.2.2.2");
    Write(u"Pendravel", u"ExePath", (temp_.Path() / "updater").u16string() + PathSeparator());
    lister_.entries->push_back(Interface("eth1", "Wired", {10, 0, 0, 5}));
    for (std::uint8_t device = 1; device <= 3; ++device) wire_.Add(device);
    request_.adapterIp = u"10.0.0.5";
    request_.packagePath = package_.u16string();
    request_.deviceIps = {u"192.168.0.1", u"192.168.0.2", u"192.168.0.3"};
    // Long enough for many rounds of announcements even on a loaded machine.
    request_.listenFor = 300ms;
    request_.overrides.verifyFor = 120s;
  }

  int Run() {
    HeadlessBatch batch({lister_, [this] { return std::make_unique<WireSource>(wire_, opens_); },
                         clock_, settings_, updater_},
                        events_, interrupt_, 1ms);
    return batch.Run(request_);
  }
  void Write(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
    ASSERT_TRUE(settings_.WriteString(section, key, value));
  }
  [[nodiscard]] std::string Read(std::u16string_view section, std::u16string_view key) const {
    return ToUtf8(settings_.ReadString(section, key, 300));
  }
  [[nodiscard]] fs::path Updater() const { return temp_.Path() / "updater" / "Pendravel.exe"; }
  [[nodiscard]] std::string SettingsPath() const { return ToUtf8(settings_.FilePath()); }
  [[nodiscard]] std::vector<fs::path> Reports() const {
    std::vector<fs::path> files;
    std::error_code ignored;
    const fs::path folder = fs::path(settings_.Folder()) / "Reports";
    for (const auto& entry : fs::directory_iterator(folder, ignored)) files.push_back(entry.path());
    return files;
  }

  TempFolder temp_;
  FakeFolderLocator locator_{temp_.Path().u16string()};
  std::unique_ptr<IniStore> ini_ = MakePlatformIniStore();
  SettingsFile settings_{locator_, *ini_};
  fs::path package_ = temp_.Path() / "fw 1.pck";
  FakeInterfaceLister lister_;
  Wire wire_;
  bool opens_ = true;
  test::FakeClock clock_;
  ScriptedUpdater updater_{settings_, wire_};
  Recorder events_{clock_};
  std::atomic<bool> interrupt_{false};
  UpdateRequest request_;
  FileLock otherBatch_;
};

struct BadInput {
  const char* title;
  std::function<void(HeadlessBatchTest&)> arrange;
  std::function<std::string(const HeadlessBatchTest&)> message;  // the one message's beginning
};

void PrintTo(const BadInput& input, std::ostream* out) { *out << input.title; }

class HeadlessBatchRefusal : public HeadlessBatchTest,
                             public ::testing::WithParamInterface<BadInput> {};

TEST_P(HeadlessBatchRefusal, SaysWhyAndTouchesNeitherTheSettingsFileNorAnUpdater) {
  GetParam().arrange(*this);
  const std::string before = ReadBytes(settings_.FilePath());
  const std::string expected = GetParam().message(*this);
  EXPECT_EQ(Run(), cli::kNothingUpdated);
  ASSERT_EQ(events_.messages.size(), 1u) << ::testing::PrintToString(events_.messages);
  EXPECT_EQ(events_.messages[0].substr(0, expected.size()), expected) << events_.messages[0];
  EXPECT_EQ(ReadBytes(settings_.FilePath()), before);
  EXPECT_TRUE(updater_.runs.empty());
  EXPECT_TRUE(Reports().empty());
}

// What the window cannot be asked and the command line can: the checks before
// and after the listen, and a capture that does not start.
std::vector<BadInput> BadInputs() {
  return {
      BadInput{"DeviceGivenTwice", [](auto& t) { t.request_.deviceIps.push_back(u"192.168.0.1"); },
               [](auto&) { return "Device 192.168.0.1 is given more than once"; }},
      BadInput{
          "BadStoredOption",
          [](auto& t) { t.Write(u"Quilmarr", u"UpdateTimeoutSeconds", u"soon"); },
          [](auto&) { return std::string("Invalid [Quilmarr] UpdateTimeoutSeconds \"soon\""); }},
      BadInput{"CaptureCannotOpen", [](auto& t) { t.opens_ = false; },
               [](auto&) { return "Open adapter failed"; }},
      BadInput{"DryRunWithAnotherBatchRunning",
               [](auto& t) {
                 t.request_.dryRun = true;
                 ASSERT_TRUE(t.otherBatch_.TryLock(LockPath(t.settings_)));
               },
               [](auto&) { return "Another batch is using the settings file"; }},
  };
}

std::string Title(const ::testing::TestParamInfo<BadInput>& info) { return info.param.title; }

INSTANTIATE_TEST_SUITE_P(HeadlessBatch, HeadlessBatchRefusal, ::testing::ValuesIn(BadInputs()),
                         Title);

// Each outcome as it is final, so a failure can come before an earlier
// device's verification ends; the exit status needs every device verified.
TEST_F(HeadlessBatchTest, EachDeviceIsReportedOnceItsOutcomeIsFinal) {
  updater_.scripts["192.168.0.1"].comesBackWith = "";       // never heard again
  updater_.scripts["192.168.0.2"].end.exitStatus = 3;       // the updater failed
  updater_.scripts["192.168.0.3"].comesBackWith = "4.1.7";  // back, but unchanged
  EXPECT_EQ(Run(), cli::kBatchFailed);
  EXPECT_EQ(events_.finished, (Strings{"192.168.0.2 Failed (exit 3)", "192.168.0.1 Not back",
                                       "192.168.0.3 Unchanged"}));
  ASSERT_EQ(Reports().size(), 1u);
}

// As a close during the window's batch: the running updater ends by itself,
// the rest are skipped; the batch then ends without waiting for devices.
TEST_F(HeadlessBatchTest, InterruptLetsTheRunningUpdaterFinishAndSkipsTheRest) {
  updater_.scripts["192.168.0.1"].comesBackWith = "";  // still away when the batch ends
  updater_.during = [this] {
    interrupt_ = true;
    events_.WaitFor("Interrupted");
  };
  EXPECT_EQ(Run(), cli::kBatchFailed);
  EXPECT_EQ(updater_.runs.size(), 1u);
  EXPECT_EQ(events_.finished,
            (Strings{"192.168.0.1 Done", "192.168.0.2 Skipped", "192.168.0.3 Skipped"}));
  EXPECT_EQ(Read(u"UDP", u"REMOTE_IP"), "1.1.1.1");
  EXPECT_EQ(Read(u"UDP", u"HOST_IP"), "2.2.2.2");
  EXPECT_EQ(Reports().size(), 1u);

  events_.messages.clear();
  EXPECT_EQ(Run(), cli::kNothingUpdated) << "still set: interrupted during the listen";
  EXPECT_EQ(events_.messages, Strings{"Interrupted: nothing was updated"});
  EXPECT_EQ(updater_.runs.size(), 1u);
}

TEST_F(HeadlessBatchTest, AReportThatCannotBeWrittenFailsTheBatch) {
  request_.reportPath = temp_.Path().u16string();  // a folder
  EXPECT_EQ(Run(), cli::kBatchFailed);
  EXPECT_EQ(events_.messages.back(),
            "The batch report could not be written: " + temp_.Path().string());
}

}  // namespace
}  // namespace quilmarr::test
