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

#include <array>
#include <cstdint>
#include <cstring>

#include "discovery/adapters.h"

namespace quilmarr {

[[nodiscard]] inline std::array<std::uint8_t, 4> CopyIpv4(const sockaddr& address) {
  sockaddr_in ipv4{};
  std::memcpy(&ipv4, &address, sizeof ipv4);
  std::array<std::uint8_t, 4> bytes{};
  std::memcpy(bytes.data(), &ipv4.sin_addr, bytes.size());
  return bytes;
}

// Of a socket address, its family and, for AF_INET (2 on both platforms, the
// only family the enumeration reads), the four address bytes in network order
// and those of its netmask. The netmask is read as the address's family
// whatever its own says: some systems leave that field 0.
[[nodiscard]] inline InterfaceAddressEntry CopyAddress(const pcap_addr_t& address) {
  InterfaceAddressEntry entry;
  entry.family = address.addr->sa_family;
  if (entry.family == AF_INET) {
    entry.ipv4 = CopyIpv4(*address.addr);
    if (address.netmask != nullptr) entry.netmask = CopyIpv4(*address.netmask);
  }
  return entry;
}

[[nodiscard]] inline CaptureInterfaceEntry CopyInterface(const pcap_if_t& device) {
  CaptureInterfaceEntry entry;
  entry.name = device.name != nullptr ? device.name : "";
  if (device.description != nullptr) entry.description = device.description;
  entry.flags = device.flags;
  for (const pcap_addr_t* a = device.addresses; a != nullptr; a = a->next) {
    if (a->addr != nullptr) entry.addresses.push_back(CopyAddress(*a));
  }
  return entry;
}

}  // namespace quilmarr
