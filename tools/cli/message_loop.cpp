#include "tools/cli/message_loop.h"

#include <utility>

namespace quilmarr::cli {

void MessageLoop::Send(const Message& message) {
  std::unique_lock lock(mutex_);
  const std::uint64_t ticket = ++lastTicket_;
  queue_.push_back({message, ticket});
  arrived_.notify_all();
  handled_.wait(lock, [&] { return handledTicket_ >= ticket; });
}

void MessageLoop::Post(Message message) {
  const std::lock_guard lock(mutex_);
  queue_.push_back({std::move(message), 0});
  arrived_.notify_all();
}

void MessageLoop::HandleUntil(std::chrono::steady_clock::time_point until) {
  std::unique_lock lock(mutex_);
  arrived_.wait_until(lock, until, [&] { return !queue_.empty(); });
  while (!queue_.empty()) {
    Entry entry = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    // The sender is released even when the handler throws.
    struct Release {
      MessageLoop& loop;
      std::unique_lock<std::mutex>& lock;
      std::uint64_t ticket;
      ~Release() {
        lock.lock();
        if (ticket != 0) {
          loop.handledTicket_ = ticket;
          loop.handled_.notify_all();
        }
      }
    } release{*this, lock, entry.ticket};
    handler_(entry.message);
  }
}

}  // namespace quilmarr::cli
