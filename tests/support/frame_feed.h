#pragma once
// A live capture stand-in for the front-end tests: the test queues frames, the
// capture worker's thread reads them; an empty queue reads as the capture
// library's read time-out.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "discovery/packet_source.h"

namespace quilmarr::test {

struct FrameFeed {
  std::mutex mutex;
  std::condition_variable queued;
  std::deque<std::vector<std::uint8_t>> frames;
  std::atomic<bool> openSucceeds{true};
  std::atomic<int> opened{0};
  std::atomic<int> reads{0};
  // How long a read waits for a frame. Short, so stop requests are quick.
  std::atomic<int> readTimeoutMs{10};

  void Push(std::vector<std::uint8_t> frame) {
    {
      const std::lock_guard lock(mutex);
      frames.push_back(std::move(frame));
    }
    queued.notify_one();
  }
};

class FeedPacketSource final : public PacketSource {
 public:
  explicit FeedPacketSource(std::shared_ptr<FrameFeed> feed) : feed_(std::move(feed)) {}
  [[nodiscard]] bool Open(const std::string& /*narrowDeviceName*/) override {
    ++feed_->opened;
    return feed_->openSucceeds.load();
  }
  [[nodiscard]] ReadResult Read() override {
    ++feed_->reads;
    std::unique_lock lock(feed_->mutex);
    if (!feed_->queued.wait_for(lock, std::chrono::milliseconds(feed_->readTimeoutMs.load()),
                                [this] { return !feed_->frames.empty(); })) {
      return {ReadStatus::Timeout, {}};
    }
    current_ = std::move(feed_->frames.front());
    feed_->frames.pop_front();
    return {ReadStatus::Frame, current_};
  }
  void Close() override {}

 private:
  std::shared_ptr<FrameFeed> feed_;
  std::vector<std::uint8_t> current_;
};

}  // namespace quilmarr::test
