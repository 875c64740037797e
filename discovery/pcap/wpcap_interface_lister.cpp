#include "discovery/pcap/wpcap_interface_lister.h"

#include <cstring>
#include <memory>

namespace quilmarr {
namespace {

// The local adapters, in the WinPcap/Npcap source syntax.
constexpr char kLocalAdapters[] = PCAP_SRC_IF_STRING;

// A Windows socket address; its family numbers differ from Linux's except
// AF_INET (2), the only family the enumeration reads.
InterfaceAddressEntry CopyAddress(const sockaddr& address) {
  InterfaceAddressEntry entry;
  entry.family = address.sa_family;
  if (address.sa_family == AF_INET) {
    sockaddr_in ipv4{};
    std::memcpy(&ipv4, &address, sizeof ipv4);
    std::memcpy(entry.ipv4.data(), &ipv4.sin_addr, entry.ipv4.size());
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

std::optional<std::vector<CaptureInterfaceEntry>> WpcapInterfaceLister::FindAllDevs() {
  if (functions_ == nullptr) return std::nullopt;
  char error[PCAP_ERRBUF_SIZE] = {};
  pcap_if_t* first = nullptr;
  if (functions_->findAllDevsEx(kLocalAdapters, nullptr, &first, error) == -1) {
    return std::nullopt;
  }
  const std::unique_ptr<pcap_if_t, decltype(functions_->freeAllDevs)> devices(
      first, functions_->freeAllDevs);
  std::vector<CaptureInterfaceEntry> entries;
  for (const pcap_if_t* d = devices.get(); d != nullptr; d = d->next) {
    entries.push_back(CopyInterface(*d));
  }
  return entries;
}

}  // namespace quilmarr
