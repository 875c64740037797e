#pragma once
// The LLDP frame one simulated device sends (IEEE 802.1AB), and the device's
// addresses and texts derived from its index.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "discovery/ipv4_text.h"
#include "discovery/lldp_frame_writer.h"

namespace quilmarr::iedsim {

using lldp::MacAddress;
using Ipv4Address = Ipv4Bytes;

struct Announcement {
  MacAddress source{};
  Ipv4Address managementAddress{};
  std::string systemName;
  std::string systemDescription;
};

// Locally administered, unicast: 02:00:00:00:<index high byte>:<index low byte>.
[[nodiscard]] MacAddress DeviceMac(std::uint32_t index) noexcept;
// `first` + index, as a 48-bit number; nullopt past ff:ff:ff:ff:ff:ff.
[[nodiscard]] std::optional<MacAddress> DeviceMac(const MacAddress& first,
                                                  std::uint32_t index) noexcept;
// "aa:bb:cc:dd:ee:ff" (either case); nullopt for anything else.
[[nodiscard]] std::optional<MacAddress> ParseMac(std::string_view text) noexcept;
// nullopt when base + index runs past 255.255.255.255.
[[nodiscard]] std::optional<Ipv4Address> DeviceAddress(const Ipv4Address& base,
                                                       std::uint32_t index) noexcept;
[[nodiscard]] std::string SystemDescription(std::string_view bootVersion,
                                            std::string_view appVersion, std::string_view iedName);

// Destination 01-80-C2-00-00-0E, EtherType 0x88CC; Chassis ID (MAC), Port ID,
// TTL 120, System Name, Management Address (IPv4), System Description, End.
// Texts longer than a TLV can hold are cut.
[[nodiscard]] std::vector<std::uint8_t> BuildAnnouncementFrame(const Announcement& announcement);

// Background traffic: 200 bytes, EtherType 0x88B8 (GOOSE) to 01-0C-CD-01-00-01.
[[nodiscard]] std::vector<std::uint8_t> BuildFloodFrame(const MacAddress& source);

}  // namespace quilmarr::iedsim
