#pragma once
// Test helper: runs a program (no shell) with its output in temporary files.
#include <string>
#include <sys/types.h>
#include <vector>

namespace quilmarr::test {

struct CommandResult {
  int status = -1;  // exit status, or -1 when it did not exit normally
  std::string out;
  std::string err;
};

// Runs argv[0] (found through PATH) and waits for it.
[[nodiscard]] CommandResult RunCommand(const std::vector<std::string>& argv);

// A program running in the background; the destructor sends SIGTERM and waits.
class BackgroundProcess {
 public:
  explicit BackgroundProcess(const std::vector<std::string>& argv);
  // Its output in `folder` ("out", "err"), in a process group of its own as a shell starts it.
  BackgroundProcess(const std::vector<std::string>& argv, const std::string& folder);
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;
  ~BackgroundProcess();

  [[nodiscard]] bool Started() const noexcept { return pid_ > 0; }
  // Waits for the end; the exit status or -1.
  int Wait();
  // Sends `signal` to it, or to its whole group as a terminal's Ctrl-C does, then waits.
  CommandResult Signal(int signal, bool group);

 private:
  pid_t pid_ = -1;
  std::string folder_;
};

}  // namespace quilmarr::test
