#include "tests/support/scripted_capture.h"

#include <utility>

namespace quilmarr::test {

using Status = PacketSource::ReadStatus;

void CaptureScript::Push(Bytes frame) { Push(CaptureStep{Status::Frame, std::move(frame)}); }

void CaptureScript::Push(CaptureStep step) {
  const std::lock_guard lock(mutex_);
  steps_.push_back(std::move(step));
  changed_.notify_all();
}

void CaptureScript::Push(std::vector<CaptureStep> steps) {
  for (CaptureStep& step : steps) Push(std::move(step));
}

std::vector<std::string> CaptureScript::Opened() const {
  const std::lock_guard lock(mutex_);
  return opened_;
}

bool CaptureScript::Idle() const {
  const std::lock_guard lock(mutex_);
  return waiting_ && steps_.empty();
}

bool CaptureScript::WaitUntilIdle(std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return waiting_ && steps_.empty(); });
}

ScriptedPacketSource::ScriptedPacketSource(std::shared_ptr<CaptureScript> script)
    : script_(std::move(script)) {
  ++script_->created;
}

ScriptedPacketSource::~ScriptedPacketSource() { ++script_->freed; }

bool ScriptedPacketSource::Open(const std::string& narrowDeviceName) {
  const std::lock_guard lock(script_->mutex_);
  script_->opened_.push_back(narrowDeviceName);
  return script_->opens.load();
}

PacketSource::ReadResult ScriptedPacketSource::Read() {
  CaptureScript& script = *script_;
  const int read = ++script.reads;
  if (script.onRead) script.onRead(read);
  std::unique_lock lock(script.mutex_);
  if (script.steps_.empty() && script.failWhenIdle.load()) return {Status::Error, {}};
  script.waiting_ = true;
  script.changed_.notify_all();
  script.changed_.wait_for(lock, std::chrono::milliseconds(script.readTimeoutMs.load()), [&] {
    return !script.steps_.empty() || (script.interrupted_ && script.interruptible.load());
  });
  script.waiting_ = false;
  script.interrupted_ = false;
  if (script.steps_.empty()) return {Status::Timeout, {}};
  CaptureStep step = std::move(script.steps_.front());
  script.steps_.pop_front();
  current_ = std::move(step.frame);
  return {step.status, current_};
}

void ScriptedPacketSource::Close() { ++script_->closes; }

void ScriptedPacketSource::Interrupt() noexcept {
  const std::lock_guard lock(script_->mutex_);
  ++script_->interrupts;
  script_->interrupted_ = true;
  script_->changed_.notify_all();
}

PacketSourceFactory ScriptedSources(std::shared_ptr<CaptureScript> script) {
  return [script = std::move(script)]() -> std::unique_ptr<PacketSource> {
    return std::make_unique<ScriptedPacketSource>(script);
  };
}

}  // namespace quilmarr::test
