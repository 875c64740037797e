#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/ini.h"
#include "session/worker_messages.h"
#include "platform/process.h"
#include "platform/text.h"
#include "update/settings_file.h"
#include "update/update_job.h"
#include "update/update_worker.h"
#include "tests/support/fake_folder_locator.h"
#include "tests/support/recording_target.h"
#include "tests/support/temp_folder.h"

namespace quilmarr::test {
namespace {

namespace fs = std::filesystem;
using std::chrono::seconds;

constexpr auto kPatience = seconds(60);
constexpr char16_t kStartRemote[] = u"10.9.9.9";
constexpr char16_t kStartHost[] = u"10.8.8.8";
constexpr char16_t kAdapter[] = u"192.168.1.10";

std::string Ending(const DeviceRun& run) {
  switch (run.process.end) {
    case ProcessRun::End::NotStarted: return " not started";
    case ProcessRun::End::TimedOut: return " timed out";
    case ProcessRun::End::Exited: return " exit " + std::to_string(run.process.exitStatus);
  }
  return {};
}

// What a message list should look like, for readable failures.
std::vector<std::string> Describe(const std::vector<ReceivedMessage>& records) {
  std::vector<std::string> lines;
  for (const auto& r : records) {
    if (!r.posted) lines.push_back("sent, though the update worker must never wait");
    switch (r.id) {
      case WM_UPDATE_ERROR: lines.push_back("error " + ToUtf8(r.text)); break;
      case WM_UPDATE_DEVICE_STARTED: lines.push_back("started " + ToUtf8(r.text)); break;
      case WM_UPDATE_DEVICE_ENDED:
        lines.push_back("ended " + ToUtf8(r.run.ip) + Ending(r.run));
        break;
      case WM_UPDATE_FINISHED: lines.push_back("finished"); break;
      default: lines.push_back("unexpected " + std::to_string(r.id));
    }
  }
  return lines;
}

// The platform store, with every write recorded and an optional hook before reads.
class ObservedIniStore final : public IniStore {
 public:
  explicit ObservedIniStore(IniStore& real) : real_(real) {}
  std::u16string Read(std::u16string_view path, std::u16string_view section,
                      std::u16string_view key, std::u16string_view defaultValue,
                      std::size_t capacity) const override {
    if (beforeRead) beforeRead(key);
    return real_.Read(path, section, key, defaultValue, capacity);
  }
  bool Write(std::u16string_view path, std::u16string_view section, std::u16string_view key,
             std::u16string_view value) override {
    {
      const std::lock_guard lock(mutex_);
      writes_.push_back(ToUtf8(section) + " " + ToUtf8(key) + "=" + ToUtf8(value));
    }
    return real_.Write(path, section, key, value);
  }
  [[nodiscard]] std::vector<std::string> Writes() const {
    const std::lock_guard lock(mutex_);
    return writes_;
  }
  void ForgetWrites() {
    const std::lock_guard lock(mutex_);
    writes_.clear();
  }
  std::function<void(std::u16string_view key)> beforeRead;

 private:
  IniStore& real_;
  mutable std::mutex mutex_;
  std::vector<std::string> writes_;
};

// The platform launcher, with its calls counted and an optional hook before each.
class ObservedLauncher final : public ProcessLauncher {
 public:
  explicit ObservedLauncher(ProcessLauncher& real) : real_(real) {}
  using ProcessLauncher::RunAndWait;
  ProcessRun RunAndWait(const std::u16string& program, const std::vector<std::u16string>& arguments,
                        seconds timeLimit, const ProcessStarted& started) override {
    ++calls;
    programs.push_back(program);
    if (beforeRun) beforeRun(calls);
    return real_.RunAndWait(program, arguments, timeLimit, started);
  }
  int calls = 0;  // touched by the worker only; read after it has been joined
  std::vector<std::u16string> programs;
  std::function<void(int call)> beforeRun;

 private:
  ProcessLauncher& real_;
};

// Holds the worker at a point until the test lets it go.
class Gate {
 public:
  void ArriveAndWait() {
    std::unique_lock lock(mutex_);
    arrived_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return open_; });
  }
  [[nodiscard]] bool WaitArrived() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kPatience, [&] { return arrived_; });
  }
  void Open() {
    const std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool arrived_ = false;
  bool open_ = false;
};

// One line of the stand-in updater's log.
struct LoggedRun {
  std::int64_t startMicros = 0;
  std::int64_t endMicros = 0;
  std::vector<std::string> arguments;
  std::string remoteIp;
  std::string hostIp;
};

std::int64_t Micros(const std::string& text) {
  const auto dot = text.find('.');
  return std::stoll(text.substr(0, dot)) * 1000000 + std::stoll(text.substr(dot + 1));
}

std::vector<LoggedRun> ReadLog(const fs::path& log) {
  std::vector<LoggedRun> runs;
  std::ifstream in(log);
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> fields;
    std::stringstream split(line);
    for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
    if (line.ends_with('\t')) fields.emplace_back();
    if (fields.size() < 4) {
      ADD_FAILURE() << "short log line: " << line;
      continue;
    }
    LoggedRun run;
    run.startMicros = Micros(fields[0]);
    run.endMicros = Micros(fields[1]);
    run.arguments.assign(fields.begin() + 2, fields.end() - 2);
    run.remoteIp = fields[fields.size() - 2];
    run.hostIp = fields.back();
    runs.push_back(std::move(run));
  }
  return runs;
}

void SetEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name, value.c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}

// A real settings file in a temporary folder, the platform's INI store and
// process launcher, and the real stand-in updater, told where the folder is.
class UpdateWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetEnvironment("QUILMARR_STANDIN_APPDATA", AppData().string());
    SetEnvironment("QUILMARR_STANDIN_LOG", Log().string());
    SetEnvironment("QUILMARR_STANDIN_DELAY_MS", "50");
    settings_.ResolveFolder();
    fs::create_directories(fs::path(settings_.Folder()));
    Write(settings::kSectionUdp, settings::kKeyRemoteIp, kStartRemote);
    Write(settings::kSectionUdp, settings::kKeyHostIp, kStartHost);
    Write(settings::kSectionPendravel, settings::kKeyExePath, StandinFolder() + PathSeparator());
    ini_.ForgetWrites();

    job_.emplace(settings_, &sink_);
    target_.SetHandler([this](const Message&) { runningAtPost_.push_back(job_->running.load()); });
    job_->adapterIp = kAdapter;
    job_->packagePath = (root_ / "fw.pck").u16string();
    job_->ReplaceTargets({u"10.0.0.1", u"10.0.0.2", u"10.0.0.3"});
  }
  void TearDown() override {
    readGate_.Open();
    runGate_.Open();
    worker_.Join();
  }

  [[nodiscard]] static std::u16string StandinFolder() {
    // Absolute in the platform's form (under Wine: Z:\... for the build folder).
    return fs::absolute(fs::path(QUILMARR_STANDIN)).make_preferred().parent_path().u16string();
  }
  [[nodiscard]] fs::path AppData() const { return root_ / "config"; }
  [[nodiscard]] fs::path Log() const { return root_ / "standin.log"; }
  void Write(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
    ASSERT_TRUE(settings_.WriteString(section, key, value));
  }
  [[nodiscard]] std::u16string Read(std::u16string_view section, std::u16string_view key) const {
    return settings_.ReadString(section, key, kPathValueCapacity);
  }
  void RunBatch() { EXPECT_EQ(UpdateWorker(*job_, settings_, launcher_, clock_), 0); }
  [[nodiscard]] bool WaitForFinished(std::size_t count = 1) {
    return target_.WaitFor(
        [count](const std::vector<ReceivedMessage>& received) {
          return static_cast<std::size_t>(std::count_if(
                     received.begin(), received.end(),
                     [](const ReceivedMessage& m) { return m.id == WM_UPDATE_FINISHED; })) >= count;
        },
        kPatience);
  }

  TempFolder temp_;
  const fs::path root_ = temp_.Path();
  FakeFolderLocator locator_{AppData().u16string()};
  std::unique_ptr<IniStore> platformIni_ = MakePlatformIniStore();
  ObservedIniStore ini_{*platformIni_};
  SettingsFile settings_{locator_, ini_};
  std::unique_ptr<ProcessLauncher> platformLauncher_ = MakePlatformProcessLauncher();
  ObservedLauncher launcher_{*platformLauncher_};
  SystemClock clock_;
  RecordingTarget target_;
  std::vector<bool> runningAtPost_;  // the job's `running` as each message was posted
  WindowMessageSink sink_{target_};
  std::optional<UpdateJob> job_;
  Gate readGate_;
  Gate runGate_;
  UpdateWorkerThread worker_;
};

TEST_F(UpdateWorkerTest, MissingOrEmptyExePathEndsTheBatchAtOnceAndLeavesUdpAlone) {
  for (const bool keyPresent : {false, true}) {
    SCOPED_TRACE(keyPresent ? "empty ExePath" : "no ExePath");
    fs::remove(settings_.FilePath());
    if (keyPresent) Write(settings::kSectionPendravel, settings::kKeyExePath, u"");
    Write(settings::kSectionUdp, settings::kKeyRemoteIp, kStartRemote);
    ini_.ForgetWrites();
    const std::size_t before = target_.Messages().size();

    RunBatch();

    const auto all = target_.Messages();
    const std::vector<ReceivedMessage> records(all.begin() + static_cast<std::ptrdiff_t>(before),
                                               all.end());
    EXPECT_EQ(Describe(records),
              (std::vector<std::string>{"error Please install Pendravel", "finished"}));
    for (std::size_t i = before; i < runningAtPost_.size(); ++i) EXPECT_FALSE(runningAtPost_[i]);
    EXPECT_TRUE(ini_.Writes().empty());
    EXPECT_EQ(Read(settings::kSectionUdp, settings::kKeyRemoteIp), kStartRemote);
    EXPECT_EQ(launcher_.calls, 0);
  }
  EXPECT_FALSE(fs::exists(Log()));
}

void MakeReadOnly(const fs::path& path) {
  fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
}

// The updater learns its target only from the settings file: when the adapter
// address cannot be written there, no updater may run.
TEST_F(UpdateWorkerTest, ReadOnlySettingsFileStartsNoUpdater) {
  MakeReadOnly(fs::path(settings_.FilePath()));

  RunBatch();

  EXPECT_EQ(Describe(target_.Messages()),
            (std::vector<std::string>{
                "error The settings file could not be written: " + ToUtf8(settings_.FilePath()),
                "finished"}));
  EXPECT_EQ(launcher_.calls, 0);
  EXPECT_FALSE(fs::exists(Log()));
  EXPECT_EQ(Read(settings::kSectionUdp, settings::kKeyHostIp), kStartHost);
}

#ifndef _WIN32
// A folder where the temporary file of an atomic write cannot be made. Root
// may write anywhere, so the batch then runs as an unprivileged user.
TEST_F(UpdateWorkerTest, ReadOnlySettingsFolderStartsNoUpdater) {
  const fs::path folder = fs::path(settings_.Folder());
  fs::permissions(fs::path(settings_.FilePath()), fs::perms::all & ~fs::perms::owner_exec &
                                                      ~fs::perms::group_exec &
                                                      ~fs::perms::others_exec);
  for (fs::path p = folder; p != root_.parent_path(); p = p.parent_path()) {
    fs::permissions(p, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  }
  MakeReadOnly(folder);
  const std::vector<std::string> expected{
      "error The settings file could not be written: " + ToUtf8(settings_.FilePath()), "finished"};

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    constexpr uid_t kNobody = 65534;
    if (geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) _exit(3);
    static_cast<void>(UpdateWorker(*job_, settings_, launcher_, clock_));
    _exit(Describe(target_.Messages()) == expected && launcher_.calls == 0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  fs::permissions(folder, fs::perms::owner_write, fs::perm_options::add);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: wrong reports or an updater ran; 3: no user to run as";
  EXPECT_FALSE(fs::exists(Log()));
}
#endif

TEST_F(UpdateWorkerTest, DeviceWhoseAddressCannotBeWrittenIsSkipped) {
  launcher_.beforeRun = [this](int call) {
    if (call == 1) MakeReadOnly(fs::path(settings_.FilePath()));
  };

  RunBatch();

  const std::string notWritten =
      " skipped. The settings file could not be written: " + ToUtf8(settings_.FilePath());
  EXPECT_EQ(Describe(target_.Messages()),
            (std::vector<std::string>{
                "started 10.0.0.1", "ended 10.0.0.1 exit 0", "error Device 10.0.0.2" + notWritten,
                "ended 10.0.0.2 not started", "error Device 10.0.0.3" + notWritten,
                "ended 10.0.0.3 not started", "finished"}));
  const auto runs = ReadLog(Log());
  ASSERT_EQ(runs.size(), 1U) << "no updater ran against an address that was not written";
  EXPECT_EQ(runs[0].remoteIp, "10.0.0.1");
}

TEST_F(UpdateWorkerTest, ExePathWithoutSeparatorFailsEveryDeviceAndStillFinishes) {
  Write(settings::kSectionPendravel, settings::kKeyExePath, StandinFolder());

  RunBatch();

  EXPECT_EQ(Describe(target_.Messages()),
            (std::vector<std::string>{"started 10.0.0.1", "error create process fail",
                                      "ended 10.0.0.1 not started", "started 10.0.0.2",
                                      "error create process fail", "ended 10.0.0.2 not started",
                                      "started 10.0.0.3", "error create process fail",
                                      "ended 10.0.0.3 not started", "finished"}));
  ASSERT_EQ(launcher_.programs.size(), 3U);
  EXPECT_EQ(launcher_.programs.front(), StandinFolder() + u"Pendravel.exe");
  EXPECT_FALSE(job_->running.load());
  EXPECT_FALSE(fs::exists(Log()));
}

TEST_F(UpdateWorkerTest, ThreeDevicesAreHandedOverOneAfterAnother) {
  worker_.Start(*job_, settings_, launcher_, clock_);
  ASSERT_TRUE(WaitForFinished());
  worker_.Join();

  EXPECT_EQ(ini_.Writes(),
            (std::vector<std::string>{"UDP HOST_IP=192.168.1.10", "UDP REMOTE_IP=10.0.0.1",
                                      "UDP REMOTE_IP=10.0.0.2", "UDP REMOTE_IP=10.0.0.3"}));
  EXPECT_EQ(Describe(target_.Messages()),
            (std::vector<std::string>{"started 10.0.0.1", "ended 10.0.0.1 exit 0",
                                      "started 10.0.0.2", "ended 10.0.0.2 exit 0",
                                      "started 10.0.0.3", "ended 10.0.0.3 exit 0", "finished"}));
  for (const bool running : runningAtPost_)
    EXPECT_TRUE(running) << "posted before `running` cleared";
  EXPECT_FALSE(job_->running.load());
  EXPECT_FALSE(worker_.IsAlive());

  const auto runs = ReadLog(Log());
  ASSERT_EQ(runs.size(), 3U);
  const std::string package = ToUtf8(job_->packagePath);
  for (std::size_t i = 0; i < runs.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(runs[i].remoteIp, "10.0.0." + std::to_string(i + 1));
    EXPECT_EQ(runs[i].hostIp, "192.168.1.10");
    EXPECT_EQ(runs[i].arguments, (std::vector<std::string>{package, "-P255"}));
    if (i > 0) {
      EXPECT_GE(runs[i].startMicros, runs[i - 1].endMicros) << "runs overlapped";
    }
  }
}

TEST_F(UpdateWorkerTest, PackagePathWithBlanksReachesTheUpdaterAsOneArgument) {
  const fs::path package = root_ / "my packages" / "fw 1.2.pck";
  job_->packagePath = package.u16string();
  job_->ReplaceTargets({u"10.0.0.7"});

  RunBatch();

  const auto runs = ReadLog(Log());
  ASSERT_EQ(runs.size(), 1U);
  EXPECT_EQ(runs[0].arguments, (std::vector<std::string>{package.string(), "-P255"}));
}

TEST_F(UpdateWorkerTest, UpdaterThatFailsIsNoErrorAndTheBatchGoesOn) {
  SetEnvironment("QUILMARR_STANDIN_EXIT", "3");

  RunBatch();

  SetEnvironment("QUILMARR_STANDIN_EXIT", "0");
  EXPECT_EQ(Describe(target_.Messages()),
            (std::vector<std::string>{"started 10.0.0.1", "ended 10.0.0.1 exit 3",
                                      "started 10.0.0.2", "ended 10.0.0.2 exit 3",
                                      "started 10.0.0.3", "ended 10.0.0.3 exit 3", "finished"}));
  EXPECT_EQ(ReadLog(Log()).size(), 3U);
}

TEST_F(UpdateWorkerTest, FailureInsideTheBatchBecomesAnErrorAndTheBatchFinishes) {
  launcher_.beforeRun = [](int call) {
    if (call == 2) throw std::runtime_error("launcher broke");
  };

  RunBatch();

  EXPECT_EQ(Describe(target_.Messages()),
            (std::vector<std::string>{"started 10.0.0.1", "ended 10.0.0.1 exit 0",
                                      "started 10.0.0.2", "error launcher broke", "finished"}));
  EXPECT_FALSE(job_->running.load());
}

TEST_F(UpdateWorkerTest, WorkerIsAliveBeforeItSetsRunning) {
  ini_.beforeRead = [this](std::u16string_view key) {
    if (key == settings::kKeyExePath) readGate_.ArriveAndWait();
  };
  worker_.Start(*job_, settings_, launcher_, clock_);
  ASSERT_TRUE(readGate_.WaitArrived());

  EXPECT_TRUE(worker_.IsAlive());
  EXPECT_FALSE(job_->running.load());

  readGate_.Open();
  ASSERT_TRUE(WaitForFinished());
  worker_.Join();
  EXPECT_FALSE(worker_.IsAlive());
}

TEST_F(UpdateWorkerTest, InterruptDuringSecondDeviceSkipsTheRestAndANewBatchRunsAll) {
  launcher_.beforeRun = [this](int call) {
    if (call == 2) runGate_.ArriveAndWait();
  };
  worker_.Start(*job_, settings_, launcher_, clock_);
  ASSERT_TRUE(runGate_.WaitArrived());
  EXPECT_TRUE(job_->running.load()) << "a close attempt now is refused";
  job_->interruptRequested.store(true);  // what the close handler does
  runGate_.Open();
  ASSERT_TRUE(WaitForFinished());
  worker_.Join();

  EXPECT_EQ(Describe(target_.Messages()),
            (std::vector<std::string>{"started 10.0.0.1", "ended 10.0.0.1 exit 0",
                                      "started 10.0.0.2", "ended 10.0.0.2 exit 0", "finished"}));
  auto runs = ReadLog(Log());
  ASSERT_EQ(runs.size(), 2U) << "the second updater still ran to its end";
  EXPECT_EQ(runs[1].remoteIp, "10.0.0.2");
  EXPECT_FALSE(job_->running.load());
  EXPECT_TRUE(job_->interruptRequested.load()) << "stays set until the next click";

  // The next Batch Update click.
  job_->ReplaceTargets({u"10.0.1.1", u"10.0.1.2", u"10.0.1.3"});
  job_->interruptRequested.store(false);
  worker_.Start(*job_, settings_, launcher_, clock_);
  ASSERT_TRUE(WaitForFinished(2));
  worker_.Join();

  runs = ReadLog(Log());
  ASSERT_EQ(runs.size(), 5U);
  for (std::size_t i = 0; i < 3; ++i)
    EXPECT_EQ(runs[2 + i].remoteIp, "10.0.1." + std::to_string(i + 1));
}

TEST_F(UpdateWorkerTest, SimulatedPackageSilencesEachDeviceAndGivesItTheNewVersion) {
  const fs::path stateDir = root_ / "ied-state";
  fs::create_directories(stateDir);
  const fs::path package = root_ / "sim.pck";
  std::ofstream(package) << "state-dir=" << stateDir.string() << "\nversion=2.0.7\n";
  job_->packagePath = package.u16string();
  job_->ReplaceTargets({u"10.0.0.1", u"10.0.0.2"});
  SetEnvironment("QUILMARR_STANDIN_SILENT_S", "30");
  const auto now =
      std::chrono::duration_cast<seconds>(std::chrono::system_clock::now().time_since_epoch())
          .count();

  RunBatch();

  for (const char* ip : {"10.0.0.1", "10.0.0.2"}) {
    SCOPED_TRACE(ip);
    std::string version;
    std::int64_t silentUntil = 0;
    std::ifstream(stateDir / (std::string(ip) + ".app")) >> version;
    std::ifstream(stateDir / (std::string(ip) + ".silent-until")) >> silentUntil;
    EXPECT_EQ(version, "2.0.7");
    EXPECT_GE(silentUntil, now + 30);
    EXPECT_LE(silentUntil, now + 30 + 10);
  }
  EXPECT_FALSE(fs::exists(stateDir / "10.0.0.3.app"));
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(stateDir)) ++files;
  EXPECT_EQ(files, 4U) << "no temporary file left behind";
}

}  // namespace
}  // namespace quilmarr::test
