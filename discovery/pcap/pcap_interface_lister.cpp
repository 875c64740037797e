#include "discovery/pcap/pcap_interface_lister.h"

#include <pcap/pcap.h>
#include <sys/socket.h>
#include <netinet/in.h>

#include <cstring>

namespace quilmarr {
namespace {

InterfaceAddressEntry CopyAddress(const sockaddr& address) {
  InterfaceAddressEntry entry;
  entry.family = address.sa_family;
  if (address.sa_family == AF_INET) {
    sockaddr_in ipv4{};
    std::memcpy(&ipv4, &address, sizeof ipv4);
    std::memcpy(entry.ipv4.data(), &ipv4.sin_addr.s_addr, entry.ipv4.size());
  }
  return entry;
}

CaptureInterfaceEntry CopyInterface(const pcap_if_t& device) {
  CaptureInterfaceEntry entry;
  entry.name = device.name != nullptr ? device.name : "";
  if (device.description != nullptr) entry.description = device.description;
  entry.flags = device.flags;
  for (const pcap_addr_t* a = device.addresses; a != nullptr; a = a->next) {
    if (a->addr != nullptr) entry.addresses.push_back(CopyAddress(*a->addr));
  }
  return entry;
}

}  // namespace

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
