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
