#include "discovery/pcap/pcap_interface_lister.h"

#include "discovery/pcap/interface_copy.h"

namespace quilmarr {

std::optional<std::vector<CaptureInterfaceEntry>> PcapInterfaceLister::FindAllDevs() {
  char error[PCAP_ERRBUF_SIZE] = {};
  pcap_if_t* devices = nullptr;
  if (pcap_findalldevs(&devices, error) == -1) return std::nullopt;
  std::vector<CaptureInterfaceEntry> entries;
  for (const pcap_if_t* d = devices; d != nullptr; d = d->next)
    entries.push_back(CopyInterface(*d));
  pcap_freealldevs(devices);
  return entries;
}

}  // namespace quilmarr
