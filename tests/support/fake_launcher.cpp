#include "tests/support/fake_launcher.h"

#include <utility>

namespace quilmarr::test {

ProcessRun FakeLauncher::RunAndWait(const std::u16string& program,
                                    const std::vector<std::u16string>& arguments,
                                    std::chrono::seconds timeLimit) {
  std::unique_lock lock(mutex_);
  calls_.push_back({program, arguments, timeLimit});
  const std::size_t index = calls_.size();
  changed_.notify_all();
  changed_.wait(lock, [&] { return !hold_ || released_ >= index; });
  return index <= runs_.size() ? runs_[index - 1] : ProcessRun{ProcessRun::End::Exited, 0};
}

void FakeLauncher::EndRunsWith(std::vector<ProcessRun> runs) {
  const std::lock_guard lock(mutex_);
  runs_ = std::move(runs);
}

void FakeLauncher::Hold() {
  const std::lock_guard lock(mutex_);
  hold_ = true;
}

void FakeLauncher::ReleaseOne() {
  const std::lock_guard lock(mutex_);
  ++released_;
  changed_.notify_all();
}

void FakeLauncher::ReleaseAll() {
  const std::lock_guard lock(mutex_);
  hold_ = false;
  changed_.notify_all();
}

std::vector<LaunchCall> FakeLauncher::Calls() const {
  const std::lock_guard lock(mutex_);
  return calls_;
}

std::size_t FakeLauncher::CallCount() const {
  const std::lock_guard lock(mutex_);
  return calls_.size();
}

bool FakeLauncher::WaitForCalls(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return calls_.size() >= count; });
}

}  // namespace quilmarr::test
