#pragma once
// One entry of the capture library's interface list, copied out. libpcap and
// the WinPcap/Npcap API share pcap_if_t; only where sockaddr comes from differs.
#if defined(_WIN32)
#include <winsock2.h>
#else
#include <netinet/in.h>
#include <sys/socket.h>
#endif
#include <pcap/pcap.h>

#include <cstring>

#include "discovery/adapters.h"

namespace quilmarr {

// Of a socket address, its family and, for AF_INET (2 on both platforms, the
// only family the enumeration reads), the four address bytes in network order.
[[nodiscard]] inline InterfaceAddressEntry CopyAddress(const sockaddr& address) {
  InterfaceAddressEntry entry;
  entry.family = address.sa_family;
  if (address.sa_family == AF_INET) {
    sockaddr_in ipv4{};
    std::memcpy(&ipv4, &address, sizeof ipv4);
    std::memcpy(entry.ipv4.data(), &ipv4.sin_addr, entry.ipv4.size());
  }
  return entry;
}

[[nodiscard]] inline CaptureInterfaceEntry CopyInterface(const pcap_if_t& device) {
  CaptureInterfaceEntry entry;
  entry.name = device.name != nullptr ? device.name : "";
  if (device.description != nullptr) entry.description = device.description;
  entry.flags = device.flags;
  for (const pcap_addr_t* a = device.addresses; a != nullptr; a = a->next) {
    if (a->addr != nullptr) entry.addresses.push_back(CopyAddress(*a->addr));
  }
  return entry;
}

}  // namespace quilmarr
