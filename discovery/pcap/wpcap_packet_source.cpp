#include "discovery/pcap/wpcap_packet_source.h"

#include <algorithm>

namespace quilmarr {

WpcapPacketSource::~WpcapPacketSource() { Close(); }

bool WpcapPacketSource::Open(const std::string& narrowDeviceName) {
  Close();
  if (functions_ == nullptr) return false;
  char error[PCAP_ERRBUF_SIZE] = {};
  pcap_t* handle = functions_->open(narrowDeviceName.c_str(), kSnapshotLength,
                                    PCAP_OPENFLAG_PROMISCUOUS, kReadTimeoutMs, nullptr, error);
  // Room for a burst while the dialog handles a frame (Npcap's own is 1 MiB);
  // a driver that keeps its size still captures.
  if (handle != nullptr && functions_->setBuffer != nullptr) {
    static_cast<void>(functions_->setBuffer(handle, kCaptureBufferBytes));
  }
  const std::lock_guard lock(handleMutex_);
  handle_ = handle;
  return handle_ != nullptr;
}

PacketSource::ReadResult WpcapPacketSource::Read() {
  if (handle_ == nullptr) return {};
  pcap_pkthdr* header = nullptr;
  const u_char* data = nullptr;
  const int result = functions_->nextEx(handle_, &header, &data);
  // PCAP_ERROR_BREAK: woken by Interrupt, so the caller looks at its stop flag again.
  if (result == 0 || result == PCAP_ERROR_BREAK) return {ReadStatus::Timeout, {}};
  if (result < 0 || header == nullptr || data == nullptr) return {};
  // The receiver copies exactly this many bytes, so never more than were captured.
  const auto length = std::min(header->caplen, header->len);
  return {ReadStatus::Frame, std::span<const std::uint8_t>(data, length)};
}

void WpcapPacketSource::Close() {
  const std::lock_guard lock(handleMutex_);
  if (handle_ != nullptr) functions_->close(handle_);
  handle_ = nullptr;
}

void WpcapPacketSource::Interrupt() noexcept {
  const std::lock_guard lock(handleMutex_);
  if (handle_ != nullptr) functions_->breakLoop(handle_);
}

}  // namespace quilmarr
