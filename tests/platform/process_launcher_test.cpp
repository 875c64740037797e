#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/process.h"
#include "platform/text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace quilmarr {
namespace {

namespace fs = std::filesystem;

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
  void SetUp() override {
    folder_ =
        fs::temp_directory_path() / ("quilmarr-process-" + std::to_string(std::random_device{}()));
    fs::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  [[nodiscard]] std::vector<std::string> ReportLines() const {
    std::ifstream in(Report());
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  [[nodiscard]] fs::path Report() const { return folder_ / "report.txt"; }

  fs::path folder_;
  std::unique_ptr<ProcessLauncher> launcher_ = MakePlatformProcessLauncher();
};

TEST_F(ProcessLauncherTest, ProgramsThatCannotStartAreReportedAsNotCreated) {
  EXPECT_FALSE(launcher_->RunAndWait(Wide(folder_ / "no-such-program.exe"), {}));
  EXPECT_FALSE(launcher_->RunAndWait(Wide(folder_), {})) << "a folder is no program";
#ifndef _WIN32
  const fs::path notExecutable = folder_ / "plain.txt";
  std::ofstream(notExecutable) << "#!/bin/sh\nexit 0\n";
  EXPECT_FALSE(launcher_->RunAndWait(Wide(notExecutable), {}));
#endif
}

TEST_F(ProcessLauncherTest, ChildGetsItsArgumentsAsGivenAndIsWaitedFor) {
  const std::vector<std::u16string> words{u"plain",      u"with blank", u"",     u"quote\"d",
                                          u"trailing\\", u"C:\\a b\\",  u"-P255"};
  std::vector<std::u16string> arguments{Wide(Report())};
  arguments.insert(arguments.end(), words.begin(), words.end());

  ASSERT_TRUE(launcher_->RunAndWait(Wide(ProbePath()), arguments));

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

  const bool ran = launcher_->RunAndWait(Wide(ProbePath()), {Wide(Report())});

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

  ASSERT_TRUE(launcher_->RunAndWait(Wide(program), {Wide(Report()), u"x"}));
  const std::vector<std::string> lines = ReportLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "arg=x");
}

}  // namespace
}  // namespace quilmarr
