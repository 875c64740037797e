#pragma once
// The dialog's message target as a window would be: workers' sends block until
// the user-interface thread (the test) has handled them while pumping.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "ui/dialog_messages.h"

namespace quilmarr::test {

class UiMessageQueue final : public MessageTarget {
 public:
  using Handler = std::function<void(const Message&)>;

  void SetHandler(Handler handler) {
    const std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
  }

  void Send(const Message& message) override {
    std::unique_lock lock(mutex_);
    const std::uint64_t ticket = ++lastTicket_;
    queue_.push_back({message, ticket});
    arrived_.notify_all();
    handled_.wait(lock, [&] { return handledTicket_ >= ticket; });
  }

  void Post(Message message) override {
    const std::lock_guard lock(mutex_);
    queue_.push_back({std::move(message), 0});
    arrived_.notify_all();
  }

  // Runs on the test's thread, which plays the user-interface thread: handles
  // queued messages in order until `done` holds or `timeout` has passed.
  bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
      std::unique_lock lock(mutex_);
      // Short waits: some conditions (a thread ending) change without a message.
      arrived_.wait_for(lock, std::chrono::milliseconds(2), [&] { return !queue_.empty(); });
      if (queue_.empty()) {
        if (std::chrono::steady_clock::now() >= deadline) {
          return done();
        }
        continue;
      }
      Entry entry = std::move(queue_.front());
      queue_.pop_front();
      Handler handler = handler_;
      lock.unlock();
      if (handler) {
        handler(entry.message);
      }
      if (entry.ticket != 0) {
        lock.lock();
        handledTicket_ = entry.ticket;
        handled_.notify_all();
      }
    }
    return true;
  }

 private:
  struct Entry {
    Message message;
    std::uint64_t ticket = 0;  // non-zero for a blocking send
  };
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::condition_variable handled_;
  std::deque<Entry> queue_;
  Handler handler_;
  std::uint64_t lastTicket_ = 0;
  std::uint64_t handledTicket_ = 0;
};

}  // namespace quilmarr::test
