#include "bench/measured_pcap_source.h"

#include <time.h>

#include "discovery/lldp_frame_view.h"

namespace quilmarr::bench {

double ThreadCpuSeconds() noexcept {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

MeasuredPcapSource::~MeasuredPcapSource() { Close(); }

bool MeasuredPcapSource::Open(const std::string& narrowDeviceName) {
  cpuAtOpen_ = ThreadCpuSeconds();
  open_ = capture_.Open(narrowDeviceName);
  const std::lock_guard lock(box_->mutex);
  box_->figures.opened = open_;
  return open_;
}

void MeasuredPcapSource::Count(std::span<const std::uint8_t> frame) noexcept {
  ++framesRead_;
  if (CheckEthernetHeader(frame) == LldpRejection::None) ++lldpFramesRead_;
}

PacketSource::ReadResult MeasuredPcapSource::Read() {
  const ReadResult result = capture_.Read();
  if (result.status == ReadStatus::Frame) Count(result.frame);
  return result;
}

PacketSource::ReadStatus MeasuredPcapSource::ReadBatch(const FrameHandler& onFrame) {
  return capture_.ReadBatch([this, &onFrame](std::span<const std::uint8_t> frame) {
    Count(frame);
    return onFrame(frame);
  });
}

void MeasuredPcapSource::Close() {
  if (!open_) return;
  open_ = false;
  const auto stats = capture_.Statistics();
  capture_.Close();
  const std::lock_guard lock(box_->mutex);
  CaptureFigures& f = box_->figures;
  f.framesRead = framesRead_;
  f.lldpFramesRead = lldpFramesRead_;
  f.pcapReceived = stats ? stats->received : 0;
  f.pcapDropped = stats ? stats->dropped : 0;
  f.workerCpuSeconds = ThreadCpuSeconds() - cpuAtOpen_;
  f.closed = true;
}

}  // namespace quilmarr::bench
