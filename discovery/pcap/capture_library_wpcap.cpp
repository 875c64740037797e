#include "discovery/pcap/capture_library.h"
#include "discovery/pcap/wpcap_interface_lister.h"
#include "discovery/pcap/wpcap_library.h"
#include "discovery/pcap/wpcap_packet_source.h"

namespace quilmarr {

struct CaptureLibrary::Parts {
  WpcapLibrary library;
  WpcapInterfaceLister interfaces{library.Functions()};
};

CaptureLibrary::CaptureLibrary() : parts_(std::make_unique<Parts>()) {}
CaptureLibrary::~CaptureLibrary() = default;

InterfaceLister& CaptureLibrary::Interfaces() noexcept { return parts_->interfaces; }

PacketSourceFactory CaptureLibrary::LiveSources() const {
  const WpcapFunctions* functions = parts_->library.Functions();
  return [functions] { return std::make_unique<WpcapPacketSource>(functions); };
}

bool CaptureLibrary::LibraryMissing() const noexcept { return parts_->interfaces.LibraryMissing(); }

}  // namespace quilmarr
