#include "tools/ied-sim/lldp_announcement.h"

#include "discovery/lldp_constants.h"

namespace quilmarr::iedsim {
namespace {

constexpr MacAddress kGooseMulticast{0x01, 0x0C, 0xCD, 0x01, 0x00, 0x01};
constexpr std::uint16_t kGooseEtherType = 0x88B8;
constexpr std::uint16_t kTimeToLiveSeconds = 120;

}  // namespace

MacAddress DeviceMac(std::uint32_t index) noexcept {
  return {0x02,
          0x00,
          0x00,
          0x00,
          static_cast<std::uint8_t>((index >> 8) & 0xFF),
          static_cast<std::uint8_t>(index & 0xFF)};
}

std::optional<MacAddress> DeviceMac(const MacAddress& first, std::uint32_t index) noexcept {
  std::uint64_t value = 0;
  for (const auto b : first) value = (value << 8) | b;
  value += index;
  if (value > 0xFFFF'FFFF'FFFFu) return std::nullopt;
  MacAddress mac{};
  for (std::size_t i = mac.size(); i-- > 0; value >>= 8) mac[i] = static_cast<std::uint8_t>(value);
  return mac;
}

std::optional<MacAddress> ParseMac(std::string_view text) noexcept {
  constexpr std::size_t kTextLength = 17;
  if (text.size() != kTextLength) return std::nullopt;
  const auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  MacAddress mac{};
  for (std::size_t i = 0; i < mac.size(); ++i) {
    const int high = digit(text[3 * i]);
    const int low = digit(text[3 * i + 1]);
    if (high < 0 || low < 0 || (i + 1 < mac.size() && text[3 * i + 2] != ':')) return std::nullopt;
    mac[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return mac;
}

std::optional<Ipv4Address> DeviceAddress(const Ipv4Address& base, std::uint32_t index) noexcept {
  std::uint64_t value = 0;
  for (const auto b : base) value = (value << 8) | b;
  value += index;
  if (value > 0xFFFFFFFFu) return std::nullopt;
  return Ipv4Address{static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
                     static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

std::string SystemDescription(std::string_view bootVersion, std::string_view appVersion,
                              std::string_view iedName) {
  std::string text = "BootVer:";
  text += bootVersion;
  text += " & AppVer:";
  text += appVersion;
  text += " & IDE Name:";
  text += iedName;
  return text;
}

std::vector<std::uint8_t> BuildAnnouncementFrame(const Announcement& announcement) {
  return lldp::FrameWriter()
      .Ethernet(lldp::kNearestBridge, announcement.source, lldp::kEtherType)
      .ChassisMac(announcement.source)
      .PortLocal("1")
      .TimeToLive(kTimeToLiveSeconds)
      .TextTlv(lldp::kTlvSystemName, announcement.systemName)
      .ManagementIpv4(announcement.managementAddress)
      .TextTlv(lldp::kTlvSystemDescription, announcement.systemDescription)
      .End()
      .Finish(lldp::kMinimumFrameLength);
}

std::vector<std::uint8_t> BuildFloodFrame(const MacAddress& source) {
  constexpr std::size_t kFloodFrameSize = 200;
  return lldp::FrameWriter()
      .Ethernet(kGooseMulticast, source, kGooseEtherType)
      .Finish(kFloodFrameSize);
}

}  // namespace quilmarr::iedsim
