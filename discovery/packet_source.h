#pragma once
#include <cstdint>
#include <span>
#include <string>

namespace quilmarr {

inline constexpr int kSnapshotLength = 65536;
inline constexpr int kReadTimeoutMs = 1000;

// Seam over a live capture (pcap_create/activate, pcap_next_ex, pcap_close).
class PacketSource {
 public:
  enum class ReadStatus { Frame, Timeout, Error };
  struct ReadResult {
    ReadStatus status = ReadStatus::Error;
    // Valid until the next Read or Close. Its size is caplen when caplen < len.
    std::span<const std::uint8_t> frame;
  };

  virtual ~PacketSource() = default;
  // Promiscuous, snapshot length 65536, read time-out 1000 ms, no filter.
  [[nodiscard]] virtual bool Open(const std::string& narrowDeviceName) = 0;
  [[nodiscard]] virtual ReadResult Read() = 0;
  virtual void Close() = 0;
  // Wakes a Read blocked on a silent adapter; called from another thread.
  virtual void Interrupt() noexcept {}
};

}  // namespace quilmarr
