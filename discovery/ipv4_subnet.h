#pragma once
// An adapter's IPv4 subnet, and where an update target lies from it.
#include <optional>
#include <string>
#include <string_view>

#include "discovery/ipv4_text.h"

namespace quilmarr {

struct Ipv4Subnet {
  Ipv4Bytes address;  // the adapter's own
  int prefixLength = 32;
};

// Of an adapter's address text and netmask; nullopt when either is unknown
// or the mask is not ones followed by zeros.
[[nodiscard]] std::optional<Ipv4Subnet> AdapterSubnet(std::u16string_view address,
                                                      const std::optional<Ipv4Bytes>& netmask);

// "10.1.2.0/24": the network address and the prefix length.
[[nodiscard]] std::string SubnetText(const Ipv4Subnet& subnet);

enum class TargetPlace { NotOneDevice, Reachable, OffSubnet };

// NotOneDevice for what IsUnicastHostAddress refuses and, with the adapter's
// subnet known, for the adapter itself and the subnet's network and broadcast
// addresses (RFC 922), which /31 and /32 do not have (RFC 3021). OffSubnet:
// one device's address, reached through a router if at all.
[[nodiscard]] TargetPlace PlaceUpdateTarget(std::u16string_view target,
                                            const std::optional<Ipv4Subnet>& adapter);

}  // namespace quilmarr
