#include "discovery/pcap/capture_library.h"
#include "discovery/pcap/pcap_interface_lister.h"
#include "discovery/pcap/pcap_packet_source.h"

namespace quilmarr {

struct CaptureLibrary::Parts {
  PcapInterfaceLister interfaces;
};

CaptureLibrary::CaptureLibrary() : parts_(std::make_unique<Parts>()) {}
CaptureLibrary::~CaptureLibrary() = default;

InterfaceLister& CaptureLibrary::Interfaces() noexcept { return parts_->interfaces; }

PacketSourceFactory CaptureLibrary::LiveSources() const { return &MakePcapPacketSource; }

// libpcap is linked in: present whenever the program runs.
bool CaptureLibrary::LibraryMissing() const noexcept { return false; }

}  // namespace quilmarr
