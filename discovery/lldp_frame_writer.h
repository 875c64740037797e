#pragma once
// Writes Ethernet frames in the IEEE 802.1AB LLDPDU layout. Lengths are
// written as given, so a caller can also write a malformed frame on purpose.
#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "discovery/ipv4_text.h"

namespace quilmarr::lldp {

using MacAddress = std::array<std::uint8_t, 6>;

class FrameWriter {
 public:
  FrameWriter& Ethernet(const MacAddress& destination, const MacAddress& source,
                        std::uint16_t etherType);
  FrameWriter& Byte(std::uint8_t value);
  FrameWriter& Word(std::uint16_t value);
  FrameWriter& Raw(std::span<const std::uint8_t> bytes);
  // 7-bit type, 9-bit length.
  FrameWriter& TlvHeader(std::uint8_t type, std::size_t length);
  FrameWriter& Tlv(std::uint8_t type, std::span<const std::uint8_t> value);
  // A text cut to what a TLV value can hold.
  FrameWriter& TextTlv(std::uint8_t type, std::string_view text);
  FrameWriter& ChassisMac(const MacAddress& mac);
  FrameWriter& PortLocal(std::string_view port);
  FrameWriter& TimeToLive(std::uint16_t seconds);
  // 802.1AB 8.5.9: address string length, IPv4 subtype, address, ifIndex
  // numbering, interface 0, no OID.
  FrameWriter& ManagementIpv4(const Ipv4Bytes& address);
  FrameWriter& End();
  // The frame, padded with zero bytes to at least `minimumLength`.
  [[nodiscard]] std::vector<std::uint8_t> Finish(std::size_t minimumLength = 0);

 private:
  std::vector<std::uint8_t> out_;
};

}  // namespace quilmarr::lldp
