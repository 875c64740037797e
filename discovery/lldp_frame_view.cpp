#include "discovery/lldp_frame_view.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "discovery/byte_cursor.h"
#include "discovery/lldp_constants.h"

namespace quilmarr {
namespace {

[[noreturn]] void Reject(LldpRejection rejection) {
  throw CLldpException(RejectionText(rejection));
}

struct Slice {
  const std::uint8_t* data = nullptr;
  std::uint32_t length = 0;
};

Slice ToSlice(std::span<const std::uint8_t> bytes) noexcept {
  // 802.1AB: TLV lengths are 9 bits, so every value fits in 32 bits.
  return {bytes.data(), static_cast<std::uint32_t>(bytes.size())};
}

Slice ParseManagementAddress(std::span<const std::uint8_t> value) {
  // A shorter value would lend the address bytes of the TLV that follows.
  if (value.size() < lldp::kIpv4ManagementValueLength) Reject(LldpRejection::Ipv4Address);
  if (value[0] != lldp::kIpv4AddressStringLength || value[1] != lldp::kAddressSubtypeIpv4) {
    Reject(LldpRejection::Ipv4Address);
  }
  return {value.data() + 2, 4};
}

void AppendHex(std::string& text, std::uint8_t byte) {
  constexpr char kDigits[] = "0123456789abcdef";
  text += kDigits[byte >> 4];
  text += kDigits[byte & 0x0F];
}

}  // namespace

std::string ChassisIdText(std::span<const std::uint8_t> value) {
  ByteCursor cursor(value);
  const auto subtype = cursor.ReadU8();
  if (!subtype) return {};
  const auto id = cursor.Take(cursor.Remaining());
  std::string text;
  if (*subtype == lldp::kChassisSubtypeMacAddress && id->size() == 6) {
    for (const std::uint8_t byte : *id) {
      if (!text.empty()) text += ':';
      AppendHex(text, byte);
    }
    return text;
  }
  text = std::to_string(*subtype) + ':';
  for (const std::uint8_t byte : *id) AppendHex(text, byte);
  return text;
}

const char* RejectionText(LldpRejection rejection) noexcept {
  switch (rejection) {
    case LldpRejection::None: return "";
    case LldpRejection::MulticastAddress: return "invalid multicast address";
    case LldpRejection::EthernetType: return "invalid ethernet type";
    case LldpRejection::Ipv4Address: return "invalid IPV4 address";
    case LldpRejection::SystemDescription: return "invalid LLDP System Description";
    case LldpRejection::Package: return "invalid LLDP package";
  }
  return "";
}

LldpRejection CheckEthernetHeader(std::span<const std::uint8_t> frame) noexcept {
  if (frame.size() < 6 || std::memcmp(frame.data(), lldp::kMulticastPrefix, 5) != 0) {
    return LldpRejection::MulticastAddress;
  }
  const std::uint8_t last = frame[5];
  if (last != lldp::kMulticastLastBytes[0] && last != lldp::kMulticastLastBytes[1] &&
      last != lldp::kMulticastLastBytes[2]) {
    return LldpRejection::MulticastAddress;
  }
  if (frame.size() < lldp::kEthernetHeaderLength ||
      ((frame[12] << 8) | frame[13]) != lldp::kEtherType) {
    return LldpRejection::EthernetType;
  }
  return LldpRejection::None;
}

void ParseSystemDescription(std::span<const std::uint8_t> value, SystemDescriptionFields& fields) {
  const std::string_view text(reinterpret_cast<const char*>(value.data()), value.size());
  constexpr std::string_view kSeparator = " & ";
  std::size_t position = 0;
  while (position < text.size()) {
    const std::size_t colon = text.find(':', position);
    if (colon == std::string_view::npos) break;
    const std::string_view key = text.substr(position, colon - position);
    position = colon + 1;

    const std::uint8_t** target = nullptr;
    std::uint32_t* targetLength = nullptr;
    if (key == "BootVer") {
      target = &fields.bootVersion;
      targetLength = &fields.bootVersionLength;
    } else if (key == "AppVer") {
      target = &fields.appVersion;
      targetLength = &fields.appVersionLength;
    } else if (key == "IDE Name") {
      target = &fields.iedName;
      targetLength = &fields.iedNameLength;
    } else {
      // An unrecognised key's value is not skipped: the next key starts right
      // after this colon.
      continue;
    }
    std::size_t end = text.find(kSeparator, position);
    if (end == std::string_view::npos) end = text.size();
    *target = value.data() + position;
    *targetLength = static_cast<std::uint32_t>(end - position);
    position = end + kSeparator.size();
  }
  if (fields.bootVersionLength == 0 || fields.appVersionLength == 0 || fields.iedNameLength == 0) {
    Reject(LldpRejection::SystemDescription);
  }
}

void LldpFrameView::Decode() {
  const std::span<const std::uint8_t> bytes(
      frame.get(), frame ? static_cast<std::size_t>(std::max<std::int32_t>(frameLength, 0)) : 0);
  if (const LldpRejection header = CheckEthernetHeader(bytes); header != LldpRejection::None) {
    Reject(header);
  }

  Slice chassis;
  Slice name;
  bool nameSeen = false;
  Slice address;
  bool addressSeen = false;
  SystemDescriptionFields description;

  ByteCursor cursor(bytes.subspan(lldp::kEthernetHeaderLength));
  for (bool first = true;; first = false) {
    // A chain that ends, or a TLV that would cross the frame's end, before an
    // End of LLDPDU TLV is a malformed LLDPDU.
    const auto header = cursor.ReadU16();
    if (!header) Reject(LldpRejection::Package);
    // 802.1AB 8.4: 7-bit type, 9-bit length.
    const auto type = static_cast<std::uint8_t>(*header >> 9);
    const auto length = static_cast<std::size_t>(*header & 0x01FF);
    if (type == lldp::kTlvEnd) break;
    const auto value = cursor.Take(length);
    if (!value) Reject(LldpRejection::Package);

    switch (type) {
      case lldp::kTlvChassisId:
        if (first) chassis = ToSlice(*value);
        break;
      case lldp::kTlvSystemName:
        name = ToSlice(*value);
        nameSeen = true;
        break;
      case lldp::kTlvSystemDescription: ParseSystemDescription(*value, description); break;
      case lldp::kTlvManagementAddress:
        address = ParseManagementAddress(*value);
        addressSeen = true;
        break;
      default: break;
    }
  }
  if (!nameSeen || !addressSeen) Reject(LldpRejection::Package);

  chassisId = chassis.data;
  chassisIdLength = chassis.length;
  systemName = name.data;
  systemNameLength = name.length;
  mgmtAddress = address.data;
  mgmtAddressLength = address.length;
  iedName = description.iedName;
  iedNameLength = description.iedNameLength;
  bootVersion = description.bootVersion;
  bootVersionLength = description.bootVersionLength;
  appVersion = description.appVersion;
  appVersionLength = description.appVersionLength;
}

LldpFrameView MakeFrameView(std::span<const std::uint8_t> bytes) {
  LldpFrameView view;
  view.frame = std::make_unique<std::uint8_t[]>(bytes.size());
  if (!bytes.empty()) std::memcpy(view.frame.get(), bytes.data(), bytes.size());
  view.frameLength = static_cast<std::int32_t>(bytes.size());
  return view;
}

}  // namespace quilmarr
