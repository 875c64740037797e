#include "tests/support/recording_target.h"

#include <algorithm>
#include <utility>

namespace quilmarr::test {

RecordingTarget::RecordingTarget(Delivery delivery) : delivery_(delivery) {
  queue_.SetHandler([this](const Message& message) {
    Handler handler;
    {
      const std::lock_guard lock(mutex_);
      Keep(message, !queue_.HandlingASend());
      handler = handler_;
      changed_.notify_all();
    }
    if (handler) handler(message);
  });
}

void RecordingTarget::SetHandler(Handler handler) {
  const std::lock_guard lock(mutex_);
  handler_ = std::move(handler);
}

void RecordingTarget::Keep(const Message& message, bool posted) {
  received_.push_back({message.id,
                       {message.frame.begin(), message.frame.end()},
                       message.frame.data(),
                       message.text,
                       message.run,
                       posted});
}

void RecordingTarget::Send(const Message& message) {
  if (delivery_ == Delivery::WhenPumped) return queue_.Send(message);
  const std::lock_guard lock(mutex_);
  Keep(message, false);
  if (handler_) handler_(message);
  changed_.notify_all();
}

void RecordingTarget::Post(Message message) {
  if (delivery_ == Delivery::WhenPumped) return queue_.Post(std::move(message));
  const std::lock_guard lock(mutex_);
  Keep(message, true);
  if (handler_) handler_(message);
  changed_.notify_all();
}

bool RecordingTarget::PumpUntil(const std::function<bool()>& done,
                                std::chrono::milliseconds timeout) {
  return queue_.PumpUntil(done, timeout);
}

bool RecordingTarget::WaitFor(const std::function<bool(const std::vector<ReceivedMessage>&)>& ready,
                              std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return ready(received_); });
}

bool RecordingTarget::WaitForCount(std::size_t count, std::chrono::milliseconds timeout) {
  return WaitFor([count](const auto& received) { return received.size() >= count; }, timeout);
}

std::vector<ReceivedMessage> RecordingTarget::Messages() const {
  const std::lock_guard lock(mutex_);
  return received_;
}

std::vector<unsigned> RecordingTarget::Ids() const {
  const std::lock_guard lock(mutex_);
  std::vector<unsigned> ids;
  for (const ReceivedMessage& message : received_) ids.push_back(message.id);
  return ids;
}

std::vector<std::vector<std::uint8_t>> RecordingTarget::Frames() const {
  const std::lock_guard lock(mutex_);
  std::vector<std::vector<std::uint8_t>> frames;
  for (const ReceivedMessage& message : received_) {
    if (message.id == WM_CAPTURE_PACKET) frames.push_back(message.frame);
  }
  return frames;
}

std::size_t RecordingTarget::Count(unsigned id) const {
  const std::lock_guard lock(mutex_);
  return static_cast<std::size_t>(std::count_if(
      received_.begin(), received_.end(), [id](const ReceivedMessage& m) { return m.id == id; }));
}

}  // namespace quilmarr::test
