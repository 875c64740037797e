#pragma once
#include <mutex>

#include "discovery/packet_source.h"
#include "discovery/pcap/wpcap_library.h"

namespace quilmarr {

// A live capture through wpcap.dll: pcap_open with the promiscuous flag,
// snapshot length 65536 and read time-out 1000 ms, no filter.
class WpcapPacketSource final : public PacketSource {
 public:
  // `functions` may be null (no wpcap.dll): Open then fails.
  explicit WpcapPacketSource(const WpcapFunctions* functions) noexcept : functions_(functions) {}
  WpcapPacketSource(const WpcapPacketSource&) = delete;
  WpcapPacketSource& operator=(const WpcapPacketSource&) = delete;
  ~WpcapPacketSource() override;

  [[nodiscard]] bool Open(const std::string& narrowDeviceName) override;
  [[nodiscard]] ReadResult Read() override;
  void Close() override;
  // pcap_breakloop: a blocked read returns at once (as a time-out).
  void Interrupt() noexcept override;

 private:
  const WpcapFunctions* functions_;
  // Interrupt comes from another thread; Open and Close (on the capture
  // thread) change the handle only under this lock. Read, on the capture
  // thread too, needs none.
  std::mutex handleMutex_;
  pcap_t* handle_ = nullptr;
};

}  // namespace quilmarr
