#include "bench/measured_pcap_source.h"

#include <pcap/pcap.h>
#include <time.h>

#include <algorithm>

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
  char error[PCAP_ERRBUF_SIZE] = {};
  handle_ = pcap_create(narrowDeviceName.c_str(), error);
  if (handle_ == nullptr) return false;
  if (pcap_set_snaplen(handle_, kSnapshotLength) != 0 || pcap_set_promisc(handle_, 1) != 0 ||
      pcap_set_timeout(handle_, kReadTimeoutMs) != 0 || pcap_activate(handle_) < 0) {
    pcap_close(handle_);
    handle_ = nullptr;
    return false;
  }
  return true;
}

PacketSource::ReadResult MeasuredPcapSource::Read() {
  if (handle_ == nullptr) return {};
  pcap_pkthdr* header = nullptr;
  const u_char* data = nullptr;
  const int result = pcap_next_ex(handle_, &header, &data);
  if (result == 0) return {ReadStatus::Timeout, {}};
  if (result < 0) return {};
  const std::span<const std::uint8_t> frame(data, std::min(header->caplen, header->len));
  ++framesRead_;
  if (CheckEthernetHeader(frame) == LldpRejection::None) ++lldpFramesRead_;
  return {ReadStatus::Frame, frame};
}

void MeasuredPcapSource::Close() {
  if (handle_ == nullptr) return;
  pcap_stat stats{};
  const bool haveStats = pcap_stats(handle_, &stats) == 0;
  pcap_close(handle_);
  handle_ = nullptr;
  const std::lock_guard lock(box_->mutex);
  CaptureFigures& f = box_->figures;
  f.framesRead = framesRead_;
  f.lldpFramesRead = lldpFramesRead_;
  f.pcapReceived = haveStats ? stats.ps_recv : 0;
  f.pcapDropped = haveStats ? stats.ps_drop : 0;
  f.workerCpuSeconds = ThreadCpuSeconds() - cpuAtOpen_;
  f.closed = true;
}

}  // namespace quilmarr::bench
