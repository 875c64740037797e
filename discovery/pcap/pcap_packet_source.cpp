#include "discovery/pcap/pcap_packet_source.h"

#include <pcap/pcap.h>

#if !defined(_WIN32)
#include <poll.h>
#endif

#include <algorithm>
#include <cerrno>

namespace quilmarr {
namespace {

pcap_t* OpenLive(const std::string& deviceName) {
  char error[PCAP_ERRBUF_SIZE] = {};
#if defined(_WIN32)
  // Npcap: one call with the promiscuous flag, as the Windows API intends.
  return pcap_open(deviceName.c_str(), kSnapshotLength, PCAP_OPENFLAG_PROMISCUOUS, kReadTimeoutMs,
                   nullptr, error);
#else
  pcap_t* handle = pcap_create(deviceName.c_str(), error);
  if (handle == nullptr) return nullptr;
  // Non-blocking, with the read time-out kept by ReadLive: on Linux's
  // block-based ring libpcap waits for the kernel to retire a block, which it
  // never does while the adapter is completely silent, so its own time-out
  // would never expire and a stop request would wait for the next frame.
  if (pcap_set_snaplen(handle, kSnapshotLength) != 0 || pcap_set_promisc(handle, 1) != 0 ||
      pcap_set_timeout(handle, kReadTimeoutMs) != 0 ||
      pcap_set_buffer_size(handle, kCaptureBufferBytes) != 0 || pcap_activate(handle) < 0 ||
      pcap_setnonblock(handle, 1, error) != 0 || pcap_get_selectable_fd(handle) < 0) {
    pcap_close(handle);
    return nullptr;
  }
  return handle;
#endif
}

PacketSource::ReadResult ReadNext(pcap_t* handle) {
  if (handle == nullptr) return {};
  pcap_pkthdr* header = nullptr;
  const u_char* data = nullptr;
  const int result = pcap_next_ex(handle, &header, &data);
  if (result == 0) return {PacketSource::ReadStatus::Timeout, {}};
  if (result < 0) return {};
  // The handler copies exactly this many bytes, so never more than were captured.
  const auto length = std::min(header->caplen, header->len);
  return {PacketSource::ReadStatus::Frame, std::span<const std::uint8_t>(data, length)};
}

#if !defined(_WIN32)
// Waits up to kReadTimeoutMs for the non-blocking capture to have frames; false
// when waiting failed. Ready, timed out, or failed (a vanished adapter): the
// next read tells which.
bool WaitForFrames(pcap_t* handle) {
  pollfd wait{pcap_get_selectable_fd(handle), POLLIN, 0};
  return poll(&wait, 1, kReadTimeoutMs) >= 0 || errno == EINTR;
}
#endif

// One read of a live capture: a frame, or a time-out after kReadTimeoutMs
// without one, or an error.
PacketSource::ReadResult ReadLive(pcap_t* handle) {
  if (handle == nullptr) return {};
  auto result = ReadNext(handle);
#if !defined(_WIN32)
  if (result.status == PacketSource::ReadStatus::Timeout) {
    if (!WaitForFrames(handle)) return {};
    result = ReadNext(handle);
  }
#endif
  return result;
}

struct Batch {
  pcap_t* handle;
  const PacketSource::FrameHandler& onFrame;
  int handedOver = 0;
};

void HandOver(u_char* user, const pcap_pkthdr* header, const u_char* data) {
  auto& batch = *reinterpret_cast<Batch*>(user);
  ++batch.handedOver;
  const auto length = std::min(header->caplen, header->len);
  if (!batch.onFrame(std::span<const std::uint8_t>(data, length))) pcap_breakloop(batch.handle);
}

// Everything the ring holds now, then, if that was nothing, what arrives
// within kReadTimeoutMs.
PacketSource::ReadStatus DispatchLive(pcap_t* handle, const PacketSource::FrameHandler& onFrame) {
  if (handle == nullptr) return PacketSource::ReadStatus::Error;
  Batch batch{handle, onFrame};
  const auto dispatch = [&batch] {
    return pcap_dispatch(batch.handle, -1, HandOver, reinterpret_cast<u_char*>(&batch));
  };
  int result = dispatch();
#if !defined(_WIN32)
  if (result == 0) {
    if (!WaitForFrames(handle)) return PacketSource::ReadStatus::Error;
    result = dispatch();
  }
#endif
  // PCAP_ERROR_BREAK: the handler ended the batch.
  if (result < 0 && result != PCAP_ERROR_BREAK) return PacketSource::ReadStatus::Error;
  return batch.handedOver > 0 ? PacketSource::ReadStatus::Frame : PacketSource::ReadStatus::Timeout;
}

void CloseHandle(pcap*& handle) noexcept {
  if (handle != nullptr) pcap_close(handle);
  handle = nullptr;
}

}  // namespace

PcapPacketSource::~PcapPacketSource() { CloseHandle(handle_); }

bool PcapPacketSource::Open(const std::string& narrowDeviceName) {
  CloseHandle(handle_);
  handle_ = OpenLive(narrowDeviceName);
  return handle_ != nullptr;
}

PacketSource::ReadResult PcapPacketSource::Read() { return ReadLive(handle_); }

PacketSource::ReadStatus PcapPacketSource::ReadBatch(const FrameHandler& onFrame) {
  return DispatchLive(handle_, onFrame);
}

void PcapPacketSource::Close() { CloseHandle(handle_); }

std::optional<CaptureStatistics> PcapPacketSource::Statistics() const {
  pcap_stat stats{};
  if (handle_ == nullptr || pcap_stats(handle_, &stats) != 0) return std::nullopt;
  return CaptureStatistics{stats.ps_recv, stats.ps_drop};
}

PcapFileSource::~PcapFileSource() { CloseHandle(handle_); }

bool PcapFileSource::Open(const std::string& path) {
  CloseHandle(handle_);
  char error[PCAP_ERRBUF_SIZE] = {};
  handle_ = pcap_open_offline(path.c_str(), error);
  return handle_ != nullptr;
}

PacketSource::ReadResult PcapFileSource::Read() { return ReadNext(handle_); }

void PcapFileSource::Close() { CloseHandle(handle_); }

std::unique_ptr<PacketSource> MakePcapPacketSource() {
  return std::make_unique<PcapPacketSource>();
}

std::unique_ptr<PacketSource> MakePcapFileSource() { return std::make_unique<PcapFileSource>(); }

}  // namespace quilmarr
