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
      pcap_set_timeout(handle, kReadTimeoutMs) != 0 || pcap_activate(handle) < 0 ||
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

// One read of a live capture: a frame, or a time-out after kReadTimeoutMs
// without one, or an error.
PacketSource::ReadResult ReadLive(pcap_t* handle) {
#if defined(_WIN32)
  return ReadNext(handle);
#else
  if (handle == nullptr) return {};
  auto result = ReadNext(handle);
  if (result.status != PacketSource::ReadStatus::Timeout) return result;
  pollfd wait{pcap_get_selectable_fd(handle), POLLIN, 0};
  if (poll(&wait, 1, kReadTimeoutMs) < 0 && errno != EINTR) return {};
  // Ready, timed out, or failed (a vanished adapter): the next read tells which.
  return ReadNext(handle);
#endif
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
