#pragma once
// The dialog's window messages: the workers reach the dialog only through
// these, the capture worker by a blocking send, the update worker by a post.
#include <cstdint>
#include <span>
#include <string>

#include "discovery/capture_sink.h"
#include "update/update_sink.h"

namespace quilmarr {

inline constexpr unsigned WM_USER_BASE = 0x0400;
inline constexpr unsigned WM_CAPTURE_PACKET = WM_USER_BASE + 100;         // 0x464
inline constexpr unsigned WM_CAPTURE_STOPPED = WM_USER_BASE + 101;        // 0x465
inline constexpr unsigned WM_UPDATE_ERROR = WM_USER_BASE + 102;           // 0x466
inline constexpr unsigned WM_UPDATE_DEVICE_STARTED = WM_USER_BASE + 103;  // 0x467
inline constexpr unsigned WM_UPDATE_FINISHED = WM_USER_BASE + 104;        // 0x468
inline constexpr unsigned WM_CAPTURE_OPEN_FAILED = WM_USER_BASE + 105;    // 0x469
inline constexpr unsigned WM_CAPTURE_READ_FAILED = WM_USER_BASE + 106;    // 0x46A
inline constexpr unsigned WM_UPDATE_DEVICE_ENDED = WM_USER_BASE + 107;    // 0x46B

// What a front end says when a capture ends without a stop request.
inline constexpr char kOpenAdapterFailedText[] = "Open adapter failed";
inline constexpr char kCaptureReadFailedText[] =
    "Capture stopped: the network adapter could not be read";

// One message. `frame` is used by WM_CAPTURE_PACKET only and is valid only
// while Send runs; the texts are owned values, so a posted message never
// points into memory the sender may change or free.
struct Message {
  unsigned id = 0;
  std::span<const std::uint8_t> frame;
  std::u16string text;  // WM_UPDATE_ERROR, WM_UPDATE_DEVICE_STARTED
  DeviceRun run;        // WM_UPDATE_DEVICE_ENDED
};

// The front end's window as the workers see it.
class MessageTarget {
 public:
  virtual ~MessageTarget() = default;
  // Blocking: returns only after the receiver has handled the message on its
  // own thread. Used by the capture worker, so frame bytes stay valid.
  virtual void Send(const Message& message) = 0;
  // Queued: returns at once; the receiver handles messages in posting order.
  // Used by the update worker, which must never wait for the dialog.
  virtual void Post(Message message) = 0;
};

// Turns the workers' reports into the dialog's messages on a target.
class WindowMessageSink final : public CaptureSink, public UpdateSink {
 public:
  explicit WindowMessageSink(MessageTarget& target) noexcept : target_(target) {}

  void FrameCaptured(std::span<const std::uint8_t> frame) override;
  void CaptureStopped() override;
  void CaptureOpenFailed() override;
  void CaptureReadFailed() override;

  void UpdateError(std::u16string text) override;
  void UpdateDeviceStarted(std::u16string ip) override;
  void UpdateDeviceEnded(DeviceRun run) override;
  void UpdateFinished() override;

  [[nodiscard]] MessageTarget& Target() const noexcept { return target_; }

 private:
  void Send(unsigned id);

  MessageTarget& target_;
};

}  // namespace quilmarr
