#pragma once
#include <memory>
#include <string>
#include <vector>

namespace quilmarr {

// Seam over starting a program and waiting for its end.
class ProcessLauncher {
 public:
  virtual ~ProcessLauncher() = default;
  // Runs `program` with `arguments` (not including the program itself) with
  // the tool's environment and current folder, no inherited handles and no
  // standard handles, and waits without a time limit for it to end. False when
  // the process could not be created. No shell is involved.
  [[nodiscard]] virtual bool RunAndWait(const std::u16string& program,
                                        const std::vector<std::u16string>& arguments) = 0;
};

// CreateProcessW on Windows, posix_spawn elsewhere.
[[nodiscard]] std::unique_ptr<ProcessLauncher> MakePlatformProcessLauncher();

// A Windows command line: each word quoted by the platform's rules only when it
// needs it (empty, or holding a blank, tab or quote), so plain paths are unchanged.
[[nodiscard]] std::u16string BuildWindowsCommandLine(const std::u16string& program,
                                                     const std::vector<std::u16string>& arguments);

}  // namespace quilmarr
