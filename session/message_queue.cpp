#include "session/message_queue.h"

#include <algorithm>
#include <utility>

namespace quilmarr {

void MessageQueue::Send(const Message& message) {
  std::unique_lock lock(mutex_);
  const std::uint64_t ticket = ++lastTicket_;
  queue_.push_back({message, ticket});
  arrived_.notify_all();
  handled_.wait(lock, [&] { return handledTicket_ >= ticket; });
}

void MessageQueue::Post(Message message) {
  const std::lock_guard lock(mutex_);
  queue_.push_back({std::move(message), 0});
  arrived_.notify_all();
}

void MessageQueue::HandleUntil(std::chrono::steady_clock::time_point until) {
  std::unique_lock lock(mutex_);
  arrived_.wait_until(lock, until, [&] { return !queue_.empty(); });
  while (!queue_.empty()) {
    Entry entry = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    // The sender is released even when the handler throws.
    struct Release {
      MessageQueue& queue;
      std::unique_lock<std::mutex>& lock;
      std::uint64_t ticket;
      ~Release() {
        lock.lock();
        if (ticket != 0) {
          queue.handledTicket_ = ticket;
          queue.handled_.notify_all();
        }
      }
    } release{*this, lock, entry.ticket};
    handlingSend_ = entry.ticket != 0;
    if (handler_) handler_(entry.message);
  }
}

bool MessageQueue::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  // Short slices, so a `done` that turns true without a message is seen soon.
  constexpr std::chrono::milliseconds kSlice{20};
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    HandleUntil(std::min(deadline, now + kSlice));
  }
  return true;
}

}  // namespace quilmarr
