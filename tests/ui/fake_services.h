#pragma once
// Stand-ins for the dialog's outside world: interfaces, clock, capture,
// process start and the settings folder.
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "discovery/adapters.h"
#include "discovery/packet_source.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/process.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_folder_locator.h"
#include "tests/support/fake_interface_lister.h"

namespace quilmarr::test {

// What the next capture does: whether it opens, the frames it delivers, and
// whether a read then fails. Afterwards it reports read time-outs.
struct CaptureScript {
  bool opens = true;
  std::vector<std::vector<std::uint8_t>> frames;
  bool failAfterFrames = false;
};

class ScriptedPacketSource final : public PacketSource {
 public:
  ScriptedPacketSource(CaptureScript script, std::shared_ptr<std::vector<std::string>> opened)
      : script_(std::move(script)), opened_(std::move(opened)) {}
  [[nodiscard]] bool Open(const std::string& narrowDeviceName) override {
    opened_->push_back(narrowDeviceName);
    return script_.opens;
  }
  [[nodiscard]] ReadResult Read() override {
    if (next_ < script_.frames.size()) {
      return {ReadStatus::Frame, script_.frames[next_++]};
    }
    if (script_.failAfterFrames) {
      return {ReadStatus::Error, {}};
    }
    // Stands in for the capture library's read time-out on a quiet adapter.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return {ReadStatus::Timeout, {}};
  }
  void Close() override {}

 private:
  CaptureScript script_;
  std::shared_ptr<std::vector<std::string>> opened_;
  std::size_t next_ = 0;
};

struct LaunchCall {
  std::u16string program;
  std::vector<std::u16string> arguments;
  std::chrono::seconds timeLimit{0};
};

// Runs on the update worker's thread. When holding, each run waits until the
// test releases it, so the test can act "during" a device's update.
class FakeLauncher final : public ProcessLauncher {
 public:
  [[nodiscard]] ProcessRun RunAndWait(const std::u16string& program,
                                      const std::vector<std::u16string>& arguments,
                                      std::chrono::seconds timeLimit) override {
    std::unique_lock lock(mutex_);
    calls_.push_back({program, arguments, timeLimit});
    const std::size_t index = calls_.size();
    changed_.notify_all();
    changed_.wait(lock, [&] { return !hold_ || released_ >= index; });
    if (!succeeds_) return {};
    return index <= runs_.size() ? runs_[index - 1] : ProcessRun{ProcessRun::End::Exited, 0};
  }
  // How the next runs end, one per run; later runs exit with status 0.
  void EndRunsWith(std::vector<ProcessRun> runs) {
    const std::lock_guard lock(mutex_);
    runs_ = std::move(runs);
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
  void Fail() {
    const std::lock_guard lock(mutex_);
    succeeds_ = false;
  }
  [[nodiscard]] std::vector<LaunchCall> Calls() const {
    const std::lock_guard lock(mutex_);
    return calls_;
  }
  [[nodiscard]] std::size_t CallCount() const {
    const std::lock_guard lock(mutex_);
    return calls_.size();
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<LaunchCall> calls_;
  std::vector<ProcessRun> runs_;
  bool hold_ = false;
  bool succeeds_ = true;
  std::size_t released_ = 0;
};

}  // namespace quilmarr::test
