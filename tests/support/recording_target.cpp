#include "tests/support/recording_target.h"

#include <algorithm>
#include <utility>

namespace quilmarr::test {

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
  std::unique_lock lock(mutex_);
  if (delivery_ == Delivery::OnSendersThread) {
    Keep(message, false);
    if (handler_) handler_(message);
    changed_.notify_all();
    return;
  }
  // The frame stays valid: its sender waits here until the message is handled.
  const std::uint64_t ticket = ++lastTicket_;
  waiting_.push_back({message, ticket});
  changed_.notify_all();
  changed_.wait(lock, [&] { return handledTicket_ >= ticket; });
}

void RecordingTarget::Post(Message message) {
  const std::lock_guard lock(mutex_);
  if (delivery_ == Delivery::OnSendersThread) {
    Keep(message, true);
    if (handler_) handler_(message);
  } else {
    waiting_.push_back({std::move(message), 0});
  }
  changed_.notify_all();
}

bool RecordingTarget::PumpUntil(const std::function<bool()>& done,
                                std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    std::unique_lock lock(mutex_);
    // Short waits: some conditions (a thread ending) change without a message.
    changed_.wait_for(lock, std::chrono::milliseconds(2), [&] { return !waiting_.empty(); });
    if (waiting_.empty()) {
      if (std::chrono::steady_clock::now() >= deadline) return done();
      continue;
    }
    const Waiting entry = std::move(waiting_.front());
    waiting_.pop_front();
    Keep(entry.message, entry.ticket == 0);
    const Handler handler = handler_;
    lock.unlock();
    if (handler) handler(entry.message);
    if (entry.ticket != 0) {
      lock.lock();
      handledTicket_ = entry.ticket;
      changed_.notify_all();
    }
  }
  return true;
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
