#pragma once
// The workers' messages without a window: they are handled on the thread that
// pumps, in the order they came. The capture worker's sends block until then,
// as a window's would, so a frame's bytes stay valid while it is handled; the
// update worker's posts return at once. quilmarr-cli and the tests pump it.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

#include "session/worker_messages.h"

namespace quilmarr {

class MessageQueue final : public MessageTarget {
 public:
  using Handler = std::function<void(const Message&)>;

  MessageQueue() = default;
  explicit MessageQueue(Handler handler) : handler_(std::move(handler)) {}

  // Set before any worker starts.
  void SetHandler(Handler handler) { handler_ = std::move(handler); }

  void Send(const Message& message) override;
  void Post(Message message) override;

  // Waits until a message is queued or `until` has passed, then handles every
  // queued message. Call only from the pumping thread.
  void HandleUntil(std::chrono::steady_clock::time_point until);
  // Handles messages until `done` holds; false when `timeout` passed first.
  bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  // Inside the handler: whether its message came by a blocking send.
  [[nodiscard]] bool HandlingASend() const noexcept { return handlingSend_; }

 private:
  struct Entry {
    Message message;
    std::uint64_t ticket = 0;  // non-zero for a blocking send
  };

  Handler handler_;
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::condition_variable handled_;
  std::deque<Entry> queue_;
  std::uint64_t lastTicket_ = 0;
  std::uint64_t handledTicket_ = 0;
  bool handlingSend_ = false;  // the pumping thread's own
};

}  // namespace quilmarr
