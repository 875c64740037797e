#include "discovery/pcap/wpcap_interface_lister.h"

#include <memory>

#include "discovery/pcap/interface_copy.h"

namespace quilmarr {
namespace {

// The local adapters, in the WinPcap/Npcap source syntax.
constexpr char kLocalAdapters[] = PCAP_SRC_IF_STRING;

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
