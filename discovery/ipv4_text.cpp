#include "discovery/ipv4_text.h"

#include <charconv>
#include <cstdio>

namespace quilmarr {

std::string FormatIpv4(const std::uint8_t* address) {
  char buffer[30];
  std::snprintf(buffer, sizeof buffer, "%d.%d.%d.%d", address[0], address[1], address[2],
                address[3]);
  return buffer;
}

std::string FormatIpv4(const Ipv4Bytes& address) { return FormatIpv4(address.data()); }

std::optional<Ipv4Bytes> ParseIpv4(std::string_view text) {
  Ipv4Bytes address{};
  const char* p = text.data();
  const char* const end = text.data() + text.size();
  for (std::size_t i = 0; i < address.size(); ++i) {
    if (i > 0) {
      if (p == end || *p != '.') return std::nullopt;
      ++p;
    }
    if (p == end || *p < '0' || *p > '9') return std::nullopt;
    unsigned value = 0;
    const auto [next, error] = std::from_chars(p, end, value);
    if (error != std::errc() || value > 255 || next - p > 3) return std::nullopt;
    address[i] = static_cast<std::uint8_t>(value);
    p = next;
  }
  if (p != end) return std::nullopt;
  return address;
}

std::optional<Ipv4Bytes> ParseCanonicalIpv4(std::u16string_view text) {
  std::string narrow;
  for (const char16_t c : text) {
    if (c > 0x7F) return std::nullopt;  // never a digit or a dot
    narrow += static_cast<char>(c);
  }
  const std::optional<Ipv4Bytes> address = ParseIpv4(narrow);
  // Leading zeros could be read as octal by an updater's inet_aton: only the
  // canonical text counts.
  if (!address || FormatIpv4(*address) != narrow) return std::nullopt;
  return address;
}

bool IsUnicastHostAddress(std::u16string_view ipText) {
  const std::optional<Ipv4Bytes> address = ParseCanonicalIpv4(ipText);
  if (!address) return false;
  const std::uint8_t first = (*address)[0];
  // 240.0.0.0/4 includes the limited broadcast 255.255.255.255.
  return first != 0 && first != 127 && first < 224;
}

}  // namespace quilmarr
