#include "tests/support/child_process.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <csignal>
#include <cstdlib>

#include "tests/support/temp_folder.h"

extern char** environ;

namespace quilmarr::test {
namespace {

pid_t Spawn(const std::vector<std::string>& argv, const std::string& outPath,
            const std::string& errPath, bool ownGroup = false) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  if (ownGroup) posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  pid_t pid = -1;
  if (posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ) != 0) pid = -1;
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int WaitFor(pid_t pid) {
  int raw = 0;
  if (waitpid(pid, &raw, 0) != pid) return -1;
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

}  // namespace

CommandResult RunCommand(const std::vector<std::string>& argv) {
  const TempFolder output;
  CommandResult result;
  const pid_t pid = Spawn(argv, output.File("out").string(), output.File("err").string());
  if (pid > 0) result.status = WaitFor(pid);
  result.out = ReadBytes(output.File("out"));
  result.err = ReadBytes(output.File("err"));
  return result;
}

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv)
    : pid_(Spawn(argv, "/dev/null", "/dev/null")) {}

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv,
                                     const std::string& folder)
    : pid_(Spawn(argv, folder + "/out", folder + "/err", true)), folder_(folder) {}

CommandResult BackgroundProcess::Signal(int signal, bool group) {
  if (pid_ > 0) group ? killpg(pid_, signal) : kill(pid_, signal);
  return {Wait(), ReadBytes(folder_ + "/out"), ReadBytes(folder_ + "/err")};
}

BackgroundProcess::~BackgroundProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    static_cast<void>(WaitFor(pid_));
  }
}

int BackgroundProcess::Wait() {
  if (pid_ <= 0) return -1;
  const int status = WaitFor(pid_);
  pid_ = -1;
  return status;
}

}  // namespace quilmarr::test
