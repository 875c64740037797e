#pragma once
// Values from IEEE 802.1AB and IEEE 802.3.
#include <array>
#include <cstddef>
#include <cstdint>

namespace quilmarr::lldp {

// 802.1AB 7.1: nearest bridge (0E), nearest non-TPMR bridge (03), nearest customer bridge (00).
inline constexpr std::uint8_t kMulticastPrefix[5] = {0x01, 0x80, 0xC2, 0x00, 0x00};
inline constexpr std::uint8_t kMulticastLastBytes[3] = {0x0E, 0x03, 0x00};
inline constexpr std::uint16_t kEtherType = 0x88CC;
inline constexpr std::size_t kEthernetHeaderLength = 14;  // no 802.1Q tag handling
inline constexpr std::array<std::uint8_t, 6> kNearestBridge{0x01, 0x80, 0xC2, 0x00, 0x00, 0x0E};
// 802.3: a frame is at least 60 bytes without its frame check sequence.
inline constexpr std::size_t kMinimumFrameLength = 60;

inline constexpr std::uint8_t kTlvEnd = 0;
inline constexpr std::uint8_t kTlvChassisId = 1;
inline constexpr std::uint8_t kTlvPortId = 2;
inline constexpr std::uint8_t kTlvTimeToLive = 3;
inline constexpr std::uint8_t kTlvSystemName = 5;
inline constexpr std::uint8_t kTlvSystemDescription = 6;
inline constexpr std::uint8_t kTlvManagementAddress = 8;

// Management Address TLV: address string length (subtype + 4 bytes) and the
// IANA address family number for IPv4.
inline constexpr std::uint8_t kIpv4AddressStringLength = 5;
inline constexpr std::uint8_t kAddressSubtypeIpv4 = 1;
inline constexpr std::size_t kIpv4ManagementValueLength = 6;
// Then the interface numbering subtype (ifIndex), the interface number and the
// length of an OID, which this tool sends empty.
inline constexpr std::uint8_t kInterfaceSubtypeIfIndex = 2;

// A TLV header: 7-bit type, 9-bit length; a value holds at most 511 bytes.
inline constexpr std::size_t kMaxTlvValueLength = 511;
inline constexpr std::uint8_t kChassisSubtypeMacAddress = 4;
inline constexpr std::uint8_t kPortSubtypeLocal = 7;

}  // namespace quilmarr::lldp
