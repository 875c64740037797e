#include "discovery/pcap/live_capture.h"
#include "discovery/pcap/wpcap_interface_lister.h"
#include "discovery/pcap/wpcap_library.h"
#include "discovery/pcap/wpcap_packet_source.h"

namespace quilmarr {
namespace {

// Loaded on first use and kept until the process ends, so every lister and
// source made here can rely on its entry points.
const WpcapLibrary& ProcessWpcap() {
  static const WpcapLibrary library;
  return library;
}

}  // namespace

std::unique_ptr<InterfaceLister> MakeLiveInterfaceLister() {
  return std::make_unique<WpcapInterfaceLister>(ProcessWpcap().Functions());
}

std::unique_ptr<PacketSource> MakeLivePacketSource() {
  return std::make_unique<WpcapPacketSource>(ProcessWpcap().Functions());
}

bool LiveCaptureLibraryMissing() { return ProcessWpcap().Functions() == nullptr; }

}  // namespace quilmarr
