#include "discovery/ipv4_subnet.h"

#include <bit>
#include <cstdint>

namespace quilmarr {
namespace {

std::uint32_t ToHostOrder(const Ipv4Bytes& address) {
  return std::uint32_t{address[0]} << 24 | std::uint32_t{address[1]} << 16 |
         std::uint32_t{address[2]} << 8 | std::uint32_t{address[3]};
}

Ipv4Bytes ToBytes(std::uint32_t address) {
  return {static_cast<std::uint8_t>(address >> 24), static_cast<std::uint8_t>(address >> 16),
          static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address)};
}

std::uint32_t Mask(int prefixLength) {
  return prefixLength == 0 ? 0 : ~std::uint32_t{0} << (32 - prefixLength);
}

}  // namespace

std::optional<Ipv4Subnet> AdapterSubnet(std::u16string_view address,
                                        const std::optional<Ipv4Bytes>& netmask) {
  const std::optional<Ipv4Bytes> own = ParseCanonicalIpv4(address);
  if (!own || !netmask) return std::nullopt;
  const std::uint32_t mask = ToHostOrder(*netmask);
  const int prefixLength = std::countl_one(mask);
  if (mask != Mask(prefixLength)) return std::nullopt;
  return Ipv4Subnet{*own, prefixLength};
}

std::string SubnetText(const Ipv4Subnet& subnet) {
  return FormatIpv4(ToBytes(ToHostOrder(subnet.address) & Mask(subnet.prefixLength))) + '/' +
         std::to_string(subnet.prefixLength);
}

TargetPlace PlaceUpdateTarget(std::u16string_view target,
                              const std::optional<Ipv4Subnet>& adapter) {
  if (!IsUnicastHostAddress(target)) return TargetPlace::NotOneDevice;
  if (!adapter) return TargetPlace::Reachable;
  const std::uint32_t address = ToHostOrder(*ParseCanonicalIpv4(target));
  const std::uint32_t own = ToHostOrder(adapter->address);
  const std::uint32_t mask = Mask(adapter->prefixLength);
  if (address == own) return TargetPlace::NotOneDevice;
  if ((address & mask) != (own & mask)) return TargetPlace::OffSubnet;
  const bool hasBroadcast = adapter->prefixLength <= 30;
  const std::uint32_t host = address & ~mask;
  if (hasBroadcast && (host == 0 || host == ~mask)) return TargetPlace::NotOneDevice;
  return TargetPlace::Reachable;
}

}  // namespace quilmarr
