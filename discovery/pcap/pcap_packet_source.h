#pragma once
#include <cstdint>
#include <memory>
#include <optional>

#include "discovery/packet_source.h"

struct pcap;

namespace quilmarr {

// libpcap's own counters of a live capture (pcap_stats).
struct CaptureStatistics {
  std::uint64_t received = 0;  // ps_recv, drops included
  std::uint64_t dropped = 0;   // ps_drop
};

// A live capture: promiscuous, snapshot length 65536, read time-out 1000 ms, no filter.
class PcapPacketSource final : public PacketSource {
 public:
  PcapPacketSource() = default;
  PcapPacketSource(const PcapPacketSource&) = delete;
  PcapPacketSource& operator=(const PcapPacketSource&) = delete;
  ~PcapPacketSource() override;

  [[nodiscard]] bool Open(const std::string& narrowDeviceName) override;
  [[nodiscard]] ReadResult Read() override;
  [[nodiscard]] ReadStatus ReadBatch(const FrameHandler& onFrame) override;
  void Close() override;
  // Nullopt when the capture is not open or the library cannot tell.
  [[nodiscard]] std::optional<CaptureStatistics> Statistics() const;

 private:
  pcap* handle_ = nullptr;
};

// A saved pcap or pcapng file; Open takes its path. Read reports Error at the end of the file.
class PcapFileSource final : public PacketSource {
 public:
  PcapFileSource() = default;
  PcapFileSource(const PcapFileSource&) = delete;
  PcapFileSource& operator=(const PcapFileSource&) = delete;
  ~PcapFileSource() override;

  [[nodiscard]] bool Open(const std::string& path) override;
  [[nodiscard]] ReadResult Read() override;
  void Close() override;

 private:
  pcap* handle_ = nullptr;
};

[[nodiscard]] std::unique_ptr<PacketSource> MakePcapPacketSource();
[[nodiscard]] std::unique_ptr<PacketSource> MakePcapFileSource();

}  // namespace quilmarr
