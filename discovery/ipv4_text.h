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

// Canonical dotted decimal only, as FormatIpv4 writes it; nullopt otherwise.
[[nodiscard]] std::optional<Ipv4Bytes> ParseCanonicalIpv4(std::u16string_view text);

// True only for canonical dotted decimal (as FormatIpv4 writes it: no leading
// zeros, which an updater might read as octal) naming one host that an
// updater can reach: not "this network" 0.0.0.0/8, loopback 127.0.0.0/8,
// multicast 224.0.0.0/4, reserved 240.0.0.0/4 nor the limited broadcast
// 255.255.255.255 (RFC 1122 3.2.1.3, RFC 5735).
[[nodiscard]] bool IsUnicastHostAddress(std::u16string_view ipText);

}  // namespace quilmarr
