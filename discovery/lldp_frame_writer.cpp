#include "discovery/lldp_frame_writer.h"

#include <utility>

#include "discovery/lldp_constants.h"

namespace quilmarr::lldp {

FrameWriter& FrameWriter::Ethernet(const MacAddress& destination, const MacAddress& source,
                                   std::uint16_t etherType) {
  Raw(destination);
  Raw(source);
  return Word(etherType);
}

FrameWriter& FrameWriter::Byte(std::uint8_t value) {
  out_.push_back(value);
  return *this;
}

FrameWriter& FrameWriter::Word(std::uint16_t value) {
  Byte(static_cast<std::uint8_t>(value >> 8));
  return Byte(static_cast<std::uint8_t>(value & 0xFF));
}

FrameWriter& FrameWriter::Raw(std::span<const std::uint8_t> bytes) {
  out_.insert(out_.end(), bytes.begin(), bytes.end());
  return *this;
}

FrameWriter& FrameWriter::TlvHeader(std::uint8_t type, std::size_t length) {
  return Word(static_cast<std::uint16_t>((static_cast<std::size_t>(type) << 9) | (length & 0x1FF)));
}

FrameWriter& FrameWriter::Tlv(std::uint8_t type, std::span<const std::uint8_t> value) {
  TlvHeader(type, value.size());
  return Raw(value);
}

FrameWriter& FrameWriter::TextTlv(std::uint8_t type, std::string_view text) {
  const std::string_view value = text.substr(0, kMaxTlvValueLength);
  TlvHeader(type, value.size());
  for (const char c : value) Byte(static_cast<std::uint8_t>(c));
  return *this;
}

FrameWriter& FrameWriter::ChassisMac(const MacAddress& mac) {
  TlvHeader(kTlvChassisId, 1 + mac.size());
  Byte(kChassisSubtypeMacAddress);
  return Raw(mac);
}

FrameWriter& FrameWriter::PortLocal(std::string_view port) {
  TlvHeader(kTlvPortId, 1 + port.size());
  Byte(kPortSubtypeLocal);
  for (const char c : port) Byte(static_cast<std::uint8_t>(c));
  return *this;
}

FrameWriter& FrameWriter::TimeToLive(std::uint16_t seconds) {
  TlvHeader(kTlvTimeToLive, 2);
  return Word(seconds);
}

FrameWriter& FrameWriter::ManagementIpv4(const Ipv4Bytes& address) {
  TlvHeader(kTlvManagementAddress, kIpv4ManagementValueLength + 4 + 2);
  Byte(kIpv4AddressStringLength);
  Byte(kAddressSubtypeIpv4);
  Raw(address);
  Byte(kInterfaceSubtypeIfIndex);
  Raw(std::array<std::uint8_t, 4>{0, 0, 0, 0});
  return Byte(0);
}

FrameWriter& FrameWriter::End() { return TlvHeader(kTlvEnd, 0); }

std::vector<std::uint8_t> FrameWriter::Finish(std::size_t minimumLength) {
  if (out_.size() < minimumLength) out_.resize(minimumLength, 0);
  return std::move(out_);
}

}  // namespace quilmarr::lldp
