#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
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

// A process as the system tells it apart from any later one that gets the
// same id: its id and its start (Linux: clock ticks after boot, from
// /proc/<id>/stat; Windows: creation time).
struct ProcessIdentity {
  std::int64_t id = 0;
  std::uint64_t start = 0;
  friend bool operator==(const ProcessIdentity&, const ProcessIdentity&) = default;
};

// Whether that very process still runs (a zombie has ended).
[[nodiscard]] bool ProcessStillRuns(const ProcessIdentity& process);

// Called on the launching thread once the program runs, before it is waited for.
using ProcessStarted = std::function<void(const ProcessIdentity&)>;

// Seam over starting a program and waiting for its end.
class ProcessLauncher {
 public:
  virtual ~ProcessLauncher() = default;
  [[nodiscard]] ProcessRun RunAndWait(const std::u16string& program,
                                      const std::vector<std::u16string>& arguments,
                                      std::chrono::seconds timeLimit) {
    return RunAndWait(program, arguments, timeLimit, {});
  }
  // Runs `program` with `arguments` (not including the program itself) with
  // the tool's environment and current folder, no inherited handles and no
  // standard handles, and waits for it to end. No shell is involved. A zero
  // `timeLimit` waits without a limit; past a non-zero one the program and
  // every process it started are ended (TimedOut). `started` learns who runs.
  [[nodiscard]] virtual ProcessRun RunAndWait(const std::u16string& program,
                                              const std::vector<std::u16string>& arguments,
                                              std::chrono::seconds timeLimit,
                                              const ProcessStarted& started) = 0;
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
