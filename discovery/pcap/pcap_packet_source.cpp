#include "discovery/pcap/pcap_packet_source.h"

#include <pcap/pcap.h>

#include <algorithm>

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
  if (pcap_set_snaplen(handle, kSnapshotLength) != 0 || pcap_set_promisc(handle, 1) != 0 ||
      pcap_set_timeout(handle, kReadTimeoutMs) != 0 || pcap_activate(handle) < 0) {
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

PacketSource::ReadResult PcapPacketSource::Read() { return ReadNext(handle_); }

void PcapPacketSource::Close() { CloseHandle(handle_); }

PcapFileSource::~PcapFileSource() { CloseHandle(handle_); }

bool PcapFileSource::Open(const std::string& path) {
  CloseHandle(handle_);
  char error[PCAP_ERRBUF_SIZE] = {};
  handle_ = pcap_open_offline(path.c_str(), error);
  return handle_ != nullptr;
}

PacketSource::ReadResult PcapFileSource::Read() { return ReadNext(handle_); }

void PcapFileSource::Close() { CloseHandle(handle_); }

std::unique_ptr<PacketSource> MakePcapPacketSource() { return std::make_unique<PcapPacketSource>(); }

std::unique_ptr<PacketSource> MakePcapFileSource() { return std::make_unique<PcapFileSource>(); }

}  // namespace quilmarr
