#pragma once
// The updater's launcher as the test plays it: every run is recorded and ends
// as the test says; when holding, each run waits until the test releases it,
// so the test can act "during" a device's update.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <utility>
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
  using ProcessLauncher::RunAndWait;
  [[nodiscard]] ProcessRun RunAndWait(const std::u16string& program,
                                      const std::vector<std::u16string>& arguments,
                                      std::chrono::seconds timeLimit,
                                      const ProcessStarted& started) override {
    if (started) started(startedAs_);
    std::unique_lock lock(mutex_);
    calls_.push_back({program, arguments, timeLimit});
    const std::size_t index = calls_.size();
    changed_.notify_all();
    changed_.wait(lock, [&] { return !hold_ || released_ >= index; });
    return index <= runs_.size() ? runs_[index - 1] : ProcessRun{ProcessRun::End::Exited, 0};
  }

  // How the next runs end, one per run; later runs exit with status 0.
  void EndRunsWith(std::vector<ProcessRun> runs) {
    const std::lock_guard lock(mutex_);
    runs_ = std::move(runs);
  }
  // Who each run says it is, for the journal.
  void StartAs(ProcessIdentity identity) {
    const std::lock_guard lock(mutex_);
    startedAs_ = identity;
  }
  void Hold() {
    const std::lock_guard lock(mutex_);
    hold_ = true;
  }
  void ReleaseOne() {
    const std::lock_guard lock(mutex_);
    ++released_;
    changed_.notify_all();
  }
  void ReleaseAll() {
    const std::lock_guard lock(mutex_);
    hold_ = false;
    changed_.notify_all();
  }

  [[nodiscard]] std::vector<LaunchCall> Calls() const {
    const std::lock_guard lock(mutex_);
    return calls_;
  }
  [[nodiscard]] std::size_t CallCount() const {
    const std::lock_guard lock(mutex_);
    return calls_.size();
  }
  // Waits until `count` runs have begun; false after `timeout`.
  [[nodiscard]] bool WaitForCalls(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return calls_.size() >= count; });
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<LaunchCall> calls_;
  std::vector<ProcessRun> runs_;
  ProcessIdentity startedAs_{};
  bool hold_ = false;
  std::size_t released_ = 0;
};

}  // namespace quilmarr::test
