#pragma once
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace quilmarr {

inline constexpr int kSnapshotLength = 65536;
inline constexpr int kReadTimeoutMs = 1000;
// The kernel's capture buffer. It holds the frames that arrive while the worker
// waits for the dialog to handle one, or for a processor: about 116 000 frames
// of 200 bytes, 0.2 s at 560 000 frames/s (libpcap's default 2 MiB: 13 ms).
inline constexpr int kCaptureBufferBytes = 32 * 1024 * 1024;

// Seam over a live capture (pcap_create/activate, pcap_dispatch or pcap_next_ex, pcap_close).
class PacketSource {
 public:
  enum class ReadStatus { Frame, Timeout, Error };
  struct ReadResult {
    ReadStatus status = ReadStatus::Error;
    // Valid until the next Read or Close. Its size is caplen when caplen < len.
    std::span<const std::uint8_t> frame;
  };
  // Takes one frame of a batch, valid only during the call; false ends the
  // batch after this frame.
  using FrameHandler = std::function<bool(std::span<const std::uint8_t>)>;

  virtual ~PacketSource() = default;
  // Promiscuous, snapshot length 65536, read time-out 1000 ms, no filter.
  [[nodiscard]] virtual bool Open(const std::string& narrowDeviceName) = 0;
  [[nodiscard]] virtual ReadResult Read() = 0;
  // Hands the frames that are ready to `onFrame` in arrival order, waiting for
  // the first as Read does. Frame: at least one frame was handed over; Error
  // may follow frames already handed over. This default hands over one Read.
  [[nodiscard]] virtual ReadStatus ReadBatch(const FrameHandler& onFrame) {
    const ReadResult result = Read();
    if (result.status == ReadStatus::Frame) static_cast<void>(onFrame(result.frame));
    return result.status;
  }
  virtual void Close() = 0;
  // Wakes a Read blocked on a silent adapter; called from another thread.
  virtual void Interrupt() noexcept {}
};

}  // namespace quilmarr
