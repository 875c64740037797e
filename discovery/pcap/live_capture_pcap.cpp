#include "discovery/pcap/live_capture.h"
#include "discovery/pcap/pcap_interface_lister.h"
#include "discovery/pcap/pcap_packet_source.h"

namespace quilmarr {

std::unique_ptr<InterfaceLister> MakeLiveInterfaceLister() {
  return std::make_unique<PcapInterfaceLister>();
}

std::unique_ptr<PacketSource> MakeLivePacketSource() { return MakePcapPacketSource(); }

// libpcap is linked in: present whenever the program runs.
bool LiveCaptureLibraryMissing() { return false; }

}  // namespace quilmarr
