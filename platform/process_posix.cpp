#include "platform/process.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>

#include <cerrno>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>

#include "platform/text.h"

extern char** environ;

namespace quilmarr {
namespace {

// Owns a posix_spawn_file_actions_t for the lifetime of one spawn.
class SpawnFileActions {
 public:
  SpawnFileActions() noexcept { ok_ = posix_spawn_file_actions_init(&actions_) == 0; }
  SpawnFileActions(const SpawnFileActions&) = delete;
  SpawnFileActions& operator=(const SpawnFileActions&) = delete;
  ~SpawnFileActions() {
    if (ok_) posix_spawn_file_actions_destroy(&actions_);
  }

  // Standard input, output and error on /dev/null; every other descriptor
  // closed, as no handle of the tool is inherited.
  [[nodiscard]] bool SetUpNullStandardHandles() noexcept {
    return ok_ &&
           posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0) ==
               0 &&
           posix_spawn_file_actions_addopen(&actions_, STDOUT_FILENO, "/dev/null", O_WRONLY, 0) ==
               0 &&
           posix_spawn_file_actions_addopen(&actions_, STDERR_FILENO, "/dev/null", O_WRONLY, 0) ==
               0 &&
           posix_spawn_file_actions_addclosefrom_np(&actions_, STDERR_FILENO + 1) == 0;
  }
  [[nodiscard]] const posix_spawn_file_actions_t* Get() const noexcept { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_{};
  bool ok_ = false;
};

// Owns a posix_spawnattr_t for the lifetime of one spawn.
class SpawnAttributes {
 public:
  SpawnAttributes() noexcept { ok_ = posix_spawnattr_init(&attributes_) == 0; }
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;
  ~SpawnAttributes() {
    if (ok_) posix_spawnattr_destroy(&attributes_);
  }
  [[nodiscard]] bool Ok() const noexcept { return ok_; }
  [[nodiscard]] bool NewProcessGroup() noexcept {
    return posix_spawnattr_setpgroup(&attributes_, 0) == 0 &&
           posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETPGROUP) == 0;
  }
  [[nodiscard]] const posix_spawnattr_t* Get() const noexcept { return &attributes_; }

 private:
  posix_spawnattr_t attributes_{};
  bool ok_ = false;
};

// False for text that cannot become a C string of the platform's encoding.
[[nodiscard]] bool AppendNarrow(std::vector<std::string>& words, const std::u16string& word) {
  std::optional<std::string> narrow = NarrowForPlatform(word);
  if (!narrow || narrow->find('\0') != std::string::npos) return false;
  words.push_back(std::move(*narrow));
  return true;
}

int ExitStatusOf(int status) noexcept {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// The program's exit status, or -1 when it cannot be learned: a failed
// waitpid leaves `status` untouched, and reading that as 0 would report a
// failed update as a success.
int WaitForExit(pid_t child) noexcept {
  int status = 0;
  for (;;) {
    if (waitpid(child, &status, 0) == child) return ExitStatusOf(status);
    if (errno != EINTR) return -1;
  }
}

// An inherited SIG_IGN for SIGCHLD makes the kernel reap the updater itself:
// waitpid then fails and its exit status is lost. A handler someone installed
// (a toolkit's, say) is left alone.
void RestoreDefaultChildSignal() noexcept {
  struct sigaction current {};
  if (::sigaction(SIGCHLD, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) {
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    static_cast<void>(::sigaction(SIGCHLD, &standard, nullptr));
  }
}

// Waits up to `limit` for the child; false when it is still running then.
bool WaitWithin(pid_t child, std::chrono::seconds limit, int& exitStatus) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
#ifdef SYS_pidfd_open
  const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, child, 0));
#else
  const int pidfd = -1;
#endif
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child || (done < 0 && errno != EINTR)) {
      // A failed waitpid means the child is gone (reaped by someone else),
      // so waiting on would only run into the limit; its status is unknown.
      if (pidfd >= 0) ::close(pidfd);
      exitStatus = done == child ? ExitStatusOf(status) : -1;
      return true;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) break;
    // Rounded up: a wait cut to whole milliseconds must not end the run early.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
    if (pidfd >= 0) {
      pollfd ready{pidfd, POLLIN, 0};
      static_cast<void>(
          ::poll(&ready, 1, static_cast<int>(std::min<long long>(left.count(), 60000))));
    } else {
      ::usleep(20000);
    }
  }
  if (pidfd >= 0) ::close(pidfd);
  return false;
}

struct ProcStat {
  char state = 0;
  std::uint64_t start = 0;
};

// proc(5): the state is the field after the command's closing parenthesis
// (the command may hold blanks and parentheses), the start time the 20th after it.
std::optional<ProcStat> ReadProcStat(std::int64_t id) {
  std::ifstream file("/proc/" + std::to_string(id) + "/stat");
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::size_t close = text.rfind(')');
  if (!file.good() && text.empty()) return std::nullopt;
  if (close == std::string::npos) return std::nullopt;
  std::istringstream fields(text.substr(close + 1));
  ProcStat stat;
  std::string skipped;
  fields >> stat.state;
  for (int i = 0; i < 18; ++i) fields >> skipped;
  fields >> stat.start;
  if (!fields) return std::nullopt;
  return stat;
}

class PosixProcessLauncher final : public ProcessLauncher {
 public:
  ProcessRun RunAndWait(const std::u16string& program, const std::vector<std::u16string>& arguments,
                        std::chrono::seconds timeLimit, const ProcessStarted& started) override {
    std::vector<std::string> words;
    words.reserve(arguments.size() + 1);
    if (!AppendNarrow(words, program)) return {};
    for (const std::u16string& argument : arguments) {
      if (!AppendNarrow(words, argument)) return {};
    }
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    SpawnFileActions actions;
    if (!actions.SetUpNullStandardHandles()) return {};
    SpawnAttributes attributes;
    const bool limited = timeLimit.count() > 0;
    // Every run gets a process group of its own: a terminal's Ctrl-C goes to
    // the tool's foreground group and must not end an updater that may be
    // writing flash; and the watchdog can end the updater together with every
    // process it started.
    if (!attributes.Ok() || !attributes.NewProcessGroup()) return {};
    RestoreDefaultChildSignal();
    pid_t child = 0;
    // posix_spawn, not posix_spawnp: the program is a path, never searched for.
    if (posix_spawn(&child, argv[0], actions.Get(), attributes.Get(), argv.data(), environ) != 0) {
      return {};
    }
    if (started) {
      const std::optional<ProcStat> stat = ReadProcStat(child);
      started({child, stat ? stat->start : 0});
    }
    if (!limited) return {ProcessRun::End::Exited, WaitForExit(child)};
    int exitStatus = 0;
    if (WaitWithin(child, timeLimit, exitStatus)) return {ProcessRun::End::Exited, exitStatus};
    ::kill(-child, SIGKILL);
    static_cast<void>(WaitForExit(child));
    return {ProcessRun::End::TimedOut, 0};
  }
};

}  // namespace

bool ProcessStillRuns(const ProcessIdentity& process) {
  if (process.id <= 0) return false;
  const std::optional<ProcStat> stat = ReadProcStat(process.id);
  return stat && stat->state != 'Z' && stat->state != 'X' && stat->start == process.start;
}

std::unique_ptr<ProcessLauncher> MakePlatformProcessLauncher() {
  return std::make_unique<PosixProcessLauncher>();
}

}  // namespace quilmarr
