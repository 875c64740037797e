#pragma once
// The updater's launcher as the test plays it: every run is recorded and ends
// as the test says; when holding, each run waits until the test releases it,
// so the test can act "during" a device's update.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "platform/process.h"

namespace quilmarr::test {

struct LaunchCall {
  std::u16string program;
  std::vector<std::u16string> arguments;
  std::chrono::seconds timeLimit{0};
};

class FakeLauncher final : public ProcessLauncher {
 public:
  // Runs on the update worker's thread.
  [[nodiscard]] ProcessRun RunAndWait(const std::u16string& program,
                                      const std::vector<std::u16string>& arguments,
                                      std::chrono::seconds timeLimit) override;

  // How the next runs end, one per run; later runs exit with status 0.
  void EndRunsWith(std::vector<ProcessRun> runs);
  void Hold();
  void ReleaseOne();
  void ReleaseAll();

  [[nodiscard]] std::vector<LaunchCall> Calls() const;
  [[nodiscard]] std::size_t CallCount() const;
  // Waits until `count` runs have begun; false after `timeout`.
  [[nodiscard]] bool WaitForCalls(std::size_t count, std::chrono::milliseconds timeout) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<LaunchCall> calls_;
  std::vector<ProcessRun> runs_;
  bool hold_ = false;
  std::size_t released_ = 0;
};

}  // namespace quilmarr::test
