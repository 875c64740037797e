#pragma once
// A live capture as the test plays it. The test queues steps (frames, read
// time-outs, a read failure); the capture worker's thread reads them in
// order. With nothing queued a read waits for a step up to the read time-out,
// as on a quiet adapter, or an interrupt ends the wait at once; a script that
// fails when idle reports a read failure instead.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "discovery/capture_worker.h"
#include "discovery/packet_source.h"

namespace quilmarr::test {

using Bytes = std::vector<std::uint8_t>;

struct CaptureStep {
  PacketSource::ReadStatus status = PacketSource::ReadStatus::Frame;
  Bytes frame;
};

// Shared by every source made from it, so one test can play several captures.
class CaptureScript {
 public:
  // A queued frame keeps its buffer: the read hands out the very bytes pushed.
  void Push(Bytes frame);
  void Push(CaptureStep step);
  void Push(std::vector<CaptureStep> steps);
  // The next read fails, as when the adapter goes away.
  void PushReadFailure() { Push(CaptureStep{PacketSource::ReadStatus::Error, {}}); }

  // Names the sources were opened with, in order.
  [[nodiscard]] std::vector<std::string> Opened() const;
  // True while a read waits with nothing queued: every frame queued before
  // has been read and handed on.
  [[nodiscard]] bool Idle() const;
  [[nodiscard]] bool WaitUntilIdle(std::chrono::milliseconds timeout) const;

  std::atomic<bool> opens{true};
  std::atomic<bool> failWhenIdle{false};
  std::atomic<int> readTimeoutMs{10};
  // False: an interrupt does not end a waiting read, only the time-out does.
  std::atomic<bool> interruptible{true};
  // Runs at the start of every read, on the reading thread, with the read's
  // number; set before a capture starts.
  std::function<void(int read)> onRead;

  // What the sources saw.
  std::atomic<int> created{0};
  std::atomic<int> freed{0};
  std::atomic<int> reads{0};
  std::atomic<int> closes{0};
  std::atomic<int> interrupts{0};

 private:
  friend class ScriptedPacketSource;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::deque<CaptureStep> steps_;
  std::vector<std::string> opened_;
  bool waiting_ = false;
  bool interrupted_ = false;
};

class ScriptedPacketSource final : public PacketSource {
 public:
  explicit ScriptedPacketSource(std::shared_ptr<CaptureScript> script);
  ScriptedPacketSource(const ScriptedPacketSource&) = delete;
  ScriptedPacketSource& operator=(const ScriptedPacketSource&) = delete;
  ~ScriptedPacketSource() override;

  [[nodiscard]] bool Open(const std::string& narrowDeviceName) override;
  [[nodiscard]] ReadResult Read() override;
  void Close() override;
  void Interrupt() noexcept override;

 private:
  std::shared_ptr<CaptureScript> script_;
  Bytes current_;
};

// The dialog's source factory: each capture reads the same script.
[[nodiscard]] PacketSourceFactory ScriptedSources(std::shared_ptr<CaptureScript> script);

}  // namespace quilmarr::test
