#include "discovery/adapters.h"

#include <algorithm>
#include <cstdio>

#include "discovery/ipv4_text.h"
#include "platform/text.h"

namespace quilmarr {
namespace {

const InterfaceAddressEntry* FirstIpv4(const CaptureInterfaceEntry& entry) noexcept {
  const auto found = std::find_if(entry.addresses.begin(), entry.addresses.end(),
                                  [](const auto& a) { return a.family == kAddressFamilyIpv4; });
  return found == entry.addresses.end() ? nullptr : &*found;
}

std::u16string FormatAddress(const InterfaceAddressEntry& address) {
  return WidenCounted(FormatIpv4(address.ipv4));
}

}  // namespace

std::unique_ptr<AdapterList> EnumerateAdapters(InterfaceLister& lister) {
  const auto interfaces = lister.FindAllDevs();
  if (!interfaces) throw CPcapException("Cant find any network adapter");

  auto adapters = std::make_unique<AdapterList>();
  for (const auto& entry : *interfaces) {
    if ((entry.flags & kInterfaceLoopbackFlag) != 0) continue;
    const auto* address = FirstIpv4(entry);
    if (address == nullptr) continue;
    auto info = std::make_unique<AdapterInfo>();
    info->deviceName = WidenCounted(entry.name);
    info->description = entry.description ? WidenCounted(*entry.description) : std::u16string();
    info->ipAddress = FormatAddress(*address);
    info->netmask = address->netmask;
    adapters->push_back(std::move(info));
  }
  // Ordinal, code unit by code unit: 10.0.0.5 sorts before 9.1.1.1.
  std::sort(adapters->begin(), adapters->end(),
            [](const auto& a, const auto& b) { return a->ipAddress < b->ipAddress; });
  return adapters;
}

const AdapterInfo* FindAdapterByIp(const AdapterList& adapters, std::u16string_view ip) noexcept {
  const AdapterInfo* found = nullptr;
  for (const auto& adapter : adapters) {
    if (adapter && EqualsNoCase(adapter->ipAddress, ip)) found = adapter.get();
  }
  return found;
}

}  // namespace quilmarr
