#pragma once
#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace quilmarr {

// How one run of a program ended.
struct ProcessRun {
  enum class End { NotStarted, Exited, TimedOut };
  End end = End::NotStarted;
  // For Exited: the program's exit status. A POSIX program ended by signal N
  // counts as 128 + N, as shells report it; -1 when the program ended but its
  // status could not be learned (a failure, never taken for success).
  int exitStatus = 0;
};

// Seam over starting a program and waiting for its end.
class ProcessLauncher {
 public:
  virtual ~ProcessLauncher() = default;
  // Runs `program` with `arguments` (not including the program itself) with
  // the tool's environment and current folder, no inherited handles and no
  // standard handles, and waits for it to end. No shell is involved. A zero
  // `timeLimit` waits without a limit; past a non-zero one the program and
  // every process it started are ended (TimedOut).
  [[nodiscard]] virtual ProcessRun RunAndWait(const std::u16string& program,
                                              const std::vector<std::u16string>& arguments,
                                              std::chrono::seconds timeLimit) = 0;
};

// CreateProcessW on Windows (a job object holds the processes of a limited
// run), posix_spawn elsewhere (every run gets a process group of its own, so
// signals meant for the tool's group do not reach the program).
[[nodiscard]] std::unique_ptr<ProcessLauncher> MakePlatformProcessLauncher();

// A Windows command line: each word quoted by the platform's rules only when it
// needs it (empty, or holding a blank, tab or quote), so plain paths are unchanged.
[[nodiscard]] std::u16string BuildWindowsCommandLine(const std::u16string& program,
                                                     const std::vector<std::u16string>& arguments);

}  // namespace quilmarr
