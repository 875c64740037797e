#pragma once
// IPv4 addresses as the tool shows and stores them.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quilmarr {

using Ipv4Bytes = std::array<std::uint8_t, 4>;  // network order

// "%d.%d.%d.%d" of four address bytes in network order: no leading zeros, at
// most 15 characters.
[[nodiscard]] std::string FormatIpv4(const std::uint8_t* address);
[[nodiscard]] std::string FormatIpv4(const Ipv4Bytes& address);

// Dotted decimal, four numbers 0 to 255 of at most three digits; nullopt otherwise.
[[nodiscard]] std::optional<Ipv4Bytes> ParseIpv4(std::string_view text);

}  // namespace quilmarr
