#pragma once
// The tool's own live capture, which also counts what it reads and, when
// closed, keeps libpcap's statistics and its thread's CPU time.
#include <cstdint>
#include <memory>
#include <mutex>

#include "discovery/packet_source.h"
#include "discovery/pcap/pcap_packet_source.h"

namespace quilmarr::bench {

struct CaptureFigures {
  std::uint64_t framesRead = 0;
  std::uint64_t lldpFramesRead = 0;  // passed the header checks, so handed to the dialog
  std::uint64_t pcapReceived = 0;    // pcap_stats ps_recv
  std::uint64_t pcapDropped = 0;     // pcap_stats ps_drop
  double workerCpuSeconds = 0;
  bool opened = false;
  bool closed = false;
};

// Shared by the harness and the source; the source writes it on the worker thread.
struct CaptureFiguresBox {
  std::mutex mutex;
  CaptureFigures figures;
};

class MeasuredPcapSource final : public PacketSource {
 public:
  explicit MeasuredPcapSource(std::shared_ptr<CaptureFiguresBox> box) : box_(std::move(box)) {}
  MeasuredPcapSource(const MeasuredPcapSource&) = delete;
  MeasuredPcapSource& operator=(const MeasuredPcapSource&) = delete;
  ~MeasuredPcapSource() override;

  [[nodiscard]] bool Open(const std::string& narrowDeviceName) override;
  [[nodiscard]] ReadResult Read() override;
  [[nodiscard]] ReadStatus ReadBatch(const FrameHandler& onFrame) override;
  void Close() override;

 private:
  void Count(std::span<const std::uint8_t> frame) noexcept;

  std::shared_ptr<CaptureFiguresBox> box_;
  PcapPacketSource capture_;
  bool open_ = false;
  std::uint64_t framesRead_ = 0;
  std::uint64_t lldpFramesRead_ = 0;
  double cpuAtOpen_ = 0;
};

[[nodiscard]] double ThreadCpuSeconds() noexcept;

}  // namespace quilmarr::bench
