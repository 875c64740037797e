#pragma once
#include <cstdint>
#include <span>

namespace quilmarr {

// Where the capture worker reports. Every call blocks until the receiver has
// handled it, so a frame's bytes stay valid for the whole call.
class CaptureSink {
 public:
  virtual ~CaptureSink() = default;
  virtual void FrameCaptured(std::span<const std::uint8_t> frame) = 0;
  // The loop ended on request and the capture is closed.
  virtual void CaptureStopped() = 0;
  virtual void CaptureOpenFailed() = 0;
  // A read failed without a stop request; the capture is closed.
  virtual void CaptureReadFailed() = 0;
};

}  // namespace quilmarr
