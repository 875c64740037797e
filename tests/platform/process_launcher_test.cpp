#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/process.h"
#include "platform/text.h"
#include "tests/support/temp_folder.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

namespace quilmarr::test {
namespace {

namespace fs = std::filesystem;
using std::chrono::seconds;

// The probe's path as the platform's process creation expects it; under Wine
// the build tree is reached through drive Z:.
fs::path ProbePath() {
  std::string path = QUILMARR_PROCESS_PROBE;
#ifdef _WIN32
  if (path.starts_with('/')) path = "Z:" + path;
#endif
  return fs::path(path).make_preferred();
}

std::u16string Wide(const fs::path& path) { return path.u16string(); }

class ProcessLauncherTest : public ::testing::Test {
 protected:
  [[nodiscard]] std::vector<std::string> ReportLines() const {
    std::ifstream in(Report());
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  [[nodiscard]] fs::path Report() const { return folder_ / "report.txt"; }

  // True when the program started and ended by itself.
  [[nodiscard]] bool Ran(const std::u16string& program,
                         const std::vector<std::u16string>& arguments, seconds limit = seconds(0)) {
    return launcher_->RunAndWait(program, arguments, limit).end == ProcessRun::End::Exited;
  }

  TempFolder temp_;
  const fs::path folder_ = temp_.Path();
  std::unique_ptr<ProcessLauncher> launcher_ = MakePlatformProcessLauncher();
};

// A process that has ended, also one nobody has reaped yet, is not running.
bool IsRunning(long id) {
#ifdef _WIN32
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(id));
  if (process == nullptr) return false;
  const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return running;
#else
  std::ifstream stat("/proc/" + std::to_string(id) + "/stat");
  std::string pid, name, state;
  if (!(stat >> pid >> name >> state)) return false;
  return state != "Z" && state != "X";
#endif
}

TEST_F(ProcessLauncherTest, ProgramsThatCannotStartAreReportedAsNotCreated) {
  for (const auto limit : {seconds(0), seconds(5)}) {
    EXPECT_FALSE(Ran(Wide(folder_ / "no-such-program.exe"), {}, limit));
    EXPECT_FALSE(Ran(Wide(folder_), {}, limit)) << "a folder is no program";
#ifndef _WIN32
    const fs::path notExecutable = folder_ / "plain.txt";
    std::ofstream(notExecutable) << "#!/bin/sh\nexit 0\n";
    EXPECT_FALSE(Ran(Wide(notExecutable), {}, limit));
#endif
  }
}

TEST_F(ProcessLauncherTest, ExitStatusIsReportedWithAndWithoutALimit) {
  for (const auto limit : {seconds(0), seconds(30)}) {
    SCOPED_TRACE(limit.count());
    const ProcessRun failed = launcher_->RunAndWait(Wide(ProbePath()), {u"--exit", u"3"}, limit);
    EXPECT_EQ(failed.end, ProcessRun::End::Exited);
    EXPECT_EQ(failed.exitStatus, 3);
    const ProcessRun fine = launcher_->RunAndWait(Wide(ProbePath()), {u"--exit", u"0"}, limit);
    EXPECT_EQ(fine.end, ProcessRun::End::Exited);
    EXPECT_EQ(fine.exitStatus, 0);
  }
}

// An updater that never ends is ended with everything it started.
TEST_F(ProcessLauncherTest, TimeLimitEndsTheProgramAndItsChildren) {
  const fs::path pids = folder_ / "pids.txt";
  const auto started = std::chrono::steady_clock::now();
  const ProcessRun run =
      launcher_->RunAndWait(Wide(ProbePath()), {u"--hang", Wide(pids)}, seconds(2));
  EXPECT_EQ(run.end, ProcessRun::End::TimedOut);
  EXPECT_GE(std::chrono::steady_clock::now() - started, seconds(2));

  long child = 0;
  long grandchild = 0;
  std::ifstream(pids) >> child >> grandchild;
  ASSERT_GT(child, 0);
  ASSERT_GT(grandchild, 0);
  for (int i = 0; i < 100 && (IsRunning(child) || IsRunning(grandchild)); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_FALSE(IsRunning(child));
  EXPECT_FALSE(IsRunning(grandchild));
}

#ifndef _WIN32
// A terminal's Ctrl-C goes to the whole foreground process group: an updater
// in the tool's group would be ended halfway through writing flash.
TEST_F(ProcessLauncherTest, RunWithoutALimitHasAProcessGroupOfItsOwn) {
  const fs::path pids = folder_ / "pids.txt";
  ProcessRun run;
  std::thread waiting([&] {
    run = launcher_->RunAndWait(Wide(ProbePath()), {u"--hang", Wide(pids)}, seconds(0));
  });
  long child = 0;
  long grandchild = 0;
  for (int i = 0; i < 500 && grandchild <= 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::ifstream(pids) >> child >> grandchild;
  }
  const pid_t group = child > 0 ? getpgid(static_cast<pid_t>(child)) : -1;
  if (grandchild > 0) kill(static_cast<pid_t>(grandchild), SIGKILL);
  if (child > 0) kill(static_cast<pid_t>(child), SIGKILL);
  waiting.join();
  ASSERT_GT(child, 0);
  EXPECT_EQ(group, static_cast<pid_t>(child));
  EXPECT_NE(group, getpgrp());
  EXPECT_EQ(run.end, ProcessRun::End::Exited);
}
#endif

#ifndef _WIN32
// How a run ends in a child of this test that got `action` for SIGCHLD, as a
// parent hands it down: the probe's status, 200 for an unknown one, or 201.
int ExitInAChildWith(struct sigaction action, seconds limit) {
  const pid_t tester = fork();
  if (tester == 0) {
    sigaction(SIGCHLD, &action, nullptr);
    const ProcessRun run =
        MakePlatformProcessLauncher()->RunAndWait(Wide(ProbePath()), {u"--exit", u"3"}, limit);
    _exit(run.end != ProcessRun::End::Exited ? 201 : run.exitStatus < 0 ? 200 : run.exitStatus);
  }
  int status = 0;
  return waitpid(tester, &status, 0) == tester && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
TEST(ProcessLauncherChildSignal, ExitStatusIsKeptOrReportedAsUnknown) {
  struct sigaction ignore = {}, noZombies = {};
  ignore.sa_handler = SIG_IGN;        // the kernel reaped the updater: its status read as 0
  noZombies.sa_handler = [](int) {};  // a handler is left alone, so the status is lost
  noZombies.sa_flags = SA_NOCLDWAIT;
  for (const auto limit : {seconds(0), seconds(5)}) {
    EXPECT_EQ(ExitInAChildWith(ignore, limit), 3) << limit.count();
    EXPECT_EQ(ExitInAChildWith(noZombies, limit), 200) << limit.count() << ": not success";
  }
}
#endif

TEST_F(ProcessLauncherTest, ChildGetsItsArgumentsAsGivenAndIsWaitedFor) {
  const std::vector<std::u16string> words{u"plain",      u"with blank", u"",     u"quote\"d",
                                          u"trailing\\", u"C:\\a b\\",  u"-P255"};
  std::vector<std::u16string> arguments{Wide(Report())};
  arguments.insert(arguments.end(), words.begin(), words.end());

  ASSERT_TRUE(Ran(Wide(ProbePath()), arguments));

  // The probe writes its report only after a pause, so it is complete only if
  // the launcher waited for the end.
  const std::vector<std::string> lines = ReportLines();
  ASSERT_GE(lines.size(), words.size());
  for (std::size_t i = 0; i < words.size(); ++i) {
    EXPECT_EQ(lines[i], "arg=" + ToUtf8(words[i])) << "argument " << i;
  }
  EXPECT_EQ(lines[words.size()].rfind("cwd=", 0), 0U) << "no extra argument appeared";
}

TEST_F(ProcessLauncherTest, ChildInheritsFolderAndEnvironmentButNoHandles) {
#ifdef _WIN32
  ASSERT_TRUE(SetEnvironmentVariableW(L"QUILMARR_PROBE_VALUE", L"inherited"));
#else
  ASSERT_EQ(setenv("QUILMARR_PROBE_VALUE", "inherited", 1), 0);
  // A descriptor the tool holds open without close-on-exec must not reach the child.
  const int leaky = open("/dev/zero", O_RDONLY);
  ASSERT_GE(leaky, 0);
#endif

  const bool ran = Ran(Wide(ProbePath()), {Wide(Report())});

#ifndef _WIN32
  close(leaky);
#endif
  ASSERT_TRUE(ran);
  const std::vector<std::string> lines = ReportLines();
  const std::vector<std::string> expected{
      "cwd=" + fs::current_path().string(),
      "env=inherited",
#ifdef _WIN32
      "stdin=null",
      "stdout=null",
      "stderr=null",
#else
      "stdin=/dev/null",
      "stdout=/dev/null",
      "stderr=/dev/null",
      "others=",
#endif
  };
  EXPECT_EQ(lines, expected);
}

TEST_F(ProcessLauncherTest, ProgramInAFolderWithBlanksRuns) {
  const fs::path folder = folder_ / "Program Files" / "Kavrendt";
  fs::create_directories(folder);
  const fs::path program = folder / ProbePath().filename();
  fs::copy_file(ProbePath(), program);

  ASSERT_TRUE(Ran(Wide(program), {Wide(Report()), u"x"}));
  const std::vector<std::string> lines = ReportLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "arg=x");
}

}  // namespace
}  // namespace quilmarr::test
